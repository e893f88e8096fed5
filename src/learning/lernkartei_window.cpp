#include "learning/lernkartei_window.h"

#include "platform/clock.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

namespace kapitolo {

namespace {

// The compartments of a topic as one bar: "neu" grey on the left, then "Fach 1" (red) to
// "Fach 5" (green), each as wide as its share of the topic's items.
class BoxBarDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        QStyledItemDelegate::paint(painter, plain, index);
        const QVariantList boxes = index.data(LernkarteiModel::BoxesRole).toList();
        int total = 0;
        for (const QVariant &b : boxes)
            total += b.toInt();
        if (total == 0)
            return;
        const QRect bar = option.rect.adjusted(6, 6, -6, -6);
        painter->save();
        QFont font = option.font;
        font.setPixelSize(std::max(9, bar.height() - 4));
        painter->setFont(font);
        const QFontMetrics metrics(font);
        double x = bar.left();
        for (int b = 0; b < boxes.size(); ++b) {
            const int count = boxes.at(b).toInt();
            if (count == 0)
                continue;
            const double width = double(bar.width()) * count / total;
            const QRectF part(x, bar.top(), width, bar.height());
            painter->fillRect(part, boxColour(b));
            const QString number = QString::number(count);
            if (metrics.horizontalAdvance(number) + 4 <= width) {
                // Dark on the light colours (grey, yellow, light green), white on the others.
                painter->setPen(b == 0 || b == 3 || b == 4 ? QColor(40, 40, 40) : QColor(255, 255, 255));
                painter->drawText(part, Qt::AlignCenter, number);
            }
            x += width;
        }
        painter->setPen(QColor(120, 120, 114));
        painter->drawRect(bar.adjusted(0, 0, -1, -1));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(220, 26));
    }
};

} // namespace

LernkarteiModel::LernkarteiModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void LernkarteiModel::setTopics(const QList<TopicSummary> &topics, qint32 today)
{
    beginResetModel();
    m_topics = topics;
    m_today = today;
    endResetModel();
}

int LernkarteiModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_topics.size());
}

int LernkarteiModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString LernkarteiModel::lastPractisedText(double dayNumber, qint32 today)
{
    const qint32 day = qint32(std::floor(dayNumber));
    const int ago = today - day;
    if (ago <= 0)
        return QStringLiteral("heute");
    if (ago == 1)
        return QStringLiteral("gestern");
    if (ago < 7)
        return QStringLiteral("vor %1 Tagen").arg(ago);
    return fromDayNumber(day).toString(QStringLiteral("dd.MM.yyyy"));
}

QString LernkarteiModel::boxesText(const TopicSummary &topic)
{
    QStringList parts;
    for (int b = 0; b <= kBoxCount; ++b)
        parts << boxName(b) + QStringLiteral(": ") + QString::number(topic.boxes[b]);
    return parts.join(QStringLiteral(", "));
}

QVariant LernkarteiModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_topics.size())
        return {};
    const TopicSummary &t = m_topics.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case ColTopic: return t.title.isEmpty() ? t.path : t.title;
        case ColBoxes: return QString();
        case ColDue: return t.due;
        case ColLast: return lastPractisedText(t.lastPractised, m_today);
        }
        return {};
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case ColTopic: return t.title;
        case ColBoxes: return boxesText(t);
        case ColDue: return QStringLiteral("heute fällig: %1").arg(t.due);
        case ColLast: return QString(QStringLiteral("zuletzt geübt: ") + lastPractisedText(t.lastPractised, m_today));
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == ColBoxes)
            return boxesText(t);
        if (index.column() == ColTopic)
            return t.path;
        return {};
    case BoxesRole: {
        QVariantList boxes;
        for (int b = 0; b <= kBoxCount; ++b)
            boxes << t.boxes[b];
        return boxes;
    }
    case Qt::TextAlignmentRole:
        return index.column() == ColDue ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
        if (index.column() == ColDue && t.due > 0) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant LernkarteiModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColTopic: return QStringLiteral("Thema");
    case ColBoxes: return QStringLiteral("neu · Fach 1 bis 5");
    case ColDue: return QStringLiteral("heute fällig");
    case ColLast: return QStringLiteral("zuletzt geübt");
    }
    return {};
}

ProgressChartWidget::ProgressChartWidget(QWidget *parent)
    : QWidget(parent)
{
    setMinimumHeight(180);
    setAccessibleName(QStringLiteral("Fortschritt über die Tage"));
    setFocusPolicy(Qt::TabFocus);
}

void ProgressChartWidget::setProgress(const QList<ProgressDay> &days, int itemCount)
{
    m_days = days;
    m_itemCount = itemCount;
    setAccessibleDescription(progressChartDescription(days, itemCount));
    update();
}

void ProgressChartWidget::setColours(const ChartColours &colours)
{
    m_colours = colours;
    update();
}

void ProgressChartWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintProgressChart(painter, rect(), m_days, m_itemCount, m_colours);
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

LernkarteiWindow::LernkarteiWindow(LearningRecord &record, Clock &clock, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_record(record)
    , m_clock(clock)
    , m_model(new LernkarteiModel(this))
    , m_table(new QTableView(this))
    , m_summary(new QLabel(this))
    , m_chartTitle(new QLabel(this))
    , m_chart(new ProgressChartWidget(this))
    , m_due(new QPushButton(QStringLiteral("&Fällige üben"), this))
    , m_all(new QPushButton(QStringLiteral("&Alles üben"), this))
{
    setObjectName(QStringLiteral("LernkarteiForm"));
    setWindowTitle(QStringLiteral("Lernkartei"));
    resize(760, 620);

    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("Jede Stelle, Lücke und Frage rückt mit jeder richtigen Antwort beim ersten "
                                            "Versuch in ein höheres Fach und kommt später wieder dran; eine falsche "
                                            "Antwort holt sie nach Fach 1 zurück. Fällig ist, was heute wiederholt "
                                            "werden sollte."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addWidget(m_summary);

    m_table->setObjectName(QStringLiteral("LernkarteiTabelle"));
    m_table->setAccessibleName(QStringLiteral("Gelernte Themen"));
    m_table->setModel(m_model);
    m_table->setItemDelegateForColumn(LernkarteiModel::ColBoxes, new BoxBarDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(28);
    m_table->horizontalHeader()->setSectionResizeMode(LernkarteiModel::ColTopic, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(LernkarteiModel::ColBoxes, QHeaderView::Fixed);
    m_table->horizontalHeader()->resizeSection(LernkarteiModel::ColBoxes, 240);
    m_table->horizontalHeader()->setSectionResizeMode(LernkarteiModel::ColDue, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(LernkarteiModel::ColLast, QHeaderView::ResizeToContents);
    layout->addWidget(m_table, 3);

    // The colours of the bar, named.
    auto *legend = new QHBoxLayout;
    for (int b = 0; b <= kBoxCount; ++b) {
        auto *swatch = new QLabel(this);
        swatch->setFixedSize(14, 14);
        swatch->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #78786f;").arg(boxColour(b).name()));
        legend->addWidget(swatch);
        legend->addWidget(new QLabel(boxName(b), this));
        legend->addSpacing(8);
    }
    legend->addStretch(1);
    layout->addLayout(legend);

    m_chartTitle->setObjectName(QStringLiteral("FortschrittTitel"));
    layout->addWidget(m_chartTitle);
    m_chart->setObjectName(QStringLiteral("FortschrittDiagramm"));
    layout->addWidget(m_chart, 2);

    auto *buttons = new QHBoxLayout;
    m_due->setObjectName(QStringLiteral("FaelligeUebenBtn"));
    m_due->setAccessibleName(QStringLiteral("Fällige üben"));
    m_all->setObjectName(QStringLiteral("AllesUebenBtn"));
    m_all->setAccessibleName(QStringLiteral("Alles üben"));
    auto *close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setObjectName(QStringLiteral("SchliessenBtn"));
    buttons->addWidget(m_due);
    buttons->addWidget(m_all);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &LernkarteiWindow::topicChosen);
    connect(m_table, &QTableView::activated, this, [this] { request(m_due->isEnabled()); });
    connect(m_due, &QPushButton::clicked, this, [this] { request(true); });
    connect(m_all, &QPushButton::clicked, this, [this] { request(false); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    setTabOrder(m_table, m_chart);
    setTabOrder(m_chart, m_due);
    setTabOrder(m_due, m_all);
    setTabOrder(m_all, close);
}

qint32 LernkarteiWindow::today() const
{
    return qint32(std::floor(m_clock.now()));
}

int LernkarteiWindow::currentRow() const
{
    return m_table->currentIndex().isValid() ? m_table->currentIndex().row() : -1;
}

void LernkarteiWindow::setDuePracticeEnabled(bool enabled)
{
    m_duePracticeEnabled = enabled;
    topicChosen();
}

void LernkarteiWindow::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void LernkarteiWindow::refresh()
{
    const qint64 chosen = currentRow() >= 0 ? m_model->topics().at(currentRow()).id : 0;
    const qint32 day = today();
    m_model->setTopics(m_record.topicSummaries(day), day);
    int due = 0;
    for (const TopicSummary &t : m_model->topics())
        due += t.due;
    m_summary->setText(m_model->rowCount() == 0
                           ? QStringLiteral("Noch kein Thema geübt: Nach dem ersten Quiz steht es hier.")
                           : QStringLiteral("%1 Themen geübt, heute fällig: %2 Aufgaben.").arg(m_model->rowCount()).arg(due));
    int row = 0;
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->topics().at(r).id == chosen)
            row = r;
    if (m_model->rowCount() > 0)
        m_table->setCurrentIndex(m_model->index(row, LernkarteiModel::ColTopic));
    topicChosen();
}

void LernkarteiWindow::topicChosen()
{
    const int row = currentRow();
    if (row < 0 || row >= m_model->rowCount()) {
        m_chartTitle->setText(QString());
        m_chart->setProgress({}, 0);
        m_due->setEnabled(false);
        m_all->setEnabled(false);
        return;
    }
    const TopicSummary &t = m_model->topics().at(row);
    m_chartTitle->setText(QStringLiteral("Fortschritt: ") + t.title);
    m_chart->setProgress(m_record.progress(t.id, today()), t.itemCount());
    m_due->setEnabled(m_duePracticeEnabled && t.due > 0);
    m_all->setEnabled(true);
}

void LernkarteiWindow::request(bool dueOnly)
{
    const int row = currentRow();
    if (row < 0 || (dueOnly && !m_due->isEnabled()))
        return;
    const TopicSummary &t = m_model->topics().at(row);
    PracticeRequest r;
    r.topicPath = t.path;
    r.title = t.title;
    r.dueOnly = dueOnly;
    if (dueOnly)
        r.itemKeys = m_record.dueItemKeys(t.id, today());
    Q_EMIT practiceRequested(r);
}

} // namespace kapitolo
