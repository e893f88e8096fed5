#include "network/class_history_dialog.h"

#include "document/topic_document.h"
#include "network/item_analysis.h"
#include "platform/clock.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kapitolo {

namespace {

QTableView *makeGrid(QWidget *parent, const char *name, const QString &accessibleName)
{
    auto *grid = new QTableView(parent);
    grid->setObjectName(QLatin1String(name));
    grid->setAccessibleName(accessibleName);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(24);
    return grid;
}

QStandardItem *cell(const QString &text, bool right = false)
{
    auto *item = new QStandardItem(text);
    item->setTextAlignment(right ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

// Day and time, and under them the topic when the table shows all topics.
QString shortHeading(const HistoryExercise &e, bool withTitle)
{
    const QString when = fromDayNumber(e.started).toString(QStringLiteral("dd.MM.yy HH:mm"));
    return withTitle ? when + QLatin1Char('\n') + e.title : when;
}

// Columns as wide as their figures, a long title cut short (the tooltip has it whole).
void fitColumns(QTableView *grid, QStandardItemModel *model, int firstExercise, int exercises)
{
    grid->resizeColumnsToContents();
    for (int c = firstExercise; c < firstExercise + exercises; ++c) {
        if (QStandardItem *header = model->horizontalHeaderItem(c))
            header->setToolTip(header->text());
        grid->setColumnWidth(c, std::min(grid->columnWidth(c), 150));
    }
}

} // namespace

TKlassenverlaufForm::TKlassenverlaufForm(ClassHistory &history, QWidget *parent)
    : QDialog(parent)
    , m_history(history)
    , m_channels(new QComboBox(this))
    , m_topics(new QComboBox(this))
    , m_pupilGrid(makeGrid(this, "SchuelerTabelle", QStringLiteral("Schüler und Übungen")))
    , m_itemGrid(makeGrid(this, "AufgabenTabelle", QStringLiteral("Aufgaben, die die Klasse noch falsch beantwortet")))
    , m_pupilModel(new QStandardItemModel(this))
    , m_itemModel(new QStandardItemModel(this))
    , m_itemsLabel(new QLabel(this))
    , m_showOnCard(new QPushButton(QStringLiteral("Auf der Karte &zeigen"), this))
    , m_csv(new QPushButton(QStringLiteral("Als &CSV speichern..."), this))
    , m_print(new QPushButton(QStringLiteral("&Drucken..."), this))
{
    setObjectName(QStringLiteral("KlassenverlaufForm"));
    setWindowTitle(QStringLiteral("Klassenverlauf"));
    resize(900, 640);

    auto *choice = new QHBoxLayout;
    auto *channelLabel = new QLabel(QStringLiteral("&Kanal (Klasse):"), this);
    channelLabel->setBuddy(m_channels);
    m_channels->setObjectName(QStringLiteral("KanalBox"));
    m_channels->setAccessibleName(QStringLiteral("Kanal"));
    auto *topicLabel = new QLabel(QStringLiteral("&Thema:"), this);
    topicLabel->setBuddy(m_topics);
    m_topics->setObjectName(QStringLiteral("ThemaBox"));
    m_topics->setAccessibleName(QStringLiteral("Thema"));
    m_topics->setMinimumContentsLength(30);
    choice->addWidget(channelLabel);
    choice->addWidget(m_channels);
    choice->addSpacing(16);
    choice->addWidget(topicLabel);
    choice->addWidget(m_topics, 1);

    m_pupilGrid->setModel(m_pupilModel);
    m_pupilGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_itemGrid->setModel(m_itemModel);
    m_itemsLabel->setWordWrap(true);
    m_itemsLabel->setBuddy(m_itemGrid);

    m_showOnCard->setObjectName(QStringLiteral("KarteBtn"));
    m_csv->setObjectName(QStringLiteral("CsvBtn"));
    m_print->setObjectName(QStringLiteral("DruckenBtn"));
    auto *close = new QPushButton(QStringLiteral("S&chließen"), this);
    close->setObjectName(QStringLiteral("SchliessenBtn"));
    for (QPushButton *b : {m_showOnCard, m_csv, m_print, close})
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_showOnCard);
    buttons->addWidget(m_csv);
    buttons->addWidget(m_print);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    auto *pupilsLabel = new QLabel(QStringLiteral("Gesamtleistung (Note) je Übung, mit dem Trend über die letzten fünf "
                                                  "Übungen in Prozentpunkten je Übung:"),
                                   this);
    pupilsLabel->setWordWrap(true);
    pupilsLabel->setBuddy(m_pupilGrid);
    layout->addWidget(pupilsLabel);
    layout->addWidget(m_pupilGrid, 3);
    layout->addWidget(m_itemsLabel);
    layout->addWidget(m_itemGrid, 2);
    layout->addLayout(buttons);

    connect(m_channels, &QComboBox::currentIndexChanged, this, &TKlassenverlaufForm::channelChosen);
    connect(m_topics, &QComboBox::currentIndexChanged, this, &TKlassenverlaufForm::topicChosen);
    connect(m_showOnCard, &QPushButton::clicked, this, [this] {
        if (onShowOnCard)
            onShowOnCard();
    });
    connect(m_csv, &QPushButton::clicked, this, [this] {
        if (onSaveCsv)
            onSaveCsv();
    });
    connect(m_print, &QPushButton::clicked, this, [this] {
        if (onPrint)
            onPrint();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

QString TKlassenverlaufForm::channel() const
{
    return m_channels->currentText();
}

QString TKlassenverlaufForm::topic() const
{
    return m_topics->currentIndex() <= 0 ? QString() : m_topics->currentText();
}

void TKlassenverlaufForm::refresh(const QString &channel)
{
    m_filling = true;
    m_channels->clear();
    const QStringList channels = m_history.channels();
    m_channels->addItems(channels);
    const qsizetype at = channels.indexOf(channel);
    m_channels->setCurrentIndex(at >= 0 ? int(at) : 0);
    m_filling = false;
    channelChosen();
}

void TKlassenverlaufForm::channelChosen()
{
    if (m_filling)
        return;
    const QString chosen = topic();
    m_filling = true;
    m_topics->clear();
    m_topics->addItem(QStringLiteral("Alle Themen"));
    const QStringList topics = m_history.topics(channel());
    m_topics->addItems(topics);
    const qsizetype at = topics.indexOf(chosen);
    m_topics->setCurrentIndex(at >= 0 ? int(at) + 1 : 0);
    m_filling = false;
    topicChosen();
}

void TKlassenverlaufForm::topicChosen()
{
    if (m_filling)
        return;
    fill();
}

void TKlassenverlaufForm::fill()
{
    m_table = m_history.table(channel(), topic());
    m_weak = m_history.weakItems(channel(), topic());

    m_pupilModel->clear();
    QStringList headers{QStringLiteral("Schüler")};
    for (const HistoryExercise &e : m_table.exercises)
        headers << shortHeading(e, topic().isEmpty());
    headers << QStringLiteral("Trend");
    m_pupilModel->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < m_table.pupils.size(); ++r) {
        QList<QStandardItem *> row{cell(m_table.pupils.at(r))};
        for (int c = 0; c < m_table.exercises.size(); ++c)
            row << cell(m_table.cellText(r, c), true);
        const double trend = m_table.trends.value(r, std::nan(""));
        QStandardItem *trendCell = cell(trendText(trend), true);
        if (!std::isnan(trend) && std::abs(trend) >= 2)
            trendCell->setForeground(trend > 0 ? QColor(30, 120, 40) : QColor(190, 40, 30));
        row << trendCell;
        m_pupilModel->appendRow(row);
    }
    fitColumns(m_pupilGrid, m_pupilModel, 1, int(m_table.exercises.size()));

    m_itemModel->clear();
    if (topic().isEmpty()) {
        m_itemsLabel->setText(QStringLiteral("Welche Aufgaben die Klasse noch falsch beantwortet, zeigt der Verlauf eines "
                                             "Themas: Bitte oben ein Thema wählen."));
    } else if (m_weak.items.isEmpty()) {
        m_itemsLabel->setText(QStringLiteral("In der letzten Übung dieses Themas hatten alle jede Aufgabe beim ersten "
                                             "Versuch richtig."));
    } else {
        m_itemsLabel->setText(QStringLiteral("&Aufgaben, die die Klasse noch falsch beantwortet (Quote beim ersten Versuch "
                                             "in den letzten %1 Übungen des Themas, die schwersten zuerst):")
                                  .arg(m_weak.exercises.size()));
        QStringList itemHeaders{QStringLiteral("Aufgabe")};
        for (const HistoryExercise &e : m_weak.exercises)
            itemHeaders << shortHeading(e, false);
        m_itemModel->setHorizontalHeaderLabels(itemHeaders);
        for (const WeakItem &item : m_weak.items) {
            QList<QStandardItem *> row{cell(item.text)};
            for (double rate : item.rates)
                row << cell(rate < 0 ? QStringLiteral("–") : rateText(rate) + QStringLiteral(" %"), true);
            m_itemModel->appendRow(row);
        }
        fitColumns(m_itemGrid, m_itemModel, 1, int(m_weak.exercises.size()));
        m_itemGrid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    m_showOnCard->setEnabled(!m_weak.latestRates.isEmpty() && m_weak.exercises.last().docType != dtSingleQuestions
                             && !m_history.topicPath(channel(), topic()).isEmpty());
    m_csv->setEnabled(!m_table.pupils.isEmpty());
    m_print->setEnabled(!m_table.pupils.isEmpty());
}

QHash<QString, double> TKlassenverlaufForm::latestRates() const
{
    return m_weak.latestRates;
}

} // namespace kapitolo
