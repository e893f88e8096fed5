#pragma once

#include <QByteArray>
#include <QString>

namespace kapitolo {

// Windows-1252 is the code page of every file and setting the program shares
// with the authoring system. Latin-1 is not enough: 0x80..0x9F hold €, quotes, dashes.
QString fromCp1252(const char *data, qsizetype size);
inline QString fromCp1252(const QByteArray &bytes) { return fromCp1252(bytes.constData(), bytes.size()); }

// A character without a Windows-1252 code becomes its nearest Latin letters (Ş → S,
// ğ → g, ı → i, ł → l, ǆ → dž), and "?" only when there are none (Ω, →, 😀: one "?"
// per character, also beyond the BMP).
QByteArray toCp1252(const QString &text);

// The text as a Windows-1252 file will give it back.
inline QString storedAsCp1252(const QString &text) { return fromCp1252(toCp1252(text)); }

// True when every character of the text has a Windows-1252 code.
bool fitsCp1252(const QString &text);

// The first character (a whole code point) without a Windows-1252 code and its index
// in the text, or -1.
qsizetype firstNonCp1252(const QString &text, QString *character = nullptr);

} // namespace kapitolo
