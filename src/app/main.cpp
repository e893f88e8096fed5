#include "app/display_check.h"
#include "app/main_window.h"
#include "app/window_settings.h"
#include "platform/clock.h"
#include "platform/deferred_icon_style.h"
#include "platform/first_paint.h"
#include "platform/folders.h"
#include "platform/qt_translations.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "platform/system_info.h"
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
    // A classroom's browsers take descriptors; the desktop's 1,024 leave little room. The
    // web server keeps a reserve below whatever this gives.
    raiseOpenFileLimit(8192);
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("KAPITOLO_QUIT_AFTER_START"))
        exitAfterFirstPaint();
    QApplication::setApplicationName(QStringLiteral("Kapitolo"));
    QApplication::setOrganizationName(QStringLiteral("Ostrabel"));
    QApplication::setApplicationDisplayName(QString());
    // Desktops match the windows to the menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("kapitolo"));
    installQtGermanTranslations(app);
    QApplication::setStyle(new DeferredIconStyle);

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
    window.show();
    // The dialogs and the icon come once the window is on the screen (and after what its
    // first paint has queued): it shows sooner. The icon's image plugins are slow to load.
    AfterFirstPaint later([&window] {
        QTimer::singleShot(0, &window, [&window] {
            window.CreateDialogs();
            loadDialogSettings(window);
            const QString icon = programFolder() + QStringLiteral("data/kapitolo-icon.png");
            if (QFileInfo::exists(icon))
                QApplication::setWindowIcon(QIcon(icon));
        });
    });
    return app.exec();
}
