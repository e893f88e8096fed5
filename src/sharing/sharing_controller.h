#pragma once

#include "document/topic_document.h"
#include "platform/services.h"

#include <memory>

class QWidget;

namespace kapitolo {

class MailClient;
class TArbeitsblattForm;
class TMailForm;

// Worksheets and e-mail in the program: the worksheet window and the e-mail dialog for the
// open document.
class SharingController
{
public:
    // setupFolder: the installation package a mail may carry; webAddress: the maker's page
    // the mail names.
    SharingController(Services &services, const TopicDocument &document, const QString &setupFolder,
                      const QString &webAddress, QWidget *parentWindow);
    ~SharingController();

    // The worksheet window and the e-mail dialog are created on first use.
    // Ctrl+A and "Arbeitsblatt": the worksheet window for the open document.
    void Arbeitsblatt1Click();
    // Ctrl+M and "E-Mail": the open document to the mail program.
    void EMail1Click();
    TArbeitsblattForm *arbeitsblattForm() const { return m_arbeitsblattForm; }
    TMailForm *mailForm() const { return m_mailForm; }
    // Tests hand in a mail client of their own; the program uses xdg-email otherwise.
    void setMailClient(MailClient *client) { m_mailClient = client; }

private:
    Services &m_services;
    const TopicDocument &m_doc;
    QString m_setupFolder;
    QString m_webAddress;
    QWidget *m_parentWindow;
    std::unique_ptr<MailClient> m_ownMailClient;
    MailClient *m_mailClient = nullptr;
    TArbeitsblattForm *m_arbeitsblattForm = nullptr;
    TMailForm *m_mailForm = nullptr;
};

} // namespace kapitolo
