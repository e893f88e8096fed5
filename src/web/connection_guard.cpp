#include "web/connection_guard.h"

#include "platform/clock.h"
#include "platform/system_info.h"

#include <QEvent>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <unistd.h>

namespace kapitolo {

int connectionBudget(int reserve, int floor)
{
    const int limit = openFileLimit();
    const int open = openDescriptorCount();
    if (limit <= 0 || open < 0)
        return qMax(floor, 1024 - reserve);
    return qMax(floor, limit - open - reserve);
}

namespace {

quint32 addressKey(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? v4 : 0;
}

bool before(quint32 a, quint32 b)
{
    return qint32(a - b) < 0;
}

} // namespace

RequestScanner::Step RequestScanner::feed(const char *data, qsizetype size, int maxHeaderBytes)
{
    Step step;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (!m_inRequest) {
            if (c == '\r' || c == '\n')
                continue;
            m_inRequest = true;
            m_headerBytes = 0;
            m_lineLength = 0;
            step.began = true;
        }
        if (++m_headerBytes > maxHeaderBytes) {
            step.tooLarge = true;
            return step;
        }
        if (c == '\n') {
            if (m_lineLength == 0) {
                m_inRequest = false;
                ++m_completed;
                ++step.completed;
            }
            m_lineLength = 0;
        } else if (c != '\r') {
            ++m_lineLength;
        }
    }
    return step;
}

// One connection as the server watches it, a child of its socket: it goes with the socket,
// also when the HTTP server has handed the socket to a WebSocket and let go of its signals.
class ConnectionWatch : public QObject
{
public:
    ConnectionWatch(GuardedTcpServer &server, QTcpSocket *socket, quint32 now)
        : QObject(socket)
        , m_server(server)
        , m_socket(socket)
        , m_address(addressKey(socket->peerAddress()))
        , m_deadline(now + quint32(server.limits().headerMs))
    {
        socket->installEventFilter(this);
    }
    ~ConnectionWatch() override { m_server.forget(this); }

    quint32 address() const { return m_address; }
    bool upgraded() const { return m_upgraded; }
    bool everCompleted() const { return m_scanner.completed() > 0; }
    quint32 lastActivity() const { return m_lastActivity; }
    bool pastDeadline(quint32 now) const { return !m_upgraded && !m_closing && !before(now, m_deadline); }

    void bytesArrived(quint32 now)
    {
        if (m_closing || m_upgraded || !m_socket->isOpen())
            return;
        // The HTTP server reads everything in its own handler, after this one, so what the
        // socket holds now has just arrived.
        const qint64 n = m_socket->bytesAvailable();
        if (n <= 0)
            return;
        const ConnectionLimits &limits = m_server.limits();
        m_total += n;
        if (m_total > limits.maxConnectionBytes)
            return close();
        const QByteArray bytes = m_socket->peek(n);
        m_lastActivity = now;
        const bool wasInRequest = m_scanner.inRequest();
        const RequestScanner::Step step = m_scanner.feed(bytes.constData(), bytes.size(), limits.maxHeaderBytes);
        if (step.tooLarge)
            return close();
        if (m_scanner.inRequest()) {
            if (!wasInRequest || step.completed > 0)
                m_deadline = now + quint32(limits.headerMs);
        } else if (step.completed > 0) {
            m_deadline = now + quint32(limits.idleMs);
        }
    }

    void close()
    {
        if (m_closing)
            return;
        m_closing = true;
        // After the HTTP server's handler of this read, which still uses the socket.
        QPointer<QTcpSocket> socket = m_socket;
        QTimer::singleShot(0, socket, [socket] {
            if (socket) {
                socket->abort();
                socket->deleteLater();
            }
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The HTTP server gives an upgraded socket to its WebSocket: from then on the
        // classroom keeps the connection alive or closes it.
        if (watched == m_socket && event->type() == QEvent::ParentChange
            && qobject_cast<QWebSocket *>(m_socket->parent()))
            m_upgraded = true;
        return false;
    }

private:
    GuardedTcpServer &m_server;
    QTcpSocket *m_socket;
    quint32 m_address;
    quint32 m_deadline;
    quint32 m_lastActivity = 0;
    qint64 m_total = 0;
    RequestScanner m_scanner;
    bool m_upgraded = false;
    bool m_closing = false;
};

GuardedTcpServer::GuardedTcpServer(const ConnectionLimits &limits, Clock &clock, QObject *parent)
    : QTcpServer(parent)
    , m_limits(limits)
    , m_clock(clock)
{
    // Out of descriptors the system refuses to accept, and the server would stop for good:
    // it listens again a moment later.
    connect(this, &QTcpServer::acceptError, this, [this] {
        QTimer::singleShot(200, this, [this] {
            if (isListening())
                resumeAccepting();
        });
    });
}

GuardedTcpServer::~GuardedTcpServer()
{
    // The sockets (children of this server or of their WebSockets) may outlive it.
    for (ConnectionWatch *watch : std::as_const(m_watches))
        watch->setParent(nullptr), delete watch;
}

int GuardedTcpServer::openCount(const QHostAddress &address) const
{
    return m_perAddress.value(addressKey(address));
}

void GuardedTcpServer::forget(ConnectionWatch *watch)
{
    if (!m_watches.removeOne(watch))
        return;
    const auto it = m_perAddress.find(watch->address());
    if (it != m_perAddress.end() && --*it <= 0)
        m_perAddress.erase(it);
}

bool GuardedTcpServer::makeRoom()
{
    // The oldest connection that never finished a request, else the longest idle one.
    ConnectionWatch *victim = nullptr;
    for (ConnectionWatch *w : std::as_const(m_watches))
        if (!w->upgraded() && !w->everCompleted()) {
            victim = w;
            break;
        }
    if (!victim)
        for (ConnectionWatch *w : std::as_const(m_watches))
            if (!w->upgraded() && (!victim || before(w->lastActivity(), victim->lastActivity())))
                victim = w;
    if (!victim)
        return false;
    ++m_closed;
    auto *socket = qobject_cast<QTcpSocket *>(victim->parent());
    delete victim; // counted out now; its socket goes at once
    if (socket) {
        socket->abort();
        socket->deleteLater();
    }
    return true;
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    ++m_accepted;
    const quint32 address = addressKey(socket->peerAddress());
    const bool deviceFull = m_limits.perAddress > 0 && m_perAddress.value(address) >= m_limits.perAddress;
    if (deviceFull || (m_watches.size() >= m_limits.maxConnections && !makeRoom())) {
        ++m_refused;
        socket->abort();
        socket->deleteLater();
        return;
    }
    // A verdict and the new state follow each other as small writes: without this the
    // second waits for the browser's delayed acknowledgement of the first (40 ms).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // What a sender pushes in one go stays in the system's buffers, not in ours: a request
    // far beyond its limit is cut off before its bytes are copied in.
    socket->setReadBufferSize(2 * qint64(m_limits.maxHeaderBytes));
    auto *watch = new ConnectionWatch(*this, socket, m_clock.tickCount());
    m_watches.append(watch);
    ++m_perAddress[address];
    connect(socket, &QTcpSocket::readyRead, watch, [this, watch] { watch->bytesArrived(m_clock.tickCount()); });
    addPendingConnection(socket);
}

void GuardedTcpServer::sweep()
{
    const quint32 now = m_clock.tickCount();
    const QList<ConnectionWatch *> watches = m_watches;
    for (ConnectionWatch *w : watches)
        if (w->pastDeadline(now)) {
            ++m_closed;
            w->close();
        }
}

} // namespace kapitolo
