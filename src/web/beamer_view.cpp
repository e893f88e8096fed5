#include "web/beamer_view.h"

#include "web/web_participation.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

QLabel *bigLabel(QWidget *parent, const char *name, int points, bool bold)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setPointSize(points);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

TBeamerAnsichtForm::TBeamerAnsichtForm(WebParticipation &web, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_web(web)
{
    setObjectName(QStringLiteral("TBeamerAnsichtForm"));
    setWindowTitle(QStringLiteral("Beamer-Ansicht"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    m_title = bigLabel(this, "BeamerTitelLab", 22, false);
    m_title->setText(QStringLiteral("Im Browser mitmachen: Adresse öffnen, Code und Namen eingeben"));
    m_address = bigLabel(this, "BeamerAdresseLab", 30, true);
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_address->setWordWrap(false);
    m_otherAddress = bigLabel(this, "BeamerNameLab", 18, false);
    auto *codeTitle = bigLabel(this, "BeamerCodeTitelLab", 22, false);
    codeTitle->setText(QStringLiteral("Code"));
    m_code = bigLabel(this, "BeamerCodeLab", 96, true);
    QFont spaced = m_code->font();
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 12);
    m_code->setFont(spaced);
    m_qr = new QLabel(this);
    m_qr->setObjectName(QStringLiteral("BeamerQrLab"));
    m_qr->setAlignment(Qt::AlignCenter);
    m_joined = bigLabel(this, "BeamerAngemeldetLab", 26, false);
    m_closed = bigLabel(this, "BeamerGeschlossenLab", 26, true);
    m_closed->setText(QStringLiteral("Die Anmeldung ist geschlossen."));

    auto *codeColumn = new QVBoxLayout;
    codeColumn->addStretch();
    codeColumn->addWidget(codeTitle);
    codeColumn->addWidget(m_code);
    codeColumn->addStretch();
    auto *middle = new QHBoxLayout;
    middle->addLayout(codeColumn, 1);
    middle->addWidget(m_qr, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->addWidget(m_title);
    layout->addWidget(m_address);
    layout->addWidget(m_otherAddress);
    layout->addLayout(middle, 1);
    layout->addWidget(m_joined);
    layout->addWidget(m_closed);
    resize(1024, 720);
    connect(&m_web, &WebParticipation::changed, this, &TBeamerAnsichtForm::refresh);
    refresh();
}

void TBeamerAnsichtForm::refresh()
{
    if (!m_web.active()) {
        m_address->setText(QStringLiteral("Zurzeit läuft keine Netzwerk-Übung mit Teilnahme im Browser."));
        m_otherAddress->clear();
        m_code->clear();
        m_qr->clear();
        m_qrText.clear();
        m_joined->clear();
        m_closed->hide();
        return;
    }
    const QStringList addresses = m_web.addresses();
    // The numeric address first: a tablet reaches it without a name service.
    const QString numeric = addresses.value(addresses.size() > 1 ? 1 : 0);
    m_address->setText(numeric);
    m_otherAddress->setText(addresses.size() > 1 ? QStringLiteral("oder ") + addresses.first() : QString());
    m_code->setText(m_web.code());
    const int side = qMax(120, qMin(width() / 2 - 48, height() - 300));
    if (numeric != m_qrText || side != m_qrSide) {
        m_qrText = numeric;
        m_qrSide = side;
        const QImage qr = qrCodeImage(numeric, 1);
        if (!qr.isNull())
            m_qr->setPixmap(QPixmap::fromImage(qr.scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation)));
    }
    const int joined = m_web.joinedCount();
    m_joined->setText(joined == 1 ? QStringLiteral("1 Schülerin oder Schüler angemeldet")
                                  : QStringLiteral("%1 Schülerinnen und Schüler angemeldet").arg(joined));
    m_closed->setVisible(!m_web.classroom().joiningOpen());
}

void TBeamerAnsichtForm::toggleFullScreen()
{
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void TBeamerAnsichtForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (isFullScreen())
            toggleFullScreen();
        else
            close();
        return;
    }
    if (event->key() == Qt::Key_F11) {
        toggleFullScreen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TBeamerAnsichtForm::mouseDoubleClickEvent(QMouseEvent *)
{
    toggleFullScreen();
}

void TBeamerAnsichtForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refresh(); // the QR code grows with the window
}

} // namespace kapitolo
