#include "quiz/dialog_look.h"

#include <QAbstractButton>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace kapitolo {

QFont dialogFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    return font;
}

void applyDialogLook(QWidget *dialog, const DialogLook &look)
{
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, look.windowColor);
    if (!look.backgroundTile.isNull())
        palette.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(look.backgroundTile)));
    palette.setColor(QPalette::Button, dialogButtonColor());
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);

    // Panels (marked as such) sit on the panel colour; group boxes stay open on the window.
    const auto children = dialog->findChildren<QWidget *>();
    for (QWidget *w : children) {
        if (w->property("kapitoloPanel").toBool()) {
            QPalette p = w->palette();
            p.setColor(QPalette::Window, look.panelColor);
            w->setPalette(p);
            w->setAutoFillBackground(true);
        }
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            QPalette p = button->palette();
            p.setColor(QPalette::Button, dialogButtonColor());
            button->setPalette(p);
            button->setCursor(Qt::ArrowCursor);
        }
    }
}

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

} // namespace kapitolo
