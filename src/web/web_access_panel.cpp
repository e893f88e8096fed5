#include "web/web_access_panel.h"

#include "web/beamer_view.h"
#include "web/web_participation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
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
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("WebHinweisLab"));
    m_note->setWordWrap(true);
    QPalette notePalette = m_note->palette();
    notePalette.setColor(QPalette::WindowText, QColor(160, 0, 0));
    m_note->setPalette(notePalette);
    m_joining = new QPushButton(this);
    m_joining->setObjectName(QStringLiteral("AnmeldungBtn"));
    m_joining->setAutoDefault(false);
    m_beamer = new QPushButton(QStringLiteral("Beame&r-Ansicht"), this);
    m_beamer->setObjectName(QStringLiteral("BeamerBtn"));
    m_beamer->setAutoDefault(false);
    connect(m_joining, &QPushButton::clicked, this, &WebAccessPanel::toggleJoining);
    connect(m_beamer, &QPushButton::clicked, this, &WebAccessPanel::showBeamerView);

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(m_addresses);
    text->addWidget(m_sessions);
    text->addWidget(m_note);
    auto *commands = new QHBoxLayout;
    commands->addWidget(m_joining);
    commands->addWidget(m_beamer);
    commands->addStretch();
    text->addLayout(commands);
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
    const bool open = m_web.classroom().joiningOpen();
    m_sessions->setText(QStringLiteral("Im Browser angemeldet: %1").arg(m_web.classroom().sessionCount())
                        + (open ? QString() : QStringLiteral(" – die Anmeldung ist geschlossen")));
    m_joining->setText(open ? QStringLiteral("An&meldung schließen") : QStringLiteral("An&meldung öffnen"));
    m_note->setText(m_web.lastNote());
    m_note->setVisible(!m_web.lastNote().isEmpty());
    // The QR code carries the numeric address: a tablet's camera opens it without a name service.
    const QString numeric = addresses.value(addresses.size() > 1 ? 1 : 0);
    if (numeric != m_qrText) {
        m_qrText = numeric;
        m_qr->setPixmap(QPixmap::fromImage(qrCodeImage(numeric, 4)));
    }
}

void WebAccessPanel::toggleJoining()
{
    if (m_web.active())
        m_web.classroom().setJoiningOpen(!m_web.classroom().joiningOpen());
}

void WebAccessPanel::showBeamerView()
{
    if (!m_beamerView)
        m_beamerView = new TBeamerAnsichtForm(m_web, window());
    m_beamerView->refresh();
    m_beamerView->show();
    m_beamerView->raise();
    m_beamerView->activateWindow();
}

} // namespace kapitolo
