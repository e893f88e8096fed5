#pragma once

#include "sharing/mail_sender.h"

#include <QDialog>

namespace kapitolo {

class RadioGroup;

// "Dokument per E-Mail versenden": the document alone, or together with the installer
// of the free viewer. The choice stays between openings.
class TMailForm : public QDialog, public MailDialog
{
    Q_OBJECT
public:
    explicit TMailForm(QWidget *parent = nullptr);

    int askSendOption() override;
    RadioGroup *mailGroup() const { return m_mailGroup; }

private:
    RadioGroup *m_mailGroup;
};

} // namespace kapitolo
