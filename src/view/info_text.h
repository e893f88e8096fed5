#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kapitolo {

// An info point's caption as the lines of the information window.
QStringList infoTextLines(const QString &caption);

// The lines without the layout tags: what the printed, saved and copied text shows.
QStringList plainInfoText(const QStringList &lines);

// A small rich-text document of the lines in Arial at the point size: "\", "{" and
// "}" escaped, other characters beyond ASCII as Windows-1252 codes (\'xx), and the
// rare character without such a code as a Unicode escape.
QByteArray infoTextRtf(const QStringList &lines, int pointSize = 11);

// The save dialog filter of a Windows-style "Text|Pattern|Text|Pattern" list, as
// Qt's name filters ("*.*" matches every file).
QStringList qtNameFilters(const QString &windowsFilter);

} // namespace kapitolo
