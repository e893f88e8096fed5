#include "app/button_column.h"

#include "app/main_window.h"
#include "controls/hover_panel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kapitolo {

QList<THoverPanel *> createButtonColumn(QWidget *panel, TForm1 &window)
{
    QList<THoverPanel *> buttons;
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 34, 0, 0);
    layout->setSpacing(6);
    auto make = [&](const char *name, const QString &caption, const QString &hint) {
        auto *b = new THoverPanel(panel);
        b->setObjectName(QLatin1String(name));
        styleToolButton(*b);
        b->setBevelWidth(0);
        b->setCaption(caption);
        b->setToolTip(hint);
        b->setWordWrap(true);
        b->setFontAutoSize(true);
        b->setMinFontSize(7);
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(9);
        f.setBold(true);
        b->setFont(f);
        b->setFixedSize(104, 44);
        b->setTabStop(true);
        buttons.append(b);
        return b;
    };
    THoverPanel *lernKart = make("LernKartBtn", QStringLiteral("Startseite"), QStringLiteral("Zur Startseite"));
    THoverPanel *start = make("UebungenBtn", QStringLiteral("Quiz starten"), QStringLiteral("Quiz starten (F7)"));
    THoverPanel *best = make("BestListBtn", QStringLiteral("Bestenliste"), QStringLiteral("Bestenliste anzeigen (Strg+F7)"));
    THoverPanel *lernkartei = make("LernkarteiBtn", QStringLiteral("Lernkartei"),
                                   QStringLiteral("Lernkartei öffnen: was heute zu wiederholen ist (Strg+K)"));
    auto *navigation = new QWidget(panel);
    auto *navRow = new QHBoxLayout(navigation);
    navRow->setContentsMargins(0, 0, 0, 0);
    navRow->setSpacing(4);
    THoverPanel *previous = make("PrevDokPan", QStringLiteral("\u25C0"), QStringLiteral("vorheriges Quiz öffnen"));
    THoverPanel *next = make("HoverPanel1", QStringLiteral("\u25B6"), QStringLiteral("nächstes Quiz öffnen"));
    previous->setFixedSize(50, 36);
    next->setFixedSize(50, 36);
    navRow->addWidget(previous);
    navRow->addWidget(next);
    THoverPanel *sheet = make("ABBtn", QStringLiteral("Arbeitsblatt"), QStringLiteral("Arbeitsblatt erstellen"));
    THoverPanel *mail = make("EMailBtn", QStringLiteral("E-Mail"), QStringLiteral("Dokument per E-Mail versenden"));
    THoverPanel *editor = make("ThemaBearbeitenBtn", QStringLiteral("Thema bearbeiten"),
                               QStringLiteral("Das Thema im Themen-Editor bearbeiten (Strg+Umschalt+B)"));
    layout->addWidget(lernKart);
    layout->addWidget(start);
    layout->addWidget(best);
    layout->addWidget(lernkartei);
    layout->addSpacing(10);
    layout->addWidget(navigation);
    layout->addSpacing(10);
    layout->addWidget(sheet);
    layout->addWidget(mail);
    layout->addWidget(editor);
    layout->addStretch(1);

    QObject::connect(lernKart, &THoverPanel::clicked, &window, &TForm1::LernKartBtnClick);
    QObject::connect(start, &THoverPanel::pressed, &window, [&window] { window.UebungStart1Click(); });
    QObject::connect(best, &THoverPanel::clicked, &window.results(), &ResultsController::Bestenliste1Click);
    QObject::connect(lernkartei, &THoverPanel::clicked, &window.learning(), &LearningController::showLernkartei);
    QObject::connect(previous, &THoverPanel::clicked, &window, [&window] { window.topics().OpenPreviousTopic(); });
    QObject::connect(next, &THoverPanel::clicked, &window, [&window] { window.topics().OpenNextTopic(); });
    QObject::connect(sheet, &THoverPanel::clicked, &window, [&window] { window.sharing().Arbeitsblatt1Click(); });
    QObject::connect(mail, &THoverPanel::clicked, &window, [&window] { window.sharing().EMail1Click(); });
    QObject::connect(editor, &THoverPanel::clicked, &window, [&window] { window.topicEditorController().ThemaBearbeiten1Click(); });
    return buttons;
}


} // namespace kapitolo
