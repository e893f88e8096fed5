#include "web/web_classroom.h"

#include "web/web_messages.h"

#include "network/network_reports.h"
#include "platform/cp1252.h"
#include "platform/nearest.h"
#include "quiz/quiz_types.h"
#include "results/best_list.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QHostInfo>
#include <QJsonDocument>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
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

// The latest verdicts a session keeps for answers sent again: the page has one in flight.
constexpr int kKeptVerdicts = 16;

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

QString cleanPupilName(const QString &typed)
{
    QString name;
    name.reserve(typed.size());
    bool blank = false;
    bool letterOrDigit = false;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        char32_t c = typed.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < typed.size() && typed.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(typed.at(i), typed.at(i + 1));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            continue; // half a character is none
        }
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
        case QChar::Other_NotAssigned:
        case QChar::Other_PrivateUse:
            continue;
        case QChar::Separator_Space:
            blank = !name.isEmpty();
            continue;
        default:
            break;
        }
        if (blank)
            name.append(QLatin1Char(' '));
        blank = false;
        name.append(QString::fromUcs4(&c, 1));
        letterOrDigit = letterOrDigit || QChar::isLetterOrNumber(c);
    }
    return letterOrDigit ? name : QString();
}

QString pupilNameKey(const QString &name)
{
    return storedAsCp1252(bestListName(name)).toCaseFolded();
}

bool originAllowed(const QString &origin, const QStringList &ownHosts, quint16 port)
{
    const QUrl page(origin, QUrl::StrictMode);
    if (!page.isValid() || page.scheme() != QLatin1String("http") || page.host().isEmpty() || page.port(80) != port)
        return false;
    for (const QString &host : ownHosts)
        if (page.host().compare(host, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QStringList ownHostNames()
{
    QStringList hosts{QStringLiteral("localhost"), QStringLiteral("127.0.0.1")};
    const QString name = QHostInfo::localHostName();
    if (!name.isEmpty()) {
        hosts << name << name + QStringLiteral(".local");
        const QString domain = QHostInfo::localDomainName();
        if (!domain.isEmpty())
            hosts << name + QLatin1Char('.') + domain;
    }
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            hosts << a.toString();
    hosts.removeDuplicates();
    return hosts;
}

bool WebClassroom::Allowance::take(quint32 now, int burst, int refillMs)
{
    if (tokens < 0) {
        tokens = burst;
        last = now;
    }
    if (refillMs > 0) {
        const quint32 earned = (now - last) / quint32(refillMs);
        if (earned > 0) {
            tokens = int(qMin<quint32>(quint32(burst), quint32(tokens) + earned));
            last += earned * quint32(refillMs);
        }
    }
    if (tokens == burst)
        last = now;
    if (tokens <= 0)
        return false;
    --tokens;
    return true;
}

WebClassroom::WebClassroom(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
    initWebPage();
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &WebClassroom::tick);
    // One core for drawing, the other stays with the teacher's program.
    m_painters.setMaxThreadCount(1);
}

WebClassroom::~WebClassroom()
{
    // Going down with the program: nobody is told any more.
    blockSignals(true);
    m_reports = nullptr;
    m_journal = nullptr;
    m_discardSink = nullptr;
    stop();
    m_painters.waitForDone();
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
    return nameEntryHint(cleanPupilName(name));
}

bool WebClassroom::listen(quint16 port, const QHostAddress &address)
{
    m_server.reset();
    m_tcp = nullptr;
    auto server = std::make_unique<WebHttpServer>(*this);
    connect(server.get(), &QAbstractHttpServer::newWebSocketConnection, this, &WebClassroom::acceptWebSockets);
    ConnectionLimits limits = m_limits.connections;
    limits.maxConnections = qMin(limits.maxConnections, connectionBudget(m_limits.descriptorReserve));
    auto *tcp = new GuardedTcpServer(limits, m_clock, server.get());
    if (!tcp->listen(address, port)) {
        qWarning("web server: listen failed: %s", qPrintable(tcp->errorString()));
        return false;
    }
    const quint16 bound = tcp->serverPort();
    // A connection that sends nothing stays with the system until its first bytes come:
    // the event loop does not watch the idle ones a script may open by the hundred.
    const int deferSeconds = qMax(1, limits.headerMs / 1000);
    ::setsockopt(int(tcp->socketDescriptor()), IPPROTO_TCP, TCP_DEFER_ACCEPT, &deferSeconds, sizeof deferSeconds);
    server->bind(tcp);
    tcp->openDoor();
    m_server = std::move(server);
    m_tcp = tcp;
    m_port = bound;
    if (m_ownHosts.isEmpty())
        m_ownHosts = ownHostNames();
    m_timer.start();
    return true;
}

bool WebClassroom::listening() const
{
    return m_server != nullptr;
}

int WebClassroom::connectionCount() const
{
    return m_tcp ? m_tcp->openCount() : 0;
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
    const auto sockets = m_connections.keys();
    for (QWebSocket *socket : sockets)
        socket->deleteLater();
    m_connections.clear();
    m_sessions.clear();
    m_tokenOfCard.clear();
    m_ended.clear();
    m_attempts.clear();
    m_deviceMessages.clear();
    m_wrongCodes.clear();
    m_joiningOpen = true;
    m_server.reset();
    m_tcp = nullptr;
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
bool WebClassroom::allowedOrigin(const QWebSocket *socket) const
{
    const QString origin = socket->origin();
    return origin.isEmpty() || originAllowed(origin, m_ownHosts, m_port);
}

void WebClassroom::acceptWebSockets()
{
    while (m_server && m_server->hasPendingWebSocketConnections()) {
        QWebSocket *socket = m_server->nextPendingWebSocketConnection().release();
        if (!socket)
            continue;
        socket->setParent(this);
        if (socket->requestUrl().path() != QLatin1String(kWebSocketPath) || !allowedOrigin(socket)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(quint64(m_limits.maxMessageBytes));
        socket->setMaxAllowedIncomingFrameSize(quint64(m_limits.maxMessageBytes));
        Connection connection;
        connection.address = addressOf(socket);
        connection.lastHeard = connection.lastPing = m_clock.tickCount();
        m_connections.insert(socket, connection);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { handleMessage(socket, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket] {
            if (const auto it = m_connections.find(socket); it != m_connections.end())
                it->lastHeard = m_clock.tickCount();
            discard();
        });
        connect(socket, &QWebSocket::pong, this, [this, socket] {
            if (const auto it = m_connections.find(socket); it != m_connections.end())
                it->lastHeard = m_clock.tickCount();
        });
        // A socket may report its end from inside close() or a send, while a message of
        // another connection is being handled and holds on to the table: it leaves the
        // table from the event loop.
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            QMetaObject::invokeMethod(
                this,
                [this, socket] {
                    m_connections.remove(socket);
                    socket->deleteLater();
                },
                Qt::QueuedConnection);
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
    // One drawing of a session at a time; what changes meanwhile goes into the next.
    if (session.drawing) {
        session.drawAgain = true;
        return;
    }
    std::optional<WebPupil::CardJob> job = session.pupil->cardJob();
    if (!job) {
        send(session.socket, session.pupil->state());
        return;
    }
    session.drawing = true;
    QPointer<WebClassroom> self(this);
    const QString token = session.pupil->identity().token;
    m_painters.start([self, token, job = std::move(*job)]() mutable {
        WebPupil::CardDrawn drawn = WebPupil::drawCard(job);
        // Back on the teacher's thread, unless the classroom has gone meanwhile.
        if (self)
            QMetaObject::invokeMethod(
                self.data(),
                [self, token, job = std::move(job), drawn = std::move(drawn)]() mutable {
                    if (self)
                        self->cardDrawn(token, job, std::move(drawn));
                },
                Qt::QueuedConnection);
    });
}

void WebClassroom::cardDrawn(const QString &token, const WebPupil::CardJob &job, WebPupil::CardDrawn drawn)
{
    const auto it = m_sessions.constFind(token);
    if (it == m_sessions.constEnd())
        return;
    Session &session = **it;
    session.drawing = false;
    session.pupil->installCard(job, std::move(drawn));
    if (std::exchange(session.drawAgain, false)) {
        sendState(session);
        return;
    }
    send(session.socket, session.pupil->state());
}

WebClassroom::Session *WebClassroom::sessionOf(QWebSocket *socket)
{
    const QString token = m_connections.value(socket).token;
    if (token.isEmpty())
        return nullptr;
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end() || (*it)->socket != socket)
        return nullptr;
    return it->get();
}

void WebClassroom::handleMessage(QWebSocket *socket, const QString &text)
{
    const auto connection = m_connections.find(socket);
    if (connection == m_connections.end())
        return;
    const quint32 now = m_clock.tickCount();
    connection->lastHeard = now;
    // One allowance per device: a script that reconnects does not start afresh. Computers
    // that share an address (no limit per device) count per connection.
    Allowance &allowance = m_limits.sessionsPerDevice > 0 ? m_deviceMessages[connection->address] : connection->messages;
    if (!allowance.take(now, m_limits.messageBurst, m_limits.messageRefillMs)) {
        // A flood: dropped unread; a connection that keeps on is let go.
        discard();
        if (++connection->dropped > m_limits.maxDroppedMessages)
            socket->abort();
        return;
    }
    const WebMessage m = parseWebMessage(text);
    switch (m.kind) {
    case WebMessage::Kind::Invalid:
        return discard();
    case WebMessage::Kind::Name: {
        QJsonObject reply = message("namenshinweis");
        reply[QStringLiteral("text")] = nameNote(m.name);
        send(socket, reply);
        return;
    }
    case WebMessage::Kind::Join:
        return join(socket, m);
    case WebMessage::Kind::Rejoin:
        return rejoin(socket, m);
    case WebMessage::Kind::Drop:
    case WebMessage::Kind::Tap:
    case WebMessage::Kind::Number:
    case WebMessage::Kind::Resize: {
        Session *session = sessionOf(socket);
        if (!session)
            return discard();
        if (m.kind == WebMessage::Kind::Resize)
            resize(*session, m.size);
        else
            answer(*session, m);
        return;
    }
    }
}

void WebClassroom::resize(Session &session, QSize size)
{
    // The latest size wins; at most one new card per interval.
    session.pendingSize = size;
    const quint32 now = m_clock.tickCount();
    if (session.resized && now - session.lastResize < quint32(m_limits.resizeIntervalMs))
        return;
    session.resized = true;
    session.lastResize = now;
    session.pupil->setViewSize(*std::exchange(session.pendingSize, std::nullopt));
    sendState(session);
}

bool WebClassroom::wrongCode(const QString &address, quint32 now)
{
    const quint32 window = quint32(m_limits.wrongCodeWindowMs);
    // Many addresses leave many entries: those that neither wait nor count any more go.
    if (m_attempts.size() > 4096)
        m_attempts.removeIf([&](const auto &entry) {
            const CodeAttempts &a = entry.value();
            return !(a.blocked && qint32(a.blockedUntil - now) > 0)
                && std::all_of(a.wrong.cbegin(), a.wrong.cend(), [&](quint32 at) { return now - at >= window; });
        });
    CodeAttempts &attempts = m_attempts[address];
    attempts.wrong.removeIf([&](quint32 at) { return now - at >= window; });
    attempts.wrong.append(now);
    if (attempts.wrong.size() >= m_limits.maxWrongCodes) {
        attempts.wrong.clear();
        attempts.blocked = true;
        attempts.blockedUntil = now + quint32(m_limits.codeWaitMs);
    }
    // Many addresses together guess as fast as they like: the code itself changes.
    m_wrongCodes.removeIf([&](quint32 at) { return now - at >= window; });
    m_wrongCodes.append(now);
    if (m_wrongCodes.size() < m_limits.maxWrongCodesAll)
        return false;
    m_wrongCodes.clear();
    QString fresh;
    do
        fresh = randomCode();
    while (fresh == m_code);
    m_code = fresh;
    QJsonObject record;
    record[QStringLiteral("t")] = QStringLiteral("code");
    record[QStringLiteral("code")] = m_code;
    journal(record, true);
    Q_EMIT note(QStringLiteral("Nach %1 falschen Codes innerhalb einer Minute gilt ein neuer Code: %2. Wer schon "
                               "angemeldet ist, spielt weiter.")
                    .arg(m_limits.maxWrongCodesAll)
                    .arg(m_code));
    Q_EMIT sessionsChanged();
    return true;
}

void WebClassroom::join(QWebSocket *socket, const WebMessage &m)
{
    const auto connection = m_connections.find(socket);
    // One connection, one pupil: a joined page that joins again is up to something.
    if (connection == m_connections.end() || !connection->token.isEmpty())
        return discard();
    const QString address = connection->address;
    const quint32 now = m_clock.tickCount();
    auto refuse = [&](const char *kind, const QString &text) {
        QJsonObject reply = message(kind);
        reply[QStringLiteral("text")] = text;
        send(socket, reply);
    };
    if (!m_joiningOpen)
        return refuse("fehler", QStringLiteral("Die Anmeldung ist geschlossen."));
    CodeAttempts &attempts = m_attempts[address];
    if (attempts.blocked && qint32(attempts.blockedUntil - now) > 0) {
        const int seconds = (qint32(attempts.blockedUntil - now) + 999) / 1000;
        return refuse("fehler", QStringLiteral("Zu viele falsche Codes. Bitte noch %1 Sekunden warten.").arg(seconds));
    }
    attempts.blocked = false;
    if (m.code != m_code) {
        wrongCode(address, now);
        return refuse("fehler", kWrongCodeText);
    }
    const QString name = cleanPupilName(m.name);
    if (name.isEmpty())
        return refuse("fehler",
                      QStringLiteral("Bitte gib einen Namen mit mindestens einem Buchstaben oder einer Ziffer ein."));
    int onDevice = 0;
    bool nameTaken = false;
    const QString key = pupilNameKey(name);
    for (const auto &s : std::as_const(m_sessions)) {
        if (!s->pupil->running())
            continue;
        if (s->pupil->identity().address == address)
            ++onDevice;
        if (pupilNameKey(s->pupil->identity().name) == key)
            nameTaken = true;
    }
    if (m_limits.sessionsPerDevice > 0 && onDevice >= m_limits.sessionsPerDevice)
        return refuse("fehler", QStringLiteral("Auf diesem Gerät läuft schon ein Quiz dieser Übung. Bitte im ersten "
                                               "Browser-Fenster weiterspielen. Wurde es geschlossen, kann die Lehrkraft "
                                               "die alte Anmeldung entfernen."));
    if (nameTaken)
        return refuse("fehler", QStringLiteral("Dieser Name ist schon angemeldet."));
    if (m_sessions.size() >= m_limits.maxSessions)
        return refuse("voll", QStringLiteral("Diese Übung ist voll: Es können höchstens %1 Teilnehmer im Browser "
                                             "mitmachen. Bitte wende dich an deine Lehrkraft.")
                                  .arg(m_limits.maxSessions));

    WebPupil::Identity id;
    do
        id.token = randomWebText(32);
    while (m_sessions.contains(id.token) || m_ended.contains(id.token));
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
    session->pupil->setViewSize(m.size);
    if (!session->pupil->start())
        return refuse("fehler", QStringLiteral("Diese Übung enthält keine Fragen."));
    session->socket = socket;
    connection->token = id.token;
    m_tokenOfCard.insert(id.cardKey, id.token);
    m_sessions.insert(id.token, session);
    QJsonObject reply = message("angemeldet");
    reply[QStringLiteral("token")] = id.token;
    send(socket, reply);
    sendState(*session);
    Q_EMIT sessionsChanged();
}

void WebClassroom::rejoin(QWebSocket *socket, const WebMessage &m)
{
    const QString &token = m.token;
    const auto connection = m_connections.find(socket);
    if (connection == m_connections.end())
        return;
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end()) {
        const auto ended = m_ended.constFind(token);
        if (ended == m_ended.constEnd()) {
            send(socket, message("unbekannt"));
        } else {
            QJsonObject reply = message("beendet");
            reply[QStringLiteral("text")] = *ended;
            send(socket, reply);
        }
        return;
    }
    const std::shared_ptr<Session> kept = *it;
    Session &session = *kept;
    // A page that played another session on this connection leaves it behind.
    if (!connection->token.isEmpty() && connection->token != token)
        if (const auto other = m_sessions.find(connection->token); other != m_sessions.end() && (*other)->socket == socket)
            (*other)->socket = nullptr;
    connection->token = token;
    // The newest connection of a session is the one it talks to: a reloaded page replaces
    // the one that lost its network (closed last: nothing of the tables is held then).
    QPointer<QWebSocket> replaced;
    if (session.socket && session.socket != socket) {
        replaced = session.socket;
        if (const auto old = m_connections.find(replaced.data()); old != m_connections.end())
            old->token.clear();
    }
    session.socket = socket;
    if (replaced)
        replaced->close();
    QJsonObject reply = message("angemeldet");
    reply[QStringLiteral("token")] = token;
    send(socket, reply);
    // The size of the page that comes back, within the pace of sizes like any other.
    resize(session, m.size);
    if (!session.pendingSize)
        return; // sent with the new size
    sendState(session);
}

void WebClassroom::answer(Session &session, const WebMessage &m)
{
    const qint64 seq = m.seq;
    QJsonObject reply = message("urteil");
    reply[QStringLiteral("seq")] = seq;
    for (const auto &[known, verdict] : std::as_const(session.verdicts)) {
        if (known != seq)
            continue;
        // Sent again after a lost connection or a double tap: the first answer counts.
        reply[QStringLiteral("urteil")] = verdict;
        reply[QStringLiteral("wiederholt")] = true;
        send(session.socket, reply);
        sendState(session);
        return;
    }
    // Beyond a pupil's pace: not judged, not journaled, not answered.
    if (!session.answers.take(m_clock.tickCount(), m_limits.answerBurst, m_limits.answerRefillMs))
        return discard();
    WebPupil &pupil = *session.pupil;
    WebVerdict verdict;
    if (m.kind == WebMessage::Kind::Drop)
        verdict = pupil.drop(m.tile, m.rect);
    else if (m.kind == WebMessage::Kind::Tap)
        verdict = pupil.tap(m.tile);
    else
        verdict = pupil.dropOnNumber(m.tile, m.number);
    const QString name = webVerdictName(verdict);
    session.verdicts.append({seq, name});
    if (session.verdicts.size() > kKeptVerdicts)
        session.verdicts.removeFirst();
    const QString token = pupil.identity().token;
    // Only what changed the quiz goes into the journal: a drop beside every place or a tile
    // of a quiz that has ended tells a restart nothing.
    if (verdict == WebVerdict::Correct || verdict == WebVerdict::Wrong) {
        QJsonObject record;
        record[QStringLiteral("t")] = QStringLiteral("antwort");
        record[QStringLiteral("token")] = token;
        record[QStringLiteral("seq")] = seq;
        record[QStringLiteral("urteil")] = name;
        record[QStringLiteral("paar")] = pupil.lastPair();
        record[QStringLiteral("ziel")] = pupil.lastHit();
        record[QStringLiteral("ms")] = qint64(pupil.elapsedMs());
        journal(record, pupil.finished());
        ++session.journaledAnswers;
    }
    reply[QStringLiteral("urteil")] = name;
    send(session.socket, reply);
    // The verdict leaves before the card is drawn.
    if (session.socket)
        session.socket->flush();
    if (session.journaledAnswers > m_limits.maxJournaledAnswers) {
        const QString pupilName = pupil.identity().name;
        endSession(token, "beendet",
                   QStringLiteral("Diese Sitzung wurde beendet, weil sie ungewöhnlich viele Antworten geschickt hat. "
                                  "Bitte wende dich an deine Lehrkraft."));
        Q_EMIT note(QStringLiteral("Die Browser-Sitzung von \"%1\" wurde beendet: mehr als %2 Antworten.")
                        .arg(pupilName)
                        .arg(m_limits.maxJournaledAnswers));
        return;
    }
    sendState(session);
}

// A session that ends before its quiz: the quiz is left without a report of its own (the
// teacher's side decides about the row), the page is told why, the journal keeps it.
void WebClassroom::endSession(const QString &token, const char *kind, const QString &text)
{
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end())
        return;
    const std::shared_ptr<Session> session = *it;
    WebPupil &pupil = *session->pupil;
    const bool removed = qstrcmp(kind, "entfernt") == 0;
    if (removed)
        pupil.setReplaying(true); // the row goes: nothing more to report
    pupil.cancel();
    pupil.setReplaying(false);
    QJsonObject record;
    record[QStringLiteral("t")] = QLatin1String(kind);
    record[QStringLiteral("token")] = token;
    journal(record, true);
    if (session->socket) {
        QJsonObject m = message(kind);
        m[QStringLiteral("text")] = text;
        send(session->socket, m);
        if (const auto c = m_connections.find(session->socket); c != m_connections.end())
            c->token.clear();
        session->socket->close();
    }
    m_tokenOfCard.remove(pupil.identity().cardKey);
    m_ended.insert(token, text);
    m_sessions.erase(it);
    Q_EMIT sessionsChanged();
}

bool WebClassroom::removeParticipant(const QString &participantKey)
{
    for (auto it = m_sessions.cbegin(); it != m_sessions.cend(); ++it)
        if ((*it)->pupil->identity().key == participantKey) {
            endSession(it.key(), "entfernt", QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt."));
            return true;
        }
    return false;
}

void WebClassroom::setJoiningOpen(bool open)
{
    if (m_joiningOpen == open)
        return;
    m_joiningOpen = open;
    QJsonObject record;
    record[QStringLiteral("t")] = QStringLiteral("anmeldung");
    record[QStringLiteral("offen")] = open;
    journal(record, true);
    Q_EMIT sessionsChanged();
}

void WebClassroom::keepConnectionsAlive(quint32 now)
{
    const quint32 ping = quint32(m_limits.pingIntervalMs);
    const quint32 silence = quint32(m_limits.silenceMs);
    QList<QWebSocket *> silent;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        const quint32 quiet = now - it->lastHeard;
        if (quiet >= silence)
            silent.append(it.key());
        else if (quiet >= ping && now - it->lastPing >= ping) {
            it->lastPing = now;
            it.key()->ping();
        }
    }
    // The allowances of devices that have gone, once there are many.
    if (m_deviceMessages.size() > 4096) {
        QSet<QString> present;
        for (const Connection &c : std::as_const(m_connections))
            present.insert(c.address);
        m_deviceMessages.removeIf([&](const auto &entry) { return !present.contains(entry.key()); });
    }
    // A tablet gone to sleep or a script that stopped answering: the connection goes, the
    // session stays for the page that comes back.
    for (QWebSocket *socket : std::as_const(silent)) {
        const QString token = m_connections.take(socket).token;
        if (const auto s = m_sessions.find(token); s != m_sessions.end() && (*s)->socket == socket)
            (*s)->socket = nullptr;
        socket->abort();
        socket->deleteLater();
    }
}

void WebClassroom::tick()
{
    const quint32 now = m_clock.tickCount();
    if (m_tcp)
        m_tcp->sweep();
    keepConnectionsAlive(now);
    for (const auto &session : std::as_const(m_sessions)) {
        if (session->pendingSize && now - session->lastResize >= quint32(m_limits.resizeIntervalMs))
            resize(*session, *session->pendingSize);
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
                ++session.journaledAnswers;
            }
            session.verdicts.append({seq, verdict});
            if (session.verdicts.size() > kKeptVerdicts)
                session.verdicts.removeFirst();
        } else if (kind == QLatin1String("entfernt") || kind == QLatin1String("beendet")) {
            const QString token = r.value(QStringLiteral("token")).toString();
            const auto it = m_sessions.find(token);
            if (it == m_sessions.end()) {
                allFitted = false;
                continue;
            }
            (*it)->pupil->cancel(); // still replaying: nothing is reported again
            m_tokenOfCard.remove((*it)->pupil->identity().cardKey);
            m_ended.insert(token, kind == QLatin1String("entfernt")
                                      ? QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt.")
                                      : QStringLiteral("Diese Sitzung wurde beendet."));
            m_sessions.erase(it);
        } else if (kind == QLatin1String("anmeldung")) {
            m_joiningOpen = r.value(QStringLiteral("offen")).toBool(true);
        } else if (kind == QLatin1String("code")) {
            const QString code = r.value(QStringLiteral("code")).toString();
            if (isValidCode(code))
                m_code = code;
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
