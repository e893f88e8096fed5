#pragma once

#include <QColor>
#include <QImage>

class QFont;
class QWidget;

namespace kapitolo {

// The program's dialog look: the main window's colours and background tile.
struct DialogLook {
    QColor windowColor = QColor(228, 228, 222);
    QColor panelColor = QColor(246, 246, 242);
    QImage backgroundTile; // may be empty: then the window colour alone
};

// The colour of every push button in the dialogs.
inline QColor dialogButtonColor() { return QColor(205, 208, 226); }

// The font the dialogs are laid out for.
QFont dialogFont();

// Gives a dialog the look: window colour (or the tiled background image), panel colour for
// the widgets whose property "kapitoloPanel" is true, coloured buttons with the ordinary
// arrow cursor.
void applyDialogLook(QWidget *dialog, const DialogLook &look);

// Centres a window on its screen's available area (the frame included once it is shown).
void centreOnScreen(QWidget *window);

} // namespace kapitolo
