#pragma once

#include <QFrame>

class QLabel;

namespace kapitolo {

class WebParticipation;

// On the control display: how pupils join in a browser, the addresses of this computer,
// the code in large digits and a QR code of the address. Hidden while no web server runs.
class WebAccessPanel : public QFrame
{
    Q_OBJECT
public:
    explicit WebAccessPanel(WebParticipation &web, QWidget *parent = nullptr);

    QLabel *addressLabel() const { return m_addresses; }
    QLabel *codeLabel() const { return m_code; }
    QLabel *qrLabel() const { return m_qr; }
    QLabel *sessionsLabel() const { return m_sessions; }

    void refresh();

private:
    WebParticipation &m_web;
    QLabel *m_addresses;
    QLabel *m_code;
    QLabel *m_qr;
    QLabel *m_sessions;
};

} // namespace kapitolo
