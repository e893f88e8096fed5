#include "app/display_check.h"
#include "app/main_window.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/qt_translations.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "platform/widget_messages.h"
#include "platform/widget_services.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <QTimer>

using namespace kapitolo;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kapitolo"));
    QApplication::setOrganizationName(QStringLiteral("Ostrabel"));
    QApplication::setApplicationDisplayName(QString());
    // Desktops match the windows to the menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("kapitolo"));
    const QString icon = programFolder() + QStringLiteral("data/kapitolo-icon.png");
    if (QFileInfo::exists(icon))
        QApplication::setWindowIcon(QIcon(icon));
    installQtGermanTranslations(app);

    WidgetMessages messages;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const ScreenProperties props{screen->geometry().width(), screen->geometry().height(), screen->depth()};
        if (const auto warning = displayWarning(props); warning && !messages.warningYesNo(*warning))
            return 0;
    }

    SystemClock clock;
    Random random;
    SettingsStore settings;
    DesktopShellOpener shell;
    WidgetFileDialogs fileDialogs;
    Services services{messages, clock, random, settings, shell, fileDialogs, programFolder(), sharedDataFolder()};

    const QStringList args = QApplication::arguments();
    TForm1 window(services, args.size() > 1 ? args.at(1) : QString());
    window.CreateDialogs();
    window.show();

    // For start-up measurements: quit as soon as the first showing is done.
    if (qEnvironmentVariableIsSet("KAPITOLO_QUIT_AFTER_START"))
        QTimer::singleShot(0, &window, [&window] {
            QTimer::singleShot(0, &window, [] { QApplication::quit(); });
            Q_UNUSED(window);
        });
    return app.exec();
}
