#include "web/web_classroom.h"

#include "network/network_reports.h"
#include "quiz/quiz_types.h"
#include "platform/nearest.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>

#include <cmath>
#include <memory>

static void initWebPage()
{
    Q_INIT_RESOURCE(web_page);
}

namespace kapitolo {

namespace {
constexpr char kWebSocketPath[] = "/ws";
}

// QAbstractHttpServer hands every request to the classroom; WebSocket upgrades arrive
// through its own signal.
// Accepts the connections for the HTTP server and counts what each sends until it has
// become a WebSocket (whose messages QWebSocket limits): a connection that sends more
// than the limit is closed at once. The count runs before the HTTP server reads.
class GuardedTcpServer : public QTcpServer
{
public:
    GuardedTcpServer(qint64 limit, QObject *parent) : QTcpServer(parent), m_limit(limit) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        // A verdict and the new state follow each other as small writes: without this the
        // second waits for the browser's delayed acknowledgement of the first (40 ms).
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto received = std::make_shared<qint64>(0);
        auto watch = std::make_shared<QMetaObject::Connection>();
        *watch = connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received, watch] {
            if (!socket->isOpen())
                return;
            if (*received == 0 && socket->peek(sizeof kUpgradeStart - 1) == QByteArray(kUpgradeStart)) {
                disconnect(*watch);
                return;
            }
            *received += socket->bytesAvailable();
            if (*received > m_limit) {
                disconnect(*watch);
                // After the HTTP server's handler of this signal, which still reads.
                QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
            }
        });
        addPendingConnection(socket);
    }

private:
    static constexpr char kUpgradeStart[] = "GET /ws ";
    qint64 m_limit;
};

class WebHttpServer : public QAbstractHttpServer
{
public:
    explicit WebHttpServer(WebClassroom &classroom) : m_classroom(classroom) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        // A WebSocket upgrade the server accepts without answering becomes a WebSocket:
        // only the API's address is accepted.
        if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0
            && request.url().path(QUrl::FullyEncoded) == QLatin1String(kWebSocketPath))
            return true;
        QHttpServerResponder responder = makeResponder(request, socket);
        m_classroom.handleHttp(request, responder);
        return true;
    }
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        m_classroom.handleHttp(request, responder);
    }

private:
    WebClassroom &m_classroom;
};

namespace {

constexpr int kMaxNameChars = 30;

const QString kWrongCodeText = QStringLiteral("Der Code stimmt nicht.");

struct StaticFile {
    const char *path;
    const char *resource;
    const char *type;
};
// Everything the browser may fetch besides the card images: nothing else is ever served.
constexpr StaticFile kStaticFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
    {"/kapitolo.css", ":/web/kapitolo.css", "text/css; charset=utf-8"},
    {"/kapitolo.js", ":/web/kapitolo.js", "text/javascript; charset=utf-8"},
};

bool hasExactKeys(const QJsonObject &o, std::initializer_list<const char *> keys)
{
    if (o.size() != qsizetype(keys.size()))
        return false;
    for (const char *k : keys)
        if (!o.contains(QLatin1String(k)))
            return false;
    return true;
}

bool readInt(const QJsonObject &o, const char *key, qint64 low, qint64 high, qint64 &value)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < double(low) || d > double(high))
        return false;
    value = qint64(d);
    return true;
}

bool readText(const QJsonObject &o, const char *key, int maxChars, QString &value)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return false;
    value = v.toString();
    if (value.size() > maxChars)
        return false;
    for (const QChar c : std::as_const(value))
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

bool readFraction(const QJsonObject &o, const char *key, double &value)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    value = v.toDouble();
    // A tile may hang over the card's edge, but not by ten cards.
    return std::isfinite(value) && value >= -10 && value <= 10;
}

bool isTileId(const QString &id)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9]{1,32}$"));
    return pattern.match(id).hasMatch();
}

QJsonObject message(const char *kind)
{
    QJsonObject m;
    m[QStringLiteral("art")] = QLatin1String(kind);
    return m;
}

QJsonObject identityJson(const WebPupil::Identity &id)
{
    QJsonObject j;
    j[QStringLiteral("token")] = id.token;
    j[QStringLiteral("karte")] = id.cardKey;
    j[QStringLiteral("schluessel")] = id.key;
    j[QStringLiteral("name")] = id.name;
    j[QStringLiteral("adresse")] = id.address;
    j[QStringLiteral("seed")] = QString::number(id.seed);
    j[QStringLiteral("beginn")] = id.joinedAt;
    return j;
}

bool identityFrom(const QJsonObject &j, WebPupil::Identity &id)
{
    id.token = j.value(QStringLiteral("token")).toString();
    id.cardKey = j.value(QStringLiteral("karte")).toString();
    id.key = j.value(QStringLiteral("schluessel")).toString();
    id.name = j.value(QStringLiteral("name")).toString();
    id.address = j.value(QStringLiteral("adresse")).toString();
    bool ok = false;
    id.seed = j.value(QStringLiteral("seed")).toString().toULongLong(&ok);
    id.joinedAt = j.value(QStringLiteral("beginn")).toDouble();
    return ok && !id.token.isEmpty() && !id.cardKey.isEmpty() && id.key.size() == kParticipantKeyLength
        && id.joinedAt > 0;
}

} // namespace

WebClassroom::WebClassroom(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
    initWebPage();
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &WebClassroom::tickSessions);
}

WebClassroom::~WebClassroom()
{
    // Going down with the program: nobody is told any more.
    blockSignals(true);
    m_reports = nullptr;
    m_journal = nullptr;
    m_discardSink = nullptr;
    stop();
}

void WebClassroom::setExercise(const TopicDocument &document, const QuizOptions &options)
{
    m_document = document;
    m_options = options;
}

QString WebClassroom::randomCode()
{
    return QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(10000), 4, 10, QLatin1Char('0'));
}

bool WebClassroom::isValidCode(const QString &code)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{4,8}$"));
    return pattern.match(code).hasMatch();
}

QString WebClassroom::nameNote(const QString &name)
{
    return nameEntryHint(name);
}

bool WebClassroom::listen(quint16 port, const QHostAddress &address)
{
    m_server.reset();
    auto server = std::make_unique<WebHttpServer>(*this);
    connect(server.get(), &QAbstractHttpServer::newWebSocketConnection, this, &WebClassroom::acceptWebSockets);
    auto *tcp = new GuardedTcpServer(m_limits.maxConnectionBytes, server.get());
    if (!tcp->listen(address, port)) {
        qWarning("web server: listen failed: %s", qPrintable(tcp->errorString()));
        return false;
    }
    const quint16 bound = tcp->serverPort();
    server->bind(tcp);
    m_server = std::move(server);
    m_port = bound;
    m_timer.start();
    return true;
}

bool WebClassroom::listening() const
{
    return m_server != nullptr;
}

void WebClassroom::stop()
{
    m_timer.stop();
    for (const auto &session : std::as_const(m_sessions)) {
        session->pupil->cancel();
        if (session->socket) {
            send(session->socket, message("ende"));
            session->socket->close();
        }
    }
    const auto sockets = m_tokenOfSocket.keys();
    for (QWebSocket *socket : sockets)
        socket->deleteLater();
    m_tokenOfSocket.clear();
    m_due.clear();
    m_sessions.clear();
    m_tokenOfCard.clear();
    m_attempts.clear();
    m_server.reset();
    m_port = 0;
    Q_EMIT sessionsChanged();
}

WebPupil *WebClassroom::session(const QString &token) const
{
    const auto it = m_sessions.constFind(token);
    return it == m_sessions.constEnd() ? nullptr : (*it)->pupil.get();
}

QList<WebPupil *> WebClassroom::sessions() const
{
    QList<WebPupil *> list;
    for (const auto &s : m_sessions)
        list.append(s->pupil.get());
    return list;
}

void WebClassroom::journal(const QJsonObject &record, bool sync)
{
    if (m_journal)
        m_journal(record, sync);
}

void WebClassroom::discard()
{
    ++m_discarded;
    if (m_discardSink)
        m_discardSink();
}

std::unique_ptr<WebPupil> WebClassroom::makePupil(const WebPupil::Identity &identity)
{
    return std::make_unique<WebPupil>(m_document, m_options, identity, m_clock,
                                      [this](const QString &computer, const QString &user, const QString &text) {
                                          if (m_reports)
                                              m_reports(computer, user, text);
                                      });
}

// --- HTTP ---

void WebClassroom::handleHttp(const QHttpServerRequest &request, QHttpServerResponder &responder)
{
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
    auto reply = [&](const QByteArray &body, const QByteArray &type, QHttpServerResponder::StatusCode status) {
        responder.write(body,
                        {{"Content-Type", type},
                         {"Content-Security-Policy", "default-src 'self'"},
                         {"X-Content-Type-Options", "nosniff"},
                         {"Referrer-Policy", "no-referrer"},
                         {"Cache-Control", "no-store"}},
                        status);
    };
    const auto notFound = [&] {
        reply(QByteArrayLiteral("Nicht gefunden"), "text/plain; charset=utf-8",
              QHttpServerResponder::StatusCode::NotFound);
    };
    if (request.url().toEncoded().size() > m_limits.maxUrlBytes) {
        reply(QByteArrayLiteral("Adresse zu lang"), "text/plain; charset=utf-8",
              QHttpServerResponder::StatusCode::UriTooLong);
        return;
    }
    if (request.body().size() > m_limits.maxBodyBytes) {
        reply(QByteArrayLiteral("Anfrage zu groß"), "text/plain; charset=utf-8",
              QHttpServerResponder::StatusCode::PayloadTooLarge);
        return;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        reply(QByteArrayLiteral("Nicht erlaubt"), "text/plain; charset=utf-8",
              QHttpServerResponder::StatusCode::MethodNotAllowed);
        return;
    }
    for (const StaticFile &f : kStaticFiles) {
        if (path != f.path)
            continue;
        QFile file(QLatin1String(f.resource));
        if (!file.open(QIODevice::ReadOnly))
            return notFound();
        reply(file.readAll(), f.type, QHttpServerResponder::StatusCode::Ok);
        return;
    }
    // "/api/karte/" + card key + "/" + version: one session's whole card or a patch of it,
    // as long as the session's state names it.
    static const QRegularExpression cardPath(QStringLiteral("^/api/karte/([A-Za-z0-9]{16})/([0-9]{1,9})$"));
    const QRegularExpressionMatch match = cardPath.match(QString::fromLatin1(path));
    if (match.hasMatch()) {
        const QString token = m_tokenOfCard.value(match.captured(1));
        const auto it = m_sessions.constFind(token);
        const QByteArray *part = !token.isEmpty() && it != m_sessions.constEnd()
            ? (*it)->pupil->cardPart(match.captured(2).toInt())
            : nullptr;
        if (part) {
            reply(*part, "image/jpeg", QHttpServerResponder::StatusCode::Ok);
            return;
        }
    }
    notFound();
}

// --- WebSocket ---

QString WebClassroom::addressOf(QWebSocket *socket) const
{
    const QHostAddress peer = socket->peerAddress();
    bool ok = false;
    const quint32 v4 = peer.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : peer.toString();
}

// A browser names the page that opens a WebSocket. Only our own page may: another site
// the pupil has open must not play or join in the pupil's name. Programs that name no
// page (the tests' clients) are let in; the code and the token still hold for them.
bool WebClassroom::sameOrigin(const QWebSocket *socket)
{
    const QString origin = socket->origin();
    if (origin.isEmpty())
        return true;
    const QUrl page(origin);
    const QUrl request = socket->requestUrl();
    return page.scheme() == QLatin1String("http") && !page.host().isEmpty()
        && page.host().compare(request.host(), Qt::CaseInsensitive) == 0 && page.port(80) == request.port(80);
}

void WebClassroom::acceptWebSockets()
{
    while (m_server && m_server->hasPendingWebSocketConnections()) {
        QWebSocket *socket = m_server->nextPendingWebSocketConnection().release();
        if (!socket)
            continue;
        socket->setParent(this);
        if (socket->requestUrl().path() != QLatin1String(kWebSocketPath) || !sameOrigin(socket)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(quint64(m_limits.maxMessageBytes));
        socket->setMaxAllowedIncomingFrameSize(quint64(m_limits.maxMessageBytes));
        m_tokenOfSocket.insert(socket, QString());
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { handleMessage(socket, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this] { discard(); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            m_tokenOfSocket.remove(socket);
            socket->deleteLater();
        });
    }
}

void WebClassroom::send(QWebSocket *socket, const QJsonObject &m)
{
    if (socket && socket->isValid())
        socket->sendTextMessage(QString::fromUtf8(QJsonDocument(m).toJson(QJsonDocument::Compact)));
}

void WebClassroom::sendState(Session &session)
{
    // Drawn one at a time, each on its own turn of the event loop: the verdicts of the
    // answers that arrive meanwhile are not held up by the cards of others.
    const QString &token = session.pupil->identity().token;
    if (!m_due.contains(token))
        m_due.append(token);
    if (!m_drawScheduled) {
        m_drawScheduled = true;
        QTimer::singleShot(0, this, &WebClassroom::drawNext);
    }
}

void WebClassroom::drawNext()
{
    m_drawScheduled = false;
    if (m_due.isEmpty())
        return;
    const auto it = m_sessions.constFind(m_due.takeFirst());
    if (it != m_sessions.constEnd()) {
        Session &session = **it;
        session.pupil->renderCard();
        send(session.socket, session.pupil->state());
    }
    if (!m_due.isEmpty()) {
        m_drawScheduled = true;
        QTimer::singleShot(0, this, &WebClassroom::drawNext);
    }
}

WebClassroom::Session *WebClassroom::sessionOf(QWebSocket *socket)
{
    const QString token = m_tokenOfSocket.value(socket);
    if (token.isEmpty())
        return nullptr;
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end() || (*it)->socket != socket)
        return nullptr;
    return it->get();
}

void WebClassroom::handleMessage(QWebSocket *socket, const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return discard();
    const QJsonObject m = doc.object();
    const QString kind = m.value(QStringLiteral("art")).toString();
    if (kind == QLatin1String("name")) {
        QString name;
        if (!hasExactKeys(m, {"art", "name"}) || !readText(m, "name", kMaxNameChars, name))
            return discard();
        QJsonObject reply = message("namenshinweis");
        reply[QStringLiteral("text")] = nameNote(name);
        send(socket, reply);
    } else if (kind == QLatin1String("anmelden")) {
        join(socket, m);
    } else if (kind == QLatin1String("wieder")) {
        rejoin(socket, m);
    } else if (kind == QLatin1String("ablegen") || kind == QLatin1String("antwort") || kind == QLatin1String("nummer")) {
        Session *session = sessionOf(socket);
        if (!session)
            return discard();
        answer(*session, m);
    } else if (kind == QLatin1String("groesse")) {
        Session *session = sessionOf(socket);
        qint64 w = 0, h = 0;
        if (!session || !hasExactKeys(m, {"art", "breite", "hoehe"}) || !readInt(m, "breite", 1, 10000, w)
            || !readInt(m, "hoehe", 1, 10000, h))
            return discard();
        session->pupil->setViewSize(QSize(int(w), int(h)));
        sendState(*session);
    } else {
        discard();
    }
}

void WebClassroom::join(QWebSocket *socket, const QJsonObject &m)
{
    QString code, name;
    qint64 w = 0, h = 0;
    if (!hasExactKeys(m, {"art", "code", "name", "breite", "hoehe"}) || !readText(m, "code", 16, code)
        || !readText(m, "name", kMaxNameChars, name) || !readInt(m, "breite", 1, 10000, w)
        || !readInt(m, "hoehe", 1, 10000, h))
        return discard();
    const QString address = addressOf(socket);
    const quint32 now = m_clock.tickCount();
    CodeAttempts &attempts = m_attempts[address];
    auto refuse = [&](const char *kind, const QString &text) {
        QJsonObject reply = message(kind);
        reply[QStringLiteral("text")] = text;
        send(socket, reply);
    };
    if (attempts.blocked && qint32(attempts.blockedUntil - now) > 0) {
        const int seconds = (qint32(attempts.blockedUntil - now) + 999) / 1000;
        return refuse("fehler", QStringLiteral("Zu viele falsche Codes. Bitte noch %1 Sekunden warten.").arg(seconds));
    }
    attempts.blocked = false;
    if (code != m_code) {
        attempts.wrong.removeIf([&](quint32 at) { return quint32(now - at) >= quint32(m_limits.wrongCodeWindowMs); });
        attempts.wrong.append(now);
        if (attempts.wrong.size() >= m_limits.maxWrongCodes) {
            attempts.wrong.clear();
            attempts.blocked = true;
            attempts.blockedUntil = now + quint32(m_limits.codeWaitMs);
        }
        return refuse("fehler", kWrongCodeText);
    }
    if (m_sessions.size() >= m_limits.maxSessions)
        return refuse("voll", QStringLiteral("Diese Übung ist voll: Es können höchstens %1 Teilnehmer im Browser "
                                             "mitmachen. Bitte wende dich an deine Lehrkraft.")
                                  .arg(m_limits.maxSessions));

    WebPupil::Identity id;
    do
        id.token = randomWebText(32);
    while (m_sessions.contains(id.token));
    do
        id.cardKey = randomWebText(16);
    while (m_tokenOfCard.contains(id.cardKey));
    id.key = newParticipantKey();
    id.name = name;
    id.address = address;
    id.seed = QRandomGenerator::system()->generate64();
    id.joinedAt = m_clock.now();

    auto session = std::make_shared<Session>();
    session->pupil = makePupil(id);
    QJsonObject record = identityJson(id);
    record[QStringLiteral("t")] = QStringLiteral("beitritt");
    journal(record, true);
    session->pupil->setViewSize(QSize(int(w), int(h)));
    if (!session->pupil->start())
        return refuse("fehler", QStringLiteral("Diese Übung enthält keine Fragen."));
    session->socket = socket;
    // A browser that joins a second time leaves its first session behind.
    const QString previous = m_tokenOfSocket.value(socket);
    if (!previous.isEmpty() && m_sessions.contains(previous))
        m_sessions[previous]->socket = nullptr;
    m_tokenOfSocket[socket] = id.token;
    m_tokenOfCard.insert(id.cardKey, id.token);
    m_sessions.insert(id.token, session);
    QJsonObject reply = message("angemeldet");
    reply[QStringLiteral("token")] = id.token;
    send(socket, reply);
    sendState(*session);
    Q_EMIT sessionsChanged();
}

void WebClassroom::rejoin(QWebSocket *socket, const QJsonObject &m)
{
    QString token;
    qint64 w = 0, h = 0;
    if (!hasExactKeys(m, {"art", "token", "breite", "hoehe"}) || !readText(m, "token", 64, token)
        || !readInt(m, "breite", 1, 10000, w) || !readInt(m, "hoehe", 1, 10000, h))
        return discard();
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end()) {
        send(socket, message("unbekannt"));
        return;
    }
    Session &session = **it;
    // The newest connection of a session is the one it talks to: a reloaded page replaces
    // the one that lost its network.
    if (session.socket && session.socket != socket) {
        m_tokenOfSocket.remove(session.socket);
        session.socket->close();
    }
    session.socket = socket;
    m_tokenOfSocket[socket] = token;
    session.pupil->setViewSize(QSize(int(w), int(h)));
    QJsonObject reply = message("angemeldet");
    reply[QStringLiteral("token")] = token;
    send(socket, reply);
    sendState(session);
}

void WebClassroom::answer(Session &session, const QJsonObject &m)
{
    const QString kind = m.value(QStringLiteral("art")).toString();
    qint64 seq = 0;
    QString tile, number;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool ok = false;
    if (kind == QLatin1String("ablegen"))
        ok = hasExactKeys(m, {"art", "seq", "kachel", "x0", "y0", "x1", "y1"}) && readFraction(m, "x0", x0)
            && readFraction(m, "y0", y0) && readFraction(m, "x1", x1) && readFraction(m, "y1", y1) && x0 < x1
            && y0 < y1;
    else if (kind == QLatin1String("antwort"))
        ok = hasExactKeys(m, {"art", "seq", "kachel"});
    else
        ok = hasExactKeys(m, {"art", "seq", "kachel", "nummer"}) && readText(m, "nummer", 4, number);
    ok = ok && readInt(m, "seq", 1, 0x7fffffff, seq) && readText(m, "kachel", 32, tile) && isTileId(tile);
    if (!ok)
        return discard();

    QJsonObject reply = message("urteil");
    reply[QStringLiteral("seq")] = seq;
    const auto known = session.verdicts.constFind(seq);
    if (known != session.verdicts.constEnd()) {
        // Sent again after a lost connection or a double tap: the first answer counts.
        reply[QStringLiteral("urteil")] = *known;
        reply[QStringLiteral("wiederholt")] = true;
        send(session.socket, reply);
        sendState(session);
        return;
    }
    WebPupil &pupil = *session.pupil;
    WebVerdict verdict;
    if (kind == QLatin1String("ablegen"))
        verdict = pupil.drop(tile, RectD{x0, y0, x1, y1});
    else if (kind == QLatin1String("antwort"))
        verdict = pupil.tap(tile);
    else
        verdict = pupil.dropOnNumber(tile, number);
    const QString name = webVerdictName(verdict);
    session.verdicts.insert(seq, name);
    QJsonObject record;
    record[QStringLiteral("t")] = QStringLiteral("antwort");
    record[QStringLiteral("token")] = pupil.identity().token;
    record[QStringLiteral("seq")] = seq;
    record[QStringLiteral("urteil")] = name;
    if (verdict == WebVerdict::Correct || verdict == WebVerdict::Wrong) {
        record[QStringLiteral("paar")] = pupil.lastPair();
        record[QStringLiteral("ziel")] = pupil.lastHit();
        record[QStringLiteral("ms")] = qint64(pupil.elapsedMs());
    }
    journal(record, pupil.finished());
    reply[QStringLiteral("urteil")] = name;
    send(session.socket, reply);
    // The verdict leaves before the card is drawn.
    if (session.socket)
        session.socket->flush();
    sendState(session);
}

void WebClassroom::tickSessions()
{
    for (const auto &session : std::as_const(m_sessions)) {
        WebPupil &pupil = *session->pupil;
        const bool wasRunning = pupil.running();
        if (!pupil.tick())
            continue;
        if (wasRunning && !pupil.running()) {
            sendState(*session); // the time limit ended the quiz
            continue;
        }
        QJsonObject m = message("uhr");
        m[QStringLiteral("text")] = pupil.state().value(QStringLiteral("uhr"));
        send(session->socket, m);
    }
}

bool WebClassroom::restore(const QList<QJsonObject> &records)
{
    bool allFitted = true;
    for (const QJsonObject &r : records) {
        const QString kind = r.value(QStringLiteral("t")).toString();
        if (kind == QLatin1String("beitritt")) {
            WebPupil::Identity id;
            if (!identityFrom(r, id) || m_sessions.contains(id.token)) {
                allFitted = false;
                continue;
            }
            auto session = std::make_shared<Session>();
            session->pupil = makePupil(id);
            session->pupil->setReplaying(true);
            session->pupil->fixClock(0);
            if (!session->pupil->start()) {
                allFitted = false;
                continue;
            }
            session->pupil->fixClock(0);
            m_tokenOfCard.insert(id.cardKey, id.token);
            m_sessions.insert(id.token, session);
        } else if (kind == QLatin1String("antwort")) {
            const auto it = m_sessions.find(r.value(QStringLiteral("token")).toString());
            if (it == m_sessions.end()) {
                allFitted = false;
                continue;
            }
            Session &session = **it;
            const qint64 seq = qint64(r.value(QStringLiteral("seq")).toDouble());
            const QString verdict = r.value(QStringLiteral("urteil")).toString();
            if (r.contains(QStringLiteral("paar"))) {
                session.pupil->fixClock(quint32(r.value(QStringLiteral("ms")).toDouble()));
                const WebVerdict again = session.pupil->evaluate(r.value(QStringLiteral("paar")).toInt(),
                                                                 r.value(QStringLiteral("ziel")).toInt());
                if (webVerdictName(again) != verdict)
                    allFitted = false;
            }
            session.verdicts.insert(seq, verdict);
        }
    }
    // The pupils' clocks went on while the teacher's computer was down.
    const double now = m_clock.now();
    for (const auto &session : std::as_const(m_sessions)) {
        WebPupil &pupil = *session->pupil;
        const double elapsed = qMax(0.0, (now - pupil.identity().joinedAt) * 86400000.0);
        pupil.releaseClock(quint32(nearest(qMin(elapsed, 2e9))));
        pupil.setReplaying(false);
    }
    Q_EMIT sessionsChanged();
    return allFitted;
}

} // namespace kapitolo
