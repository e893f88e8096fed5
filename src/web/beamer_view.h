#pragma once

#include <QWidget>

class QLabel;

namespace kapitolo {

class WebParticipation;

// "Beamer-Ansicht": what the class needs to join in a browser, large enough for the
// projector: the address, the code, its QR code and how many have joined. No names and
// no grades: the control display stays on the teacher's screen.
class TBeamerAnsichtForm : public QWidget
{
    Q_OBJECT
public:
    explicit TBeamerAnsichtForm(WebParticipation &web, QWidget *parent = nullptr);

    QLabel *addressLabel() const { return m_address; }
    QLabel *codeLabel() const { return m_code; }
    QLabel *qrLabel() const { return m_qr; }
    QLabel *joinedLabel() const { return m_joined; }

    void refresh();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void toggleFullScreen();

    WebParticipation &m_web;
    QLabel *m_title;
    QLabel *m_address;
    QLabel *m_otherAddress;
    QLabel *m_code;
    QLabel *m_qr;
    QLabel *m_joined;
    QLabel *m_closed;
    QString m_qrText;
    int m_qrSide = 0;
};

} // namespace kapitolo
