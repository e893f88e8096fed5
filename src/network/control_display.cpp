#include "network/control_display.h"

#include "network/control_board.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <iterator>

namespace kapitolo {

TKontrollanzeigeForm::TKontrollanzeigeForm(ControlBoard &board, QAbstractItemModel *items, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_board(board)
{
    setObjectName(QStringLiteral("TKontrollanzeigeForm"));
    setWindowTitle(QStringLiteral("Kontrollanzeige"));
    resize(1100, 460);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("UebungLab"));
    m_state->setWordWrap(true);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("AnzahlLab"));
    QFont bold = m_counts->font();
    bold.setBold(true);
    m_counts->setFont(bold);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("AnzeigeTabs"));
    m_grid = new QTableView(m_tabs);
    m_grid->setObjectName(QStringLiteral("TeilnehmerGrid"));
    m_grid->setModel(&board);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    const int widths[ControlBoard::ColumnCount] = {110, 110, 70, 95, 55, 55, 90, 50, 90, 105, 45, 60, 100};
    for (int c = 0; c < ControlBoard::ColumnCount; ++c)
        m_grid->setColumnWidth(c, widths[c]);

    m_itemGrid = new QTableView(m_tabs);
    m_itemGrid->setObjectName(QStringLiteral("AufgabenGrid"));
    m_itemGrid->setModel(items);
    m_itemGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_itemGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_itemGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_itemGrid->setAlternatingRowColors(true);
    m_itemGrid->verticalHeader()->setDefaultSectionSize(20);
    m_itemGrid->horizontalHeader()->setStretchLastSection(true);
    const int itemWidths[] = {360, 100, 190, 70, 100};
    for (int c = 0; c < int(std::size(itemWidths)); ++c)
        m_itemGrid->setColumnWidth(c, itemWidths[c]);
    m_tabs->addTab(m_grid, QStringLiteral("&Teilnehmer"));
    m_tabs->addTab(m_itemGrid, QStringLiteral("&Aufgaben"));

    auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_end = button(QStringLiteral("Netzwerk-Übung &beenden"), "BeendenBtn");
    m_communication = button(QStringLiteral("Netzwerk-&Kommunikation..."), "KommunikationBtn");
    m_bestList = button(QStringLiteral("Besten&liste..."), "BestenlisteBtn");
    m_save = button(QStringLiteral("Ergebnisse &speichern..."), "SpeichernBtn");
    m_showOnCard = button(QStringLiteral("Auf der Karte &zeigen"), "KarteBtn");
    m_report = button(QStringLiteral("Bericht &drucken..."), "BerichtBtn");
    m_remove = button(QStringLiteral("Teilnehmer &entfernen..."), "EntfernenBtn");
    m_history = button(QStringLiteral("Klassen&verlauf..."), "KlassenverlaufBtn");
    m_close = button(QStringLiteral("S&chließen"), "SchliessenBtn");
    connect(m_end, &QPushButton::clicked, this, [this] {
        if (onEndExercise)
            onEndExercise();
    });
    connect(m_communication, &QPushButton::clicked, this, [this] {
        if (onCommunication)
            onCommunication();
    });
    connect(m_bestList, &QPushButton::clicked, this, [this] {
        if (onBestList)
            onBestList();
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (onSaveResults)
            onSaveResults();
    });
    connect(m_showOnCard, &QPushButton::clicked, this, [this] {
        if (onShowOnCard)
            onShowOnCard();
    });
    connect(m_report, &QPushButton::clicked, this, [this] {
        if (onPrintReport)
            onPrintReport();
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (onRemoveParticipant)
            onRemoveParticipant();
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TKontrollanzeigeForm::updateRemove);
    connect(m_history, &QPushButton::clicked, this, [this] {
        if (onClassHistory)
            onClassHistory();
    });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_end);
    buttons->addWidget(m_communication);
    buttons->addWidget(m_bestList);
    buttons->addWidget(m_save);
    buttons->addWidget(m_showOnCard);
    buttons->addWidget(m_report);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_history);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addWidget(m_counts);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);

    connect(&board, &ControlBoard::countsChanged, this, &TKontrollanzeigeForm::updateCounts);
    connect(&board, &QAbstractItemModel::modelReset, this, &TKontrollanzeigeForm::updateCounts);
    updateCounts();
    setExerciseState(false, QString(), QString());
}

void TKontrollanzeigeForm::setExerciseState(bool active, const QString &folder, const QString &channel)
{
    if (active)
        m_state->setText(QStringLiteral("Netzwerk-Übung auf dem Kanal \"") + channel + QStringLiteral("\" im Ordner \"")
                         + QDir::toNativeSeparators(folder) + QStringLiteral("\". Die Anzeige folgt jeder Meldung "
                                                                               "der Teilnehmer."));
    else
        m_state->setText(QStringLiteral("Zurzeit ist auf diesem Rechner keine Netzwerk-Übung initiiert; die Anzeige "
                                        "wird nicht aktualisiert."));
    m_end->setEnabled(active);
    m_active = active;
    updateRemove();
}

void TKontrollanzeigeForm::updateRemove()
{
    m_remove->setEnabled(m_active && m_grid->selectionModel()->hasSelection());
}

void TKontrollanzeigeForm::setCardAvailable(bool available)
{
    m_cardAvailable = available;
    updateCounts();
}

void TKontrollanzeigeForm::updateCounts()
{
    m_counts->setText(m_board.countsText());
    const bool joined = m_board.joinedCount() > 0;
    m_save->setEnabled(joined);
    m_report->setEnabled(joined);
    m_showOnCard->setEnabled(m_cardAvailable && m_board.items().itemCount() > 0);
    updateRemove();
}

void TKontrollanzeigeForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    // Del on a participant's row: the same as the button, with its question first.
    if (event->key() == Qt::Key_Delete && m_grid->hasFocus() && m_remove->isEnabled()) {
        m_remove->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kapitolo
