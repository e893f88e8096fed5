#include "web/web_access_panel.h"

#include "web/web_participation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace kapitolo {

WebAccessPanel::WebAccessPanel(WebParticipation &web, QWidget *parent)
    : QFrame(parent)
    , m_web(web)
{
    setObjectName(QStringLiteral("WebZugangPan"));
    setFrameShape(QFrame::StyledPanel);
    auto *title = new QLabel(QStringLiteral("Teilnahme im Browser: Adresse im Browser öffnen, Code und Name eingeben."),
                             this);
    m_addresses = new QLabel(this);
    m_addresses->setObjectName(QStringLiteral("WebAdresseLab"));
    m_addresses->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = m_addresses->font();
    big.setPointSize(big.pointSize() + 3);
    m_addresses->setFont(big);
    m_sessions = new QLabel(this);
    m_sessions->setObjectName(QStringLiteral("WebTeilnehmerLab"));
    auto *codeTitle = new QLabel(QStringLiteral("Code:"), this);
    m_code = new QLabel(this);
    m_code->setObjectName(QStringLiteral("WebCodeLab"));
    QFont huge = m_code->font();
    huge.setPointSize(40);
    huge.setBold(true);
    huge.setLetterSpacing(QFont::AbsoluteSpacing, 6);
    m_code->setFont(huge);
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_qr = new QLabel(this);
    m_qr->setObjectName(QStringLiteral("WebQrLab"));

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(m_addresses);
    text->addWidget(m_sessions);
    text->addStretch();
    auto *code = new QVBoxLayout;
    code->addWidget(codeTitle);
    code->addWidget(m_code);
    code->addStretch();
    auto *row = new QHBoxLayout(this);
    row->addLayout(text, 1);
    row->addLayout(code);
    row->addWidget(m_qr);
    connect(&m_web, &WebParticipation::changed, this, &WebAccessPanel::refresh);
    refresh();
}

void WebAccessPanel::refresh()
{
    setVisible(m_web.active());
    if (!m_web.active())
        return;
    const QStringList addresses = m_web.addresses();
    m_addresses->setText(addresses.join(QStringLiteral("\n")));
    m_code->setText(m_web.code());
    m_sessions->setText(QStringLiteral("Im Browser angemeldet: %1").arg(m_web.classroom().sessionCount()));
    // The QR code carries the numeric address: a tablet's camera opens it without a name service.
    const QImage qr = qrCodeImage(addresses.value(addresses.size() > 1 ? 1 : 0), 4);
    m_qr->setPixmap(QPixmap::fromImage(qr));
}

} // namespace kapitolo
