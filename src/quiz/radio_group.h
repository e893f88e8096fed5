#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace kapitolo {

// A framed group of radio buttons chosen by item index, as the options dialogs store them.
// Each item's row can carry an example beside its caption.
class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    RadioGroup(const QString &title, const QStringList &items, int defaultIndex, QWidget *parent = nullptr);

    int itemIndex() const;
    // An index outside the items is ignored and the choice stays; returns whether it was taken.
    bool setItemIndex(int index);
    int count() const { return int(m_buttons.size()); }
    QRadioButton *button(int index) const { return m_buttons.at(index); }
    QStringList itemCaptions() const;

    // A widget shown on the item's row, right of its caption (examples, further fields).
    void setItemExtra(int index, QWidget *extra);
    // A widget on a row of its own below the item, indented to the caption.
    void addBelowItem(int index, QWidget *widget);

Q_SIGNALS:
    // The user chose an item (by mouse or keyboard).
    void itemClicked(int index);

private:
    QGridLayout *m_grid;
    QButtonGroup *m_group;
    QList<QRadioButton *> m_buttons;
    QList<int> m_rows;
};

} // namespace kapitolo
