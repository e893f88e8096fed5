#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QTcpServer>

#include <functional>
#include <memory>

namespace kapitolo {

class Clock;
class ConnectionWatch;

// What the web server lets one connection do, and how many it holds at once. A class
// of 30 tablets or an assembly of 100 stays far inside these figures; a script that
// opens connections and never finishes a request runs into them.
struct ConnectionLimits {
    // Connections held at once, and per device address (0: no limit per address, for
    // shared computers behind one address). A browser opens up to six connections to a
    // server besides its WebSocket; a reload briefly doubles that.
    int maxConnections = 1500;
    int perAddress = 16;
    // A request must be complete within headerMs of its first byte (or of the connection:
    // the page sends no bodies, so its header is the whole request); a connection without
    // a request in progress is closed after idleMs.
    int headerMs = 5000;
    int idleMs = 30000;
    // One request's header, and everything one connection sends before it becomes a
    // WebSocket (whose messages have a limit of their own).
    int maxHeaderBytes = 16 * 1024;
    qint64 maxConnectionBytes = 1 << 20;
};

// Finds the ends of the requests in what a connection sends, in pieces as they arrive:
// a header ends with an empty line; blank lines between requests are passed over.
class RequestScanner
{
public:
    struct Step {
        int completed = 0;     // requests whose header ended in these bytes
        bool began = false;    // a request began in these bytes
        bool tooLarge = false; // the header now in progress is longer than allowed
    };
    Step feed(const char *data, qsizetype size, int maxHeaderBytes);
    bool inRequest() const { return m_inRequest; }
    int headerBytes() const { return m_headerBytes; }
    int completed() const { return m_completed; }

private:
    bool m_inRequest = false;
    int m_headerBytes = 0;
    int m_lineLength = 0;
    int m_completed = 0;
};

// The descriptors the server may take: the soft limit of open files, less those the
// program holds already and a reserve for what the teacher still opens (dialogs, fonts,
// files, the display connection). Never below `floor`.
int connectionBudget(int reserve, int floor = 16);

class ConnectionDoor;

// Accepts the connections of the HTTP server and watches each until it has become a
// WebSocket. A door of its own (a thread waiting on the system's epoll) takes every new
// connection and holds it until its first request has arrived whole: the connections a
// script opens and never finishes cost the teacher's event loop nothing, and at the limit
// the one that has waited longest makes room for a new one. A device beyond its own limit
// is refused. Once through the door, a connection's bytes are counted before the HTTP
// server reads them (an oversized request is cut off while it arrives, never read into
// memory first), with the end of each request's header and the deadlines.
class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    GuardedTcpServer(const ConnectionLimits &limits, Clock &clock, QObject *parent = nullptr);
    ~GuardedTcpServer() override;

    // After listen(): the door takes over accepting. False when it cannot (the server then
    // accepts on the event loop, with the same limits).
    bool openDoor();

    // Closes the connections past their deadlines; the classroom calls it on its timer.
    void sweep();

    // Connections held now, at the door and through it.
    int openCount() const;
    int acceptedCount() const { return m_accepted.loadRelaxed(); }
    int refusedCount() const { return m_refused.loadRelaxed(); }
    int closedCount() const { return m_closed.loadRelaxed(); }
    const ConnectionLimits &limits() const { return m_limits; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    friend class ConnectionWatch;
    friend class ConnectionDoor;
    // What the door and the event loop share: how many connections each address holds.
    bool admit(quint32 address);
    void release(quint32 address);
    // A connection whose first request has arrived, handed over by the door.
    void adoptFromDoor(qintptr descriptor, quint32 address);
    void adopt(qintptr descriptor, quint32 address);
    void watch(QTcpSocket *socket, quint32 address);
    void forget(ConnectionWatch *watch);
    bool makeRoom();

    ConnectionLimits m_limits;
    Clock &m_clock;
    QList<ConnectionWatch *> m_watches; // in the order they came
    mutable QMutex m_countsMutex;
    QHash<quint32, int> m_perAddress; // at the door and through it
    int m_total = 0;
    QAtomicInt m_accepted;
    QAtomicInt m_refused;
    QAtomicInt m_closed;
    std::unique_ptr<ConnectionDoor> m_door;
};

} // namespace kapitolo
