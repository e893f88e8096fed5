#include "network/control_display.h"

#include "network/control_board.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace kapitolo {

TKontrollanzeigeForm::TKontrollanzeigeForm(ControlBoard &board, QWidget *parent)
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

    m_grid = new QTableView(this);
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
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_end);
    buttons->addWidget(m_communication);
    buttons->addWidget(m_bestList);
    buttons->addWidget(m_save);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addWidget(m_counts);
    layout->addWidget(m_grid, 1);
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
}

void TKontrollanzeigeForm::updateCounts()
{
    m_counts->setText(m_board.countsText());
    m_save->setEnabled(m_board.joinedCount() > 0);
}

void TKontrollanzeigeForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kapitolo
