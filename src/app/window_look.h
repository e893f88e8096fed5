#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <future>

namespace kapitolo {

class Messages;

// The window's colours, taken from the background pictures of the data folder; the first
// picture is also the dialogs' background tile.
struct WindowLook {
    QColor windowColor;
    QColor cardColor;
    QColor toolButtonBase;
    QImage backgroundTile;
};

WindowLook loadWindowLook(const QString &dataFolder);
// A PNG file decoded; a null image when it cannot be read.
QImage loadPng(const QString &path);
// A link of the start page: the address without "https://" and a final slash.
QString linkText(const QString &address, const QColor &colour);


// The start page's picture, decoded on a second core while the windows are built; the
// window takes it once the start page exists, with a message when the file is missing.
std::future<QImage> startLoadingPicture(const QString &path);
QImage takeStartPicture(const QString &path, std::future<QImage> &load, Messages &messages);

} // namespace kapitolo
