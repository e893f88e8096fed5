#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace kapitolo {

class WebParticipation;
class TBeamerAnsichtForm;

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
    QLabel *noteLabel() const { return m_note; }
    QPushButton *joiningButton() const { return m_joining; }
    QPushButton *beamerButton() const { return m_beamer; }
    // The projector's window, once opened.
    TBeamerAnsichtForm *beamerView() const { return m_beamerView; }

    void refresh();
    // "Anmeldung schließen" / "Anmeldung öffnen".
    void toggleJoining();
    void showBeamerView();

private:
    WebParticipation &m_web;
    QLabel *m_note;
    QPushButton *m_joining;
    QPushButton *m_beamer;
    TBeamerAnsichtForm *m_beamerView = nullptr;
    QString m_qrText;
    QLabel *m_addresses;
    QLabel *m_code;
    QLabel *m_qr;
    QLabel *m_sessions;
};

} // namespace kapitolo
