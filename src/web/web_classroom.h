#pragma once

#include "web/connection_guard.h"
#include "web/web_pupil.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpSocket;
class QHttpServerRequest;
class QHttpServerResponder;
class QWebSocket;

namespace kapitolo {

class WebHttpServer;
struct WebMessage;

// The limits a class of browsers plays within.
struct WebLimits {
    int maxSessions = 100;
    // Running sessions per device address ("NetzWebJeGeraet"); 0: no limit, for shared
    // computers behind one address.
    int sessionsPerDevice = 1;
    // Five wrong codes from one address within the window make it wait a few seconds; 30
    // within the window from all addresses together make the program draw a new code.
    int maxWrongCodes = 5;
    int wrongCodeWindowMs = 60000;
    int codeWaitMs = 10000;
    int maxWrongCodesAll = 30;
    int maxMessageBytes = 4096;  // a WebSocket message of the page
    int maxUrlBytes = 2048;
    int maxBodyBytes = 0;        // the page sends no request bodies
    // The messages of one connection: a burst, then one every messageRefillMs; beyond that
    // they are dropped and counted, and a connection that goes on is closed.
    int messageBurst = 40;
    int messageRefillMs = 50;
    int maxDroppedMessages = 200;
    // A session's answers: a pupil drops at most a few tiles a second.
    int answerBurst = 6;
    int answerRefillMs = 250;
    // At most one new card per session in this interval when the browser's size changes.
    int resizeIntervalMs = 500;
    // Answers journaled for one session before it is closed: a map of 300 places with a
    // wrong try on each stays far below.
    int maxJournaledAnswers = 2000;
    // A WebSocket is pinged when it has been silent this long, and closed when it has not
    // answered for silenceMs; its session stays and may reconnect.
    int pingIntervalMs = 20000;
    int silenceMs = 60000;
    // Descriptors the web server leaves to the rest of the program.
    int descriptorReserve = 256;
    ConnectionLimits connections;
};

// A name as a browser pupil typed it, as the exercise keeps it: without control and format
// characters (bidi overrides among them) and line or paragraph separators, blanks trimmed
// and runs of blanks made one; empty when no letter or digit is left.
QString cleanPupilName(const QString &typed);
// Two names are the same pupil's when they are after the best list's folding, whatever the
// case of their letters.
QString pupilNameKey(const QString &name);

// Whether a page of that origin may open the WebSocket: "http", one of the computer's own
// names or addresses (compared without case), and the server's port. The request's own
// Host header does not count: a page of another site could name us there.
bool originAllowed(const QString &origin, const QStringList &ownHosts, quint16 port);
// This computer's names and IPv4 addresses, "localhost" and "127.0.0.1".
QStringList ownHostNames();

// Browser pupils of one exercise: the web server on one port (the page, its style and
// script from the program's resources, the card images, the WebSocket of the API), the
// join code, and one WebPupil per browser. Each session acts only for itself; what it
// reports goes to the same bookkeeping as a Kapitolo participant's reports, and what it
// decides goes to the exercise journal, so that a teacher's restart rebuilds it.
class WebClassroom : public QObject
{
    Q_OBJECT
public:
    using JournalSink = std::function<void(const QJsonObject &record, bool sync)>;

    explicit WebClassroom(Clock &clock, QObject *parent = nullptr);
    ~WebClassroom() override;

    void setExercise(const TopicDocument &document, const QuizOptions &options);
    void setCode(const QString &code) { m_code = code; }
    const QString &code() const { return m_code; }
    void setLimits(const WebLimits &limits) { m_limits = limits; }
    const WebLimits &limits() const { return m_limits; }
    void setReportSink(WebPupil::ReportSink sink) { m_reports = std::move(sink); }
    void setJournalSink(JournalSink sink) { m_journal = std::move(sink); }
    // A message that was dropped: counted with the other discarded reports.
    void setDiscardSink(std::function<void()> sink) { m_discardSink = std::move(sink); }
    // The names a page's origin may carry (ownHostNames() unless set).
    void setOwnHosts(const QStringList &hosts) { m_ownHosts = hosts; }

    // The server on that address and port; false when the port cannot be had.
    bool listen(quint16 port, const QHostAddress &address = QHostAddress::AnyIPv4);
    // Ends the sessions (a quiz still running is reported as cancelled) and the server.
    void stop();
    bool listening() const;
    quint16 port() const { return m_port; }

    // The sessions of a journal, rebuilt as they were; false for a record that does not fit.
    bool restore(const QList<QJsonObject> &records);

    int sessionCount() const { return int(m_sessions.size()); }
    WebPupil *session(const QString &token) const;
    QList<WebPupil *> sessions() const;
    int discarded() const { return m_discarded; }
    // Connections the server holds now, and those it refused or closed.
    int connectionCount() const;
    const GuardedTcpServer *connections() const { return m_tcp; }

    // Whether new pupils may join; those joined come back by their token either way.
    void setJoiningOpen(bool open);
    bool joiningOpen() const { return m_joiningOpen; }
    // The teacher took the pupil of that participant key out of the exercise: the session
    // ends at once and the page says so. False when no session has that key.
    bool removeParticipant(const QString &participantKey);

    // Deadlines, pings, coalesced sizes and the quiz clocks; the server's timer calls it.
    void tick();

    // Four random digits: the code of an exercise without a fixed one.
    static QString randomCode();
    // A fixed code is 4 to 8 digits.
    static bool isValidCode(const QString &code);
    // The note under the name field: the name as the best list will keep it.
    static QString nameNote(const QString &name);

    // For the HTTP side.
    void handleHttp(const QHttpServerRequest &request, QHttpServerResponder &responder);

Q_SIGNALS:
    void sessionsChanged();
    // Something the teacher should know (a new code, a session closed), as a sentence.
    void note(const QString &text);

private:
    // A budget that fills up again over time: `burst` at once, then one every `refillMs`.
    struct Allowance {
        int tokens = -1;
        quint32 last = 0;
        bool take(quint32 now, int burst, int refillMs);
    };
    struct Session {
        std::unique_ptr<WebPupil> pupil;
        QPointer<QWebSocket> socket;
        QList<QPair<qint64, QString>> verdicts; // the latest, by sequence number
        Allowance answers;
        std::optional<QSize> pendingSize;
        quint32 lastResize = 0;
        bool resized = false;
        bool drawing = false;
        bool drawAgain = false;
        int journaledAnswers = 0;
    };
    struct Connection {
        QString token;
        QString address;
        quint32 lastHeard = 0;
        quint32 lastPing = 0;
        Allowance messages;
        int dropped = 0;
    };
    struct CodeAttempts {
        QList<quint32> wrong;
        quint32 blockedUntil = 0;
        bool blocked = false;
    };

    void acceptWebSockets();
    void handleMessage(QWebSocket *socket, const QString &text);
    void discard();
    void send(QWebSocket *socket, const QJsonObject &message);
    void sendState(Session &session);
    void cardDrawn(const QString &token, const WebPupil::CardJob &job, WebPupil::CardDrawn drawn);
    void join(QWebSocket *socket, const WebMessage &message);
    void rejoin(QWebSocket *socket, const WebMessage &message);
    void answer(Session &session, const WebMessage &message);
    void resize(Session &session, QSize size);
    bool wrongCode(const QString &address, quint32 now);
    void endSession(const QString &token, const char *kind, const QString &text);
    void keepConnectionsAlive(quint32 now);
    Session *sessionOf(QWebSocket *socket);
    std::unique_ptr<WebPupil> makePupil(const WebPupil::Identity &identity);
    void journal(const QJsonObject &record, bool sync);
    QString addressOf(QWebSocket *socket) const;
    bool allowedOrigin(const QWebSocket *socket) const;

    Clock &m_clock;
    WebLimits m_limits;
    std::unique_ptr<WebHttpServer> m_server;
    GuardedTcpServer *m_tcp = nullptr; // owned by m_server
    quint16 m_port = 0;
    TopicDocument m_document;
    QuizOptions m_options;
    QString m_code;
    QStringList m_ownHosts;
    WebPupil::ReportSink m_reports;
    JournalSink m_journal;
    std::function<void()> m_discardSink;

    QHash<QString, std::shared_ptr<Session>> m_sessions; // by token
    QHash<QString, QString> m_tokenOfCard;               // card key -> token
    QHash<QWebSocket *, Connection> m_connections;
    // Sessions the teacher removed or the server closed: the text a reconnect gets.
    QHash<QString, QString> m_ended;
    QHash<QString, CodeAttempts> m_attempts;             // by address
    QHash<QString, Allowance> m_deviceMessages;          // by address
    QList<quint32> m_wrongCodes;                         // from every address
    bool m_joiningOpen = true;
    QTimer m_timer;
    // Cards are drawn and encoded here, one at a time, never on the teacher's event loop.
    QThreadPool m_painters;
    int m_discarded = 0;
};

} // namespace kapitolo
