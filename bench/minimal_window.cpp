// The baseline of the start-up measurement: a Qt Widgets program that shows one window
// and ends as soon as it has been painted once, as Kapitolo does with
// KAPITOLO_QUIT_AFTER_START.

#include <QApplication>
#include <QLabel>

#include "platform/first_paint.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Kapitolo"));
    window.resize(900, 650);
    window.show();
    kapitolo::exitAfterFirstPaint();
    return app.exec();
}
