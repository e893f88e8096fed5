#pragma once

#include "network/class_history.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace kapitolo {

// "Klassenverlauf": a class (channel) and a topic or all; the pupils against the
// exercises with total performance, grade and trend; below, the items the class still
// gets wrong across its last exercises of the topic. Reads the history when shown and
// when the choice changes.
class TKlassenverlaufForm : public QDialog
{
    Q_OBJECT
public:
    TKlassenverlaufForm(ClassHistory &history, QWidget *parent = nullptr);

    // Reads the channels again; the given one is chosen where it is in the history.
    void refresh(const QString &channel);

    QString channel() const;
    QString topic() const; // empty: all topics
    const HistoryTable &table() const { return m_table; }
    const WeakItems &weakItems() const { return m_weak; }

    QComboBox *channelBox() const { return m_channels; }
    QComboBox *topicBox() const { return m_topics; }
    QTableView *pupilGrid() const { return m_pupilGrid; }
    QTableView *itemGrid() const { return m_itemGrid; }
    QPushButton *showOnCardButton() const { return m_showOnCard; }
    QPushButton *csvButton() const { return m_csv; }
    QPushButton *printButton() const { return m_print; }
    QLabel *itemsLabel() const { return m_itemsLabel; }

    // Item key -> rate at the first try in the topic's last exercise that asked it.
    QHash<QString, double> latestRates() const;

    std::function<void()> onShowOnCard;
    std::function<void()> onSaveCsv;
    std::function<void()> onPrint;

private:
    void channelChosen();
    void topicChosen();
    void fill();

    ClassHistory &m_history;
    QComboBox *m_channels;
    QComboBox *m_topics;
    QTableView *m_pupilGrid;
    QTableView *m_itemGrid;
    QStandardItemModel *m_pupilModel;
    QStandardItemModel *m_itemModel;
    QLabel *m_itemsLabel;
    QPushButton *m_showOnCard;
    QPushButton *m_csv;
    QPushButton *m_print;
    HistoryTable m_table;
    WeakItems m_weak;
    bool m_filling = false;
};

} // namespace kapitolo
