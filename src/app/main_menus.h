#pragma once

#include <QList>

class QAction;

namespace kapitolo {

class TForm1;
class TopicMenu;

// The main window's menu bar and its hidden items, whose shortcuts the window carries.
struct MainMenus {
    TopicMenu *quizMenu = nullptr;
    // The hidden items of "&Quizauswahl", disabled with the menu during a quiz.
    QList<QAction *> hiddenQuizActions;
};

// Builds the menus of the window and connects their items to the window's commands and
// the controllers it owns.
MainMenus createMainMenus(TForm1 &window);
// "&Quizauswahl" with its topics and hidden items, off while a quiz runs.
void setQuizMenuEnabled(const MainMenus &menus, bool enabled);

} // namespace kapitolo
