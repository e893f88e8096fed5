#include "web/connection_guard.h"

#include "platform/clock.h"
#include "platform/system_info.h"

#include <QEvent>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <thread>
#include <vector>

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
    ConnectionWatch(GuardedTcpServer &server, QTcpSocket *socket, quint32 address, quint32 now)
        : QObject(socket)
        , m_server(server)
        , m_socket(socket)
        , m_address(address)
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


// The door: a thread of its own that accepts every connection and holds it, unread, until
// its first request has arrived whole (looked at in the system's buffer, never taken out
// of it), then hands it to the event loop. It keeps the deadlines of what it holds by the
// time the event loop gives it, so that a test's clock rules here too.
class ConnectionDoor
{
public:
    ConnectionDoor(GuardedTcpServer &server, int listenFd, quint32 now)
        : m_server(server)
        , m_listen(listenFd)
        , m_now(now)
    {
    }

    ~ConnectionDoor()
    {
        m_stop = true;
        wake();
        if (m_thread.joinable())
            m_thread.join();
        for (const auto &[fd, held] : m_held) {
            ::close(fd);
            m_server.release(held.address);
        }
        const QMutexLocker lock(&m_transitMutex);
        for (const auto &[fd, address] : m_inTransit) {
            ::close(fd);
            m_server.release(address);
        }
        if (m_epoll >= 0)
            ::close(m_epoll);
        if (m_wake >= 0)
            ::close(m_wake);
    }

    bool start()
    {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_epoll < 0 || m_wake < 0)
            return false;
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = m_wake;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &e) != 0)
            return false;
        e.data.fd = m_listen;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listen, &e) != 0)
            return false;
        m_thread = std::thread([this] { run(); });
        return true;
    }

    void sweep(quint32 now)
    {
        m_now = now;
        m_sweep = true;
        wake();
    }

    // The event loop took a handed-over connection.
    void arrived(int fd)
    {
        const QMutexLocker lock(&m_transitMutex);
        m_inTransit.erase(fd);
    }

private:
    struct Held {
        quint32 address = 0;
        quint32 deadline = 0;
        quint64 order = 0;
    };

    void wake()
    {
        const quint64 one = 1;
        if (m_wake >= 0)
            [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
    }

    void run()
    {
        std::vector<char> buffer(size_t(m_server.limits().maxHeaderBytes) + 1);
        epoll_event events[64];
        while (!m_stop) {
            const int n = ::epoll_wait(m_epoll, events, 64, 1000);
            for (int i = 0; i < n && !m_stop; ++i) {
                const int fd = events[i].data.fd;
                if (fd == m_wake) {
                    quint64 count = 0;
                    [[maybe_unused]] const auto read = ::read(m_wake, &count, sizeof count);
                } else if (fd == m_listen) {
                    acceptAll();
                } else {
                    look(fd, buffer);
                }
            }
            if (m_sweep.exchange(false))
                closeLate();
        }
    }

    void acceptAll()
    {
        for (;;) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            const int fd = ::accept4(m_listen, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                // Out of descriptors: the system keeps the rest waiting; deadlines free some.
                return;
            }
            m_server.m_accepted.ref();
            const quint32 address = peer.sin_family == AF_INET ? ntohl(peer.sin_addr.s_addr) : 0;
            bool admitted = m_server.admit(address);
            if (!admitted && !m_held.empty() && m_server.openCount() >= m_server.limits().maxConnections) {
                // Full: the one that has waited longest without a whole request makes room.
                const auto oldest = std::min_element(m_held.cbegin(), m_held.cend(), [](const auto &a, const auto &b) {
                    return a.second.order < b.second.order;
                });
                closeHeld(oldest->first);
                admitted = m_server.admit(address);
            }
            if (!admitted) {
                m_server.m_refused.ref();
                ::close(fd);
                continue;
            }
            const quint32 now = m_now;
            m_held[fd] = Held{address, now + quint32(m_server.limits().headerMs), ++m_order};
            epoll_event e{};
            e.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
            e.data.fd = fd;
            if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &e) != 0)
                closeHeld(fd);
        }
    }

    // New bytes on a held connection: is its first request whole?
    void look(int fd, std::vector<char> &buffer)
    {
        const auto it = m_held.find(fd);
        if (it == m_held.end())
            return;
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                m_server.m_closed.ref();
                closeHeld(fd);
            }
            return;
        }
        RequestScanner scanner;
        const RequestScanner::Step step = scanner.feed(buffer.data(), n, m_server.limits().maxHeaderBytes);
        if (step.completed > 0) {
            handOver(fd, it->second.address);
            return;
        }
        // Closed before a whole request, or a header beyond its limit.
        if (n == 0 || step.tooLarge) {
            m_server.m_closed.ref();
            closeHeld(fd);
        }
    }

    void handOver(int fd, quint32 address)
    {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        m_held.erase(fd);
        {
            const QMutexLocker lock(&m_transitMutex);
            m_inTransit[fd] = address;
        }
        GuardedTcpServer *server = &m_server;
        QMetaObject::invokeMethod(
            server, [server, fd, address] { server->adoptFromDoor(fd, address); }, Qt::QueuedConnection);
    }

    void closeLate()
    {
        const quint32 now = m_now;
        std::vector<int> late;
        for (const auto &[fd, held] : m_held)
            if (!before(now, held.deadline))
                late.push_back(fd);
        for (const int fd : late) {
            m_server.m_closed.ref();
            closeHeld(fd);
        }
    }

    void closeHeld(int fd)
    {
        const auto it = m_held.find(fd);
        if (it == m_held.end())
            return;
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        // A reset, not a polite close: nothing of a held connection is worth waiting for.
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(fd);
        m_server.release(it->second.address);
        m_held.erase(it);
    }

    GuardedTcpServer &m_server;
    int m_listen;
    int m_epoll = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_sweep{false};
    std::atomic<quint32> m_now;
    std::map<int, Held> m_held;
    quint64 m_order = 0;
    QMutex m_transitMutex;
    std::map<int, quint32> m_inTransit;
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
    m_door.reset();
    // The sockets (children of this server or of their WebSockets) may outlive it.
    for (ConnectionWatch *watch : std::as_const(m_watches))
        watch->setParent(nullptr), delete watch;
}

bool GuardedTcpServer::openDoor()
{
    if (!isListening())
        return false;
    auto door = std::make_unique<ConnectionDoor>(*this, int(socketDescriptor()), m_clock.tickCount());
    // The event loop stops watching the listening socket: the door accepts from now on.
    pauseAccepting();
    if (!door->start()) {
        resumeAccepting();
        return false;
    }
    m_door = std::move(door);
    return true;
}

void GuardedTcpServer::adoptFromDoor(qintptr descriptor, quint32 address)
{
    if (m_door)
        m_door->arrived(int(descriptor));
    adopt(descriptor, address);
}

void GuardedTcpServer::forget(ConnectionWatch *watch)
{
    if (m_watches.removeOne(watch))
        release(watch->address());
}

bool GuardedTcpServer::admit(quint32 address)
{
    const QMutexLocker lock(&m_countsMutex);
    if (m_total >= m_limits.maxConnections
        || (m_limits.perAddress > 0 && m_perAddress.value(address) >= m_limits.perAddress))
        return false;
    ++m_total;
    ++m_perAddress[address];
    return true;
}

void GuardedTcpServer::release(quint32 address)
{
    const QMutexLocker lock(&m_countsMutex);
    --m_total;
    const auto it = m_perAddress.find(address);
    if (it != m_perAddress.end() && --*it <= 0)
        m_perAddress.erase(it);
}

int GuardedTcpServer::openCount() const
{
    const QMutexLocker lock(&m_countsMutex);
    return m_total;
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
    m_closed.ref();
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
    // Without the door: the same limits on the event loop.
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    m_accepted.ref();
    const quint32 address = addressKey(socket->peerAddress());
    bool admitted = admit(address);
    if (!admitted && openCount() >= m_limits.maxConnections && makeRoom())
        admitted = admit(address);
    if (!admitted) {
        m_refused.ref();
        socket->abort();
        socket->deleteLater();
        return;
    }
    watch(socket, address);
}

void GuardedTcpServer::adopt(qintptr descriptor, quint32 address)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        release(address);
        return;
    }
    watch(socket, address);
}

void GuardedTcpServer::watch(QTcpSocket *socket, quint32 address)
{
    // A verdict and the new state follow each other as small writes: without this the
    // second waits for the browser's delayed acknowledgement of the first (40 ms).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // What a sender pushes in one go stays in the system's buffers, not in ours: a request
    // far beyond its limit is cut off before its bytes are copied in.
    socket->setReadBufferSize(2 * qint64(m_limits.maxHeaderBytes));
    auto *watch = new ConnectionWatch(*this, socket, address, m_clock.tickCount());
    m_watches.append(watch);
    connect(socket, &QTcpSocket::readyRead, watch, [this, watch] { watch->bytesArrived(m_clock.tickCount()); });
    addPendingConnection(socket);
}

void GuardedTcpServer::sweep()
{
    const quint32 now = m_clock.tickCount();
    if (m_door)
        m_door->sweep(now);
    const QList<ConnectionWatch *> watches = m_watches;
    for (ConnectionWatch *w : watches)
        if (w->pastDeadline(now)) {
            m_closed.ref();
            w->close();
        }
}

} // namespace kapitolo
