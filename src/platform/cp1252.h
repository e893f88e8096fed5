#pragma once

#include <QByteArray>
#include <QString>

namespace kapitolo {

// Windows-1252 is the code page of every file and setting the program shares
// with the authoring system. Latin-1 is not enough: 0x80..0x9F hold €, quotes, dashes.
QString fromCp1252(const char *data, qsizetype size);
inline QString fromCp1252(const QByteArray &bytes) { return fromCp1252(bytes.constData(), bytes.size()); }

// Characters without a Windows-1252 code become '?'.
QByteArray toCp1252(const QString &text);

// True when every character of the text has a Windows-1252 code.
bool fitsCp1252(const QString &text);

} // namespace kapitolo
