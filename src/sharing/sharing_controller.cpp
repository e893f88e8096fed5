// Worksheets and e-mail for the open document.

#include "sharing/sharing_controller.h"

#include "platform/mail_client.h"
#include "platform/messages.h"
#include "sharing/mail_form.h"
#include "sharing/mail_sender.h"
#include "sharing/worksheet_form.h"

namespace kapitolo {

SharingController::SharingController(Services &services, const TopicDocument &document, const QString &setupFolder,
                                     const QString &webAddress, QWidget *parentWindow)
    : m_services(services)
    , m_doc(document)
    , m_setupFolder(setupFolder)
    , m_webAddress(webAddress)
    , m_parentWindow(parentWindow)
{
    m_ownMailClient = std::make_unique<XdgEmailClient>();
    m_mailClient = m_ownMailClient.get();
}

SharingController::~SharingController() = default;

void SharingController::Arbeitsblatt1Click()
{
    if (!m_doc.isLoaded()) {
        m_services.messages.information(QStringLiteral("Es ist kein Dokument geöffnet."));
        return;
    }
    if (!m_arbeitsblattForm) {
        m_arbeitsblattForm = new TArbeitsblattForm(m_services.messages, m_parentWindow);
        m_arbeitsblattForm->setObjectName(QStringLiteral("TArbeitsblattForm"));
    }
    m_arbeitsblattForm->ShowSheet(m_doc);
}

void SharingController::EMail1Click()
{
    if (!m_mailForm) {
        m_mailForm = new TMailForm(m_parentWindow);
        m_mailForm->setObjectName(QStringLiteral("TMailForm"));
    }
    MailSender sender(m_services.messages, *m_mailClient, *m_mailForm, m_setupFolder, m_webAddress,
                      &m_services.fileDialogs);
    sender.SendDocument(m_doc.fileName);
}

} // namespace kapitolo
