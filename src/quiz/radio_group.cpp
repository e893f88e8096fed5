#include "quiz/radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QStyle>

namespace kapitolo {

RadioGroup::RadioGroup(const QString &title, const QStringList &items, int defaultIndex, QWidget *parent)
    : QGroupBox(title, parent)
    , m_grid(new QGridLayout(this))
    , m_group(new QButtonGroup(this))
{
    m_grid->setContentsMargins(8, 4, 8, 6);
    m_grid->setHorizontalSpacing(10);
    m_grid->setVerticalSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        m_group->addButton(button, i);
        m_buttons.append(button);
        m_rows.append(m_grid->rowCount());
        m_grid->addWidget(button, m_grid->rowCount(), 0);
    }
    m_grid->setColumnStretch(2, 1);
    // Spare height goes below the items, which stay together at the top.
    m_grid->setRowStretch(m_grid->rowCount(), 1);
    setItemIndex(defaultIndex);
    connect(m_group, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
}

int RadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

bool RadioGroup::setItemIndex(int index)
{
    if (index < 0 || index >= count())
        return false;
    m_buttons.at(index)->setChecked(true);
    return true;
}

QStringList RadioGroup::itemCaptions() const
{
    QStringList captions;
    for (const QRadioButton *b : m_buttons)
        captions << b->text();
    return captions;
}

void RadioGroup::setItemExtra(int index, QWidget *extra)
{
    extra->setParent(this);
    m_grid->addWidget(extra, m_rows.at(index), 1, Qt::AlignLeft | Qt::AlignVCenter);
}

void RadioGroup::addBelowItem(int index, QWidget *widget)
{
    widget->setParent(this);
    // The row after the last item (the stretch row moves one further down); a row between
    // items would move them, so this is meant for the last item only.
    const int row = m_grid->rowCount() - 1;
    m_grid->setRowStretch(row, 0);
    m_grid->setRowStretch(row + 1, 1);
    Q_ASSERT(index == count() - 1);
    const int indent = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth)
        + style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    widget->setContentsMargins(indent, 0, 0, 0);
    m_grid->addWidget(widget, row, 0, 1, 3);
}

} // namespace kapitolo
