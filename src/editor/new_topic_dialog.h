#pragma once

#include <QDialog>

class QRadioButton;

namespace kapitolo {

// "Neues Thema": which kind of topic the teacher wants to make.
class TNeuesThemaForm : public QDialog
{
    Q_OBJECT
public:
    explicit TNeuesThemaForm(QWidget *parent = nullptr);
    // The document type of the chosen kind.
    qint32 kind() const;

private:
    QRadioButton *m_kinds[3];
};

} // namespace kapitolo
