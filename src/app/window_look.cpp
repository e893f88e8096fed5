#include "app/window_look.h"

#include "platform/messages.h"
#include "platform/png_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kapitolo {

QString linkText(const QString &address, const QColor &colour)
{
    QString shown = address;
    shown.remove(QStringLiteral("https://"));
    if (shown.endsWith(QLatin1Char('/')))
        shown.chop(1);
    return QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:none\">%3</a>")
        .arg(address, colour.name(), shown.toHtmlEscaped());
}

QImage loadPng(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodePng(file);
}

WindowLook loadWindowLook(const QString &dataFolder)
{
    WindowLook look;
    look.backgroundTile = loadPng(dataFolder + QStringLiteral("hintergrund1.png"));
    const QImage second = loadPng(dataFolder + QStringLiteral("hintergrund2.png"));
    auto pixel = [](const QImage &image, int x, int y, QColor fallback) {
        return image.valid(x, y) ? QColor::fromRgb(image.pixel(x, y)) : fallback;
    };
    look.windowColor = pixel(look.backgroundTile, 0, 0, QColor(228, 228, 222));
    look.cardColor = pixel(look.backgroundTile, 30, 30, QColor(246, 246, 242));
    look.toolButtonBase = pixel(second, 30, 30, QColor(236, 236, 232));
    return look;
}

std::future<QImage> startLoadingPicture(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    return std::async(std::launch::async, [path] { return loadPng(path); });
}

QImage takeStartPicture(const QString &path, std::future<QImage> &load, Messages &messages)
{
    if (!QFileInfo::exists(path)) {
        messages.error(QStringLiteral("Datei \"") + QDir::toNativeSeparators(path)
                       + QStringLiteral("\" nicht gefunden."));
        return {};
    }
    return load.valid() ? load.get() : loadPng(path);
}

} // namespace kapitolo
