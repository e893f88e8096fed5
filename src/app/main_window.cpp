#include "app/main_window.h"

#include <QLabel>

namespace kapitolo {

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Ostrabel Kapitolo"));
    resize(900, 650);
    setMinimumSize(900, 650);
    auto *label = new QLabel(QStringLiteral("Wählen Sie im Menü \"Quizauswahl\" das gewünschte Thema aus."), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
}

} // namespace kapitolo
