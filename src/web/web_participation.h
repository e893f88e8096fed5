#pragma once

#include "web/web_classroom.h"

#include <QImage>
#include <QObject>
#include <QStringList>

#include <functional>

namespace kapitolo {

class Messages;
class NetworkQuiz;

// "NetzWebTeilnahme", "NetzWebPort", "NetzWebCode", "NetzWebJeGeraet".
struct WebSettings {
    bool enabled = false;
    int port = 8080;
    QString code; // empty: a new random code for every exercise
    int sessionsPerDevice = 1; // 0: no limit (shared computers behind one address)
};

// The limits of a classroom with these settings: one running session per device also
// holds the connections of one address to a browser's few; without it, none per address.
WebLimits webLimitsFor(const WebSettings &settings);

// The check of the communication dialog; empty when the values are good.
QString webSettingsProblem(const QString &port, const QString &code);

// The QR code of a text as black modules on white, `scale` pixels each, with the quiet
// zone of four modules; a null image when the text is too long for a QR code.
QImage qrCodeImage(const QString &text, int scale);

// Browser participation of the teacher's exercise: the web server starts with the
// exercise (new or taken up again) and stops with its end. Browser pupils report into
// the network quiz's bookkeeping and journal.
class WebParticipation : public QObject
{
    Q_OBJECT
public:
    WebParticipation(NetworkQuiz &network, Clock &clock, Messages &messages, std::function<WebSettings()> settings,
                     QObject *parent = nullptr);

    WebClassroom &classroom() { return m_classroom; }
    bool active() const { return m_classroom.listening(); }
    const QString &code() const { return m_classroom.code(); }
    quint16 port() const { return m_classroom.port(); }
    // "http://<computer>:<port>/" and the same with each IPv4 address of this computer.
    QStringList addresses() const;
    // The local computer's name for the first address.
    void setComputerName(const QString &name) { m_computerName = name; }

    // The last thing the teacher should know (a new code, a closed session); empty if none.
    const QString &lastNote() const { return m_lastNote; }
    // Everyone who joined the exercise, in a browser or with Kapitolo.
    int joinedCount() const;

Q_SIGNALS:
    // Started, stopped, or the number of browser pupils changed.
    void changed();

private:
    void start(const QList<QJsonObject> &records);
    void stop();

    NetworkQuiz &m_network;
    Messages &m_messages;
    std::function<WebSettings()> m_settings;
    WebClassroom m_classroom;
    QString m_computerName;
    QString m_lastNote;
    int m_joined = 0;
};

} // namespace kapitolo
