// The baseline of the start-up measurement: a Qt Widgets program that shows one window
// and quits as soon as it has been shown, as Kapitolo does with KAPITOLO_QUIT_AFTER_START.

#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Kapitolo"));
    window.resize(900, 650);
    window.show();
    QTimer::singleShot(0, &window, [] { QTimer::singleShot(0, [] { QApplication::quit(); }); });
    return app.exec();
}
