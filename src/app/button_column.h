#pragma once

#include <QList>

class QWidget;

namespace kapitolo {

class TForm1;
class THoverPanel;

// The button column left of the card: start page, quiz, best list, Lernkartei, previous
// and next topic, worksheet, e-mail and editor, connected to the window's commands and
// controllers.
QList<THoverPanel *> createButtonColumn(QWidget *panel, TForm1 &window);

} // namespace kapitolo
