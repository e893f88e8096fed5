#pragma once

// A browser as the tests see it: a WebSocket to the classroom's server with the
// messages that came back, and a map to play on.

#include "document/topic_document.h"
#include "support/test_files.h"
#include "web/web_classroom.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

namespace kapitolo::test {

// A map of `labels` places on a grid, big enough that their boxes never touch.
inline TopicDocument webMapDocument(int labels)
{
    TopicDocument d;
    d.vers = QStringLiteral("1.00");
    d.titel = QStringLiteral("Flüsse");
    d.DokTyp = dtImageLabelling;
    d.NumArt = 0;
    const int columns = 4;
    for (int i = 0; i < labels; ++i) {
        DocObject o;
        o.Kx = o.Sx = 0.12 + 0.24 * (i % columns);
        o.Ky = o.Sy = 0.1 + 0.2 * (i / columns);
        o.Cap = QStringLiteral("Ort %1").arg(QChar(u'A' + i));
        o.Ebene = 1;
        o.Typ = otLabel;
        o.FrageNummer = -1;
        d.objects.append(o);
    }
    d.baseImage = patternImage(600, 450);
    return d;
}

class Browser
{
public:
    explicit Browser(quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            received.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        socket.open(QUrl(QStringLiteral("ws://%1:%2/ws").arg(host).arg(port)));
    }
    bool waitConnected()
    {
        if (socket.state() == QAbstractSocket::ConnectedState)
            return true;
        QSignalSpy spy(&socket, &QWebSocket::connected);
        return spy.wait(5000);
    }
    void send(const QJsonObject &m) { socket.sendTextMessage(QString::fromUtf8(QJsonDocument(m).toJson())); }
    // The next message of that kind (taken out of the queue); empty when none came.
    QJsonObject next(const QString &kind, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            for (qsizetype i = 0; i < received.size(); ++i)
                if (received.at(i).value(QStringLiteral("art")).toString() == kind)
                    return received.takeAt(i);
            if (timer.elapsed() > timeoutMs)
                return {};
            QSignalSpy spy(&socket, &QWebSocket::textMessageReceived);
            spy.wait(qMax<qint64>(1, timeoutMs - timer.elapsed()));
        }
    }
    QJsonObject join(const QString &code, const QString &name)
    {
        send({{QStringLiteral("art"), QStringLiteral("anmelden")}, {QStringLiteral("code"), code},
              {QStringLiteral("name"), name}, {QStringLiteral("breite"), 800}, {QStringLiteral("hoehe"), 600}});
        const QJsonObject joined = next(QStringLiteral("angemeldet"), 5000);
        token = joined.value(QStringLiteral("token")).toString();
        return token.isEmpty() ? QJsonObject() : next(QStringLiteral("zustand"));
    }
    QJsonObject drop(qint64 seq, const QString &tile, const RectD &r)
    {
        send({{QStringLiteral("art"), QStringLiteral("ablegen")}, {QStringLiteral("seq"), seq},
              {QStringLiteral("kachel"), tile}, {QStringLiteral("x0"), r.left}, {QStringLiteral("y0"), r.top},
              {QStringLiteral("x1"), r.right}, {QStringLiteral("y1"), r.bottom}});
        return next(QStringLiteral("urteil"));
    }

    QWebSocket socket;
    QList<QJsonObject> received;
    QString token;
};

// The tile of that caption in a state message; empty when it is not shown.
inline QString tileOf(const QJsonObject &state, const QString &caption)
{
    for (const QJsonValue &t : state.value(QStringLiteral("kacheln")).toArray())
        if (t.toObject().value(QStringLiteral("text")).toString() == caption)
            return t.toObject().value(QStringLiteral("id")).toString();
    return {};
}

// A tile-sized rectangle whose left edge lies in the middle of the object's box.
inline RectD onto(const DocObject &o)
{
    const double x = (o.hitBox.left + o.hitBox.right) / 2;
    const double y = (o.hitBox.top + o.hitBox.bottom) / 2;
    return RectD{x, y - 0.02, x + 0.15, y + 0.02};
}

// The object of the caption in a session's document.
inline const DocObject &objectNamed(const WebPupil &pupil, const QString &caption)
{
    for (const DocObject &o : pupil.document().objects)
        if (o.Cap == caption)
            return o;
    static const DocObject none;
    return none;
}

} // namespace kapitolo::test

namespace kapitolo::test {

// A browser the tests build by hand: a WebSocket over a TCP connection from a loopback
// address of its own (127.x.y.z are separate devices to the server), frames written and
// read here, so that a test can also send what no browser would.
class RawBrowser
{
public:
    RawBrowser(quint16 port, const QString &address, const QByteArray &origin = QByteArray())
        : m_port(port)
        , m_origin(origin)
    {
        socket.bind(QHostAddress(address), 0);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { read(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    // Connected and upgraded; false when the server refused or closed.
    bool open(int timeoutMs = 5000)
    {
        if (socket.state() != QAbstractSocket::ConnectedState && !socket.waitForConnected(timeoutMs))
            return false;
        QByteArray request = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port)
            + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
              "Sec-WebSocket-Version: 13\r\n";
        if (!m_origin.isEmpty())
            request += "Origin: " + m_origin + "\r\n";
        socket.write(request + "\r\n");
        QElapsedTimer timer;
        timer.start();
        while (!m_upgraded && !closed() && timer.elapsed() < timeoutMs) {
            QSignalSpy spy(&socket, &QTcpSocket::readyRead);
            spy.wait(50);
        }
        return m_upgraded;
    }
    bool closed() const { return socket.state() != QAbstractSocket::ConnectedState || m_closeFrame; }

    void sendText(const QByteArray &payload)
    {
        QByteArray frame;
        frame.append(char(0x81));
        if (payload.size() < 126) {
            frame.append(char(0x80 | payload.size()));
        } else if (payload.size() < 65536) {
            frame.append(char(0x80 | 126));
            frame.append(char(payload.size() >> 8)).append(char(payload.size() & 0xff));
        } else {
            frame.append(char(0x80 | 127));
            for (int i = 7; i >= 0; --i)
                frame.append(char((quint64(payload.size()) >> (8 * i)) & 0xff));
        }
        const char mask[4] = {0x12, 0x34, 0x56, 0x78};
        frame.append(mask, 4);
        for (qsizetype i = 0; i < payload.size(); ++i)
            frame.append(char(payload.at(i) ^ mask[i % 4]));
        socket.write(frame);
    }
    void send(const QJsonObject &m) { sendText(QJsonDocument(m).toJson(QJsonDocument::Compact)); }

    QJsonObject next(const QString &kind, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            for (qsizetype i = 0; i < received.size(); ++i)
                if (received.at(i).value(QStringLiteral("art")).toString() == kind)
                    return received.takeAt(i);
            if (timer.elapsed() > timeoutMs || closed())
                return {};
            QSignalSpy spy(&socket, &QTcpSocket::readyRead);
            spy.wait(qMax<qint64>(1, qMin<qint64>(100, timeoutMs - timer.elapsed())));
        }
    }
    QJsonObject join(const QString &code, const QString &name)
    {
        send({{QStringLiteral("art"), QStringLiteral("anmelden")}, {QStringLiteral("code"), code},
              {QStringLiteral("name"), name}, {QStringLiteral("breite"), 800}, {QStringLiteral("hoehe"), 600}});
        const QJsonObject joined = next(QStringLiteral("angemeldet"));
        token = joined.value(QStringLiteral("token")).toString();
        return token.isEmpty() ? QJsonObject() : next(QStringLiteral("zustand"));
    }
    // The text of the refusal a join gets; empty when it was not refused.
    QString refusal(const QString &code, const QString &name)
    {
        send({{QStringLiteral("art"), QStringLiteral("anmelden")}, {QStringLiteral("code"), code},
              {QStringLiteral("name"), name}, {QStringLiteral("breite"), 800}, {QStringLiteral("hoehe"), 600}});
        return next(QStringLiteral("fehler")).value(QStringLiteral("text")).toString();
    }

    QTcpSocket socket;
    QList<QJsonObject> received;
    QString token;
    int pings = 0;

private:
    void read()
    {
        m_buffer += socket.readAll();
        if (!m_upgraded) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            m_upgraded = m_buffer.startsWith("HTTP/1.1 101");
            m_buffer.remove(0, end + 4);
            if (!m_upgraded)
                return;
        }
        for (;;) {
            if (m_buffer.size() < 2)
                return;
            const quint8 opcode = quint8(m_buffer.at(0)) & 0x0f;
            quint64 length = quint8(m_buffer.at(1)) & 0x7f;
            qsizetype at = 2;
            if (length == 126) {
                if (m_buffer.size() < 4)
                    return;
                length = (quint64(quint8(m_buffer.at(2))) << 8) | quint8(m_buffer.at(3));
                at = 4;
            } else if (length == 127) {
                if (m_buffer.size() < 10)
                    return;
                length = 0;
                for (int i = 0; i < 8; ++i)
                    length = (length << 8) | quint8(m_buffer.at(2 + i));
                at = 10;
            }
            if (quint64(m_buffer.size() - at) < length)
                return;
            const QByteArray payload = m_buffer.mid(at, qsizetype(length));
            m_buffer.remove(0, at + qsizetype(length));
            if (opcode == 0x1)
                received.append(QJsonDocument::fromJson(payload).object());
            else if (opcode == 0x8)
                m_closeFrame = true;
            else if (opcode == 0x9)
                ++pings; // no pong: this browser has gone quiet
        }
    }

    quint16 m_port;
    QByteArray m_origin;
    QByteArray m_buffer;
    bool m_upgraded = false;
    bool m_closeFrame = false;
};

} // namespace kapitolo::test
