#pragma once

#include <QString>

namespace kapitolo {

// Captions are stored as the comma text of their lines: a line with a blank, a
// control character, a double quote or a comma is quoted, lines joined by commas.
QString encodeCaption(const QString &caption);

// The reverse: lines joined with CR LF, leading and trailing blanks removed.
// An unquoted blank separates lines too.
QString decodeCaption(const QString &stored);

} // namespace kapitolo
