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
