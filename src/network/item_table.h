#pragma once

#include "network/item_analysis.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

#include <functional>

namespace kapitolo {

class ControlBoard;

// The tab "Aufgaben" of the control display: one row per answered place, gap or question,
// hardest first, following every accepted report. A report changes one item; its row
// moves to its new place and the other rows keep theirs, so the teacher's selection and
// scroll position survive and an update costs a search, not a sort.
class ItemTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColTask, ColAnswered, ColRightFirst, ColSolved, ColFailed, ColRate, ColumnCount };

    // document gives the exercise's document for the texts of the items.
    ItemTableModel(const ControlBoard &board, std::function<const TopicDocument &()> document,
                   QObject *parent = nullptr);

    // The object of a row, in the order shown.
    int objectAt(int row) const { return m_order.value(row, -1); }
    QString taskText(int object) const;
    static QString columnTitle(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void itemChanged(int object);
    void rebuild();

    const ControlBoard &m_board;
    std::function<const TopicDocument &()> m_document;
    QList<int> m_order;
    mutable QHash<int, QString> m_texts;
};

} // namespace kapitolo
