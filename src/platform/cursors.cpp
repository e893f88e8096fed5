#include "platform/cursors.h"

#include "platform/png_codec.h"
#include "platform/cursor_shapes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>

namespace kapitolo {

QCursor namedCursor(const QString &name)
{
    return namedCursor(name, QCoreApplication::applicationDirPath() + QStringLiteral("/data/cursors"));
}

QCursor namedCursor(const QString &name, const QString &folder)
{
    const NamedCursorInfo *info = nullptr;
    for (const NamedCursorInfo &candidate : kNamedCursors) {
        // Resource names are not case-sensitive.
        if (name.compare(QLatin1String(candidate.name), Qt::CaseInsensitive) == 0) {
            info = &candidate;
            break;
        }
    }
    if (!info)
        return QCursor(Qt::ArrowCursor);

    QFile file(QDir(folder).filePath(QLatin1String(info->name) + QStringLiteral(".png")));
    if (!file.open(QIODevice::ReadOnly))
        return QCursor(info->fallback);
    const QImage image = decodePng(file);
    if (image.isNull() || image.width() <= info->hotX || image.height() <= info->hotY)
        return QCursor(info->fallback);
    return QCursor(QPixmap::fromImage(image), info->hotX, info->hotY);
}

} // namespace kapitolo
