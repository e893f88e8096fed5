#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace kapitolo {

// Text for the body of an RTF file: "\", "{" and "}" escaped, a tab as \tab, every
// character outside ASCII as its Windows-1252 code (\'e4), a character without such a
// code as \uN? (RTF's Unicode escape). Other control characters are dropped. The result
// is pure ASCII, so no name or caption can break the file.
QByteArray rtfEscape(const QString &text);

// The document as RTF: one paragraph per block with its tab stops, font size, bold,
// italic and underline. Every paragraph uses the font Arial.
QByteArray writeRtf(const QTextDocument &document);

} // namespace kapitolo
