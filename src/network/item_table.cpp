#include "network/item_table.h"

#include "network/control_board.h"
#include "view/item_marks.h"

#include <algorithm>

namespace kapitolo {

ItemTableModel::ItemTableModel(const ControlBoard &board, std::function<const TopicDocument &()> document,
                               QObject *parent)
    : QAbstractTableModel(parent)
    , m_board(board)
    , m_document(std::move(document))
{
    connect(&board, &ControlBoard::itemChanged, this, &ItemTableModel::itemChanged);
    connect(&board, &QAbstractItemModel::modelReset, this, &ItemTableModel::rebuild);
    connect(&board, &ControlBoard::itemsReset, this, &ItemTableModel::rebuild);
    rebuild();
}

void ItemTableModel::rebuild()
{
    beginResetModel();
    m_order.clear();
    m_texts.clear();
    for (const ItemFigures &f : m_board.items().rows())
        m_order.append(f.object);
    endResetModel();
}

void ItemTableModel::itemChanged(int object)
{
    const ItemAnalysis &items = m_board.items();
    const int old = int(m_order.indexOf(object));
    QList<int> others = m_order;
    if (old >= 0)
        others.removeAt(old);
    // The other items kept their figures, so they are still in order.
    const ItemFigures mine = items.figures(object);
    const auto at = std::lower_bound(others.cbegin(), others.cend(), mine, [&items](int o, const ItemFigures &f) {
        return ItemAnalysis::harder(items.figures(o), f);
    });
    const int row = int(at - others.cbegin());
    if (old < 0) {
        beginInsertRows(QModelIndex(), row, row);
        m_order.insert(row, object);
        endInsertRows();
    } else if (row != old) {
        beginMoveRows(QModelIndex(), old, old, QModelIndex(), row > old ? row + 1 : row);
        m_order.move(old, row);
        endMoveRows();
    }
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

QString ItemTableModel::taskText(int object) const
{
    auto found = m_texts.constFind(object);
    if (found == m_texts.constEnd())
        found = m_texts.insert(object, itemTaskText(m_document(), object));
    return *found;
}

QString ItemTableModel::columnTitle(int column)
{
    switch (column) {
    case ColTask: return QStringLiteral("Aufgabe");
    case ColAnswered: return QStringLiteral("Beantwortet");
    case ColRightFirst: return QStringLiteral("Richtig beim ersten Versuch");
    case ColSolved: return QStringLiteral("Gelöst");
    case ColFailed: return QStringLiteral("Fehlversuche");
    case ColRate: return QStringLiteral("Quote beim ersten Versuch (%)");
    }
    return {};
}

int ItemTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int ItemTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ItemTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size())
        return {};
    const int object = m_order.at(index.row());
    const ItemFigures f = m_board.items().figures(object);
    if (role == Qt::BackgroundRole && index.column() == ColRate)
        return itemRateColour(f.rate()).lighter(140);
    if (role == Qt::TextAlignmentRole && index.column() != ColTask)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColTask: return taskText(object);
    case ColAnswered: return f.answeredBy;
    case ColRightFirst: return f.rightFirst;
    case ColSolved: return f.solved;
    case ColFailed: return f.failedAttempts;
    case ColRate: return rateText(f.rate());
    }
    return {};
}

QVariant ItemTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return columnTitle(section);
}

} // namespace kapitolo
