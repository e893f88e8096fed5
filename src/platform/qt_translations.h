#pragma once

class QCoreApplication;

namespace kapitolo {

// Loads Qt's own German texts (file and print dialogs, standard buttons, context menus
// of edit fields) into the application, so that Qt's dialogs speak German like the
// rest of the program, whatever the language of the desktop. False when they are not
// installed (Debian's qt6-translations-l10n).
bool installQtGermanTranslations(QCoreApplication &app);

} // namespace kapitolo
