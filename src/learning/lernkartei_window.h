#pragma once

#include "learning/learning_record.h"
#include "learning/progress_chart.h"

#include <QAbstractTableModel>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace kapitolo {

class Clock;

// The topics of the Lernkartei: one row per topic the pupil has played, the most due
// items first.
class LernkarteiModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColTopic, ColBoxes, ColDue, ColLast, ColumnCount };
    // The box counts of a row, for the bar's painter.
    static constexpr int BoxesRole = Qt::UserRole + 1;

    explicit LernkarteiModel(QObject *parent = nullptr);
    void setTopics(const QList<TopicSummary> &topics, qint32 today);
    const QList<TopicSummary> &topics() const { return m_topics; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // "heute", "gestern", "vor 3 Tagen", "12.03.2025".
    static QString lastPractisedText(double dayNumber, qint32 today);
    // "neu: 3, Fach 1: 5, …" for the screen reader and the tooltip.
    static QString boxesText(const TopicSummary &topic);

private:
    QList<TopicSummary> m_topics;
    qint32 m_today = 0;
};

// The chart of the selected topic.
class ProgressChartWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressChartWidget(QWidget *parent = nullptr);
    void setProgress(const QList<ProgressDay> &days, int itemCount);
    void setColours(const ChartColours &colours);
    const QList<ProgressDay> &days() const { return m_days; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<ProgressDay> m_days;
    int m_itemCount = 0;
    ChartColours m_colours;
};

// "Lernkartei": what the pupil has played, by compartment, what is due today, and the
// progress of the chosen topic over the days. "Fällige üben" and "Alles üben" ask for a
// quiz by practiceRequested; the window reads the record each time it is shown.
class LernkarteiWindow : public QWidget
{
    Q_OBJECT
public:
    LernkarteiWindow(LearningRecord &record, Clock &clock, QWidget *parent = nullptr);

    // Reads the record again and keeps the chosen topic where it can.
    void refresh();
    // "Fällige üben" acts only once the quiz can ask part of a topic.
    void setDuePracticeEnabled(bool enabled);
    void setChartColours(const ChartColours &colours) { m_chart->setColours(colours); }

    QTableView *table() const { return m_table; }
    LernkarteiModel *model() const { return m_model; }
    ProgressChartWidget *chart() const { return m_chart; }
    QPushButton *dueButton() const { return m_due; }
    QPushButton *allButton() const { return m_all; }
    QLabel *summaryLabel() const { return m_summary; }
    int currentRow() const;

Q_SIGNALS:
    void practiceRequested(const PracticeRequest &request);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void topicChosen();
    void request(bool dueOnly);
    qint32 today() const;

    LearningRecord &m_record;
    Clock &m_clock;
    LernkarteiModel *m_model;
    QTableView *m_table;
    QLabel *m_summary;
    QLabel *m_chartTitle;
    ProgressChartWidget *m_chart;
    QPushButton *m_due;
    QPushButton *m_all;
    bool m_duePracticeEnabled = false;
};

} // namespace kapitolo
