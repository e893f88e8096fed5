#pragma once

#include "web/web_pupil.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpSocket;
class QHttpServerRequest;
class QHttpServerResponder;
class QWebSocket;

namespace kapitolo {

class WebHttpServer;

// The limits a class of browsers plays within.
struct WebLimits {
    int maxSessions = 100;
    int maxWrongCodes = 5;       // within wrongCodeWindowMs from one address ...
    int wrongCodeWindowMs = 60000;
    int codeWaitMs = 60000;      // ... and that address waits this long
    int maxMessageBytes = 4096;  // a WebSocket message of the page
    int maxUrlBytes = 2048;
    int maxBodyBytes = 0;        // the page sends no request bodies
    // What one connection may send before it is an upgrade to a WebSocket: its requests
    // with their headers. The page's own stay far below it over a whole lesson; a larger
    // request is cut off while it arrives, not read into memory first.
    qint64 maxConnectionBytes = 1 << 20;
};

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

private:
    struct Session {
        std::unique_ptr<WebPupil> pupil;
        QPointer<QWebSocket> socket;
        QHash<qint64, QString> verdicts; // by sequence number
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
    void drawNext();
    void join(QWebSocket *socket, const QJsonObject &message);
    void rejoin(QWebSocket *socket, const QJsonObject &message);
    void answer(Session &session, const QJsonObject &message);
    void tickSessions();
    Session *sessionOf(QWebSocket *socket);
    std::unique_ptr<WebPupil> makePupil(const WebPupil::Identity &identity);
    void journal(const QJsonObject &record, bool sync);
    QString addressOf(QWebSocket *socket) const;
    static bool sameOrigin(const QWebSocket *socket);

    Clock &m_clock;
    WebLimits m_limits;
    std::unique_ptr<WebHttpServer> m_server;
    quint16 m_port = 0;
    TopicDocument m_document;
    QuizOptions m_options;
    QString m_code;
    WebPupil::ReportSink m_reports;
    JournalSink m_journal;
    std::function<void()> m_discardSink;

    QHash<QString, std::shared_ptr<Session>> m_sessions; // by token
    QHash<QString, QString> m_tokenOfCard;               // card key -> token
    QHash<QWebSocket *, QString> m_tokenOfSocket;
    QHash<QString, CodeAttempts> m_attempts;             // by address
    QTimer m_timer;
    QStringList m_due; // sessions whose card and state are to be sent, in order
    bool m_drawScheduled = false;
    int m_discarded = 0;
};

} // namespace kapitolo
