// Browser pupils: from a drop to its verdict and to the new card in the browser (every
// image the new state names that the page has not loaded yet), with a class of 30
// sessions over loopback each placing a tile right at the same moment, and spread over a
// second (thirty drops a second: a class at work drops far less often); the card image's bytes and its
// encoding time per update; the memory a session takes. Each against a baseline in the
// same run: a message the server answers without touching a quiz (the name note), the
// card drawn without encoding it, and as many WebSockets that never join.
//
// The browsers run in a thread of their own; on this machine of two cores they still take
// turns with the server for the processor, which a class's own devices do not.

#include "document/document_file.h"
#include "web/web_classroom.h"
#include "quiz/tile_layout.h"
#include "view/card_renderer.h"

#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QMutex>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <memory>
#include <vector>

using namespace kapitolo;

namespace {

class QuietMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons) override { return MessageAnswer::Ok; }
};

TopicDocument europe()
{
    TopicDocument d;
    TopicNavigation navigation;
    QuietMessages quiet;
    readDocument(QStringLiteral(KAPITOLO_EUROPE_SAMPLE), d, navigation, quiet);
    return d;
}

// Runs the server's thread until done() holds, sleeping while it has nothing to do (the
// browsers wake it when they note a result), so that its processor time is the server's.
bool spinUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    QTimer watchdog;
    watchdog.start(50);
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void wakeServer()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// One pupil's identity, for a pupil drawn and encoded without a server.
WebPupil::Identity pupilIdentity(Clock &clock)
{
    WebPupil::Identity id;
    id.token = QStringLiteral("t");
    id.cardKey = QStringLiteral("k");
    id.key = QString(30, QLatin1Char('K'));
    id.joinedAt = clock.now();
    return id;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * 4; // pages of 4 KiB
}

// A browser's connection for the card images: one request at a time over a connection
// kept open, as a page loads its images, with no thread of its own.
class CardLoader
{
public:
    std::function<void()> allLoaded;

    void connectTo(quint16 port)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { read(); });
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); // as browsers do
    }
    void get(const QString &url)
    {
        m_queue.append(url.toLatin1());
        if (m_queue.size() == 1)
            sendFirst();
    }
    int pending() const { return int(m_queue.size()); }

private:
    void sendFirst()
    {
        m_socket.write("GET " + m_queue.first() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
    void read()
    {
        m_buffer += m_socket.readAll();
        for (;;) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = m_buffer.left(end).toLower();
            const qsizetype at = head.indexOf("content-length: ");
            const qsizetype length = at < 0 ? 0 : head.mid(at + 16).split('\r').value(0).toLongLong();
            if (m_buffer.size() < end + 4 + length)
                return;
            m_buffer.remove(0, end + 4 + length);
            m_queue.removeFirst();
            if (!m_queue.isEmpty())
                sendFirst();
            else if (allLoaded)
                allLoaded();
        }
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QList<QByteArray> m_queue;
};

struct Client {
    // Lives in the browsers' thread.
    QWebSocket socket;
    CardLoader cards;
    QSet<QString> loaded;       // the card images the page has
    bool waitingState = false;
    QElapsedTimer sent;
    // Read by the server's thread once a round is over.
    QMutex mutex;
    QString token;
    QJsonObject state;
    QString verdict;
    std::atomic<bool> connected = false;
    std::atomic<bool> joined = false;
    std::atomic<double> verdictMs = -1;
    std::atomic<double> cardMs = -1;

    QJsonObject lastState()
    {
        QMutexLocker lock(&mutex);
        return state;
    }
};

// A class of joined browsers on a server of its own. The browsers run in a thread of their
// own, as they run on devices of their own: the server's thread does only the server's work.
struct Class {
    WebClassroom room;
    std::vector<std::unique_ptr<Client>> clients;
    QString base;
    QThread browsers;
    QObject browserContext;
    bool ready = false; // every browser joined

    // The browsers of the bench all come from this computer. Unpaced, a round follows the
    // last at once, far faster than pupils drop tiles: the pace limit is lifted then.
    Class(Clock &clock, int pupils, bool paced = false, const std::function<void(WebClassroom &)> &prepare = {})
        : room(clock)
    {
        room.setExercise(europe(), QuizOptions());
        room.setCode(QStringLiteral("1234"));
        WebLimits limits;
        limits.sessionsPerDevice = 0;
        limits.connections.perAddress = 0;
        if (!paced)
            limits.answerBurst = 1 << 20;
        room.setLimits(limits);
        if (prepare)
            prepare(room);
        room.listen(0, QHostAddress::LocalHost);
        base = QStringLiteral("http://127.0.0.1:%1").arg(room.port());
        browserContext.moveToThread(&browsers);
        browsers.start();
        inBrowsers([this, pupils] {
            for (int i = 0; i < pupils; ++i) {
                auto c = std::make_unique<Client>();
                Client *raw = c.get();
                c->cards.connectTo(room.port());
                c->cards.allLoaded = [raw] {
                    raw->cardMs = double(raw->sent.nsecsElapsed()) / 1e6;
                    wakeServer();
                };
                QObject::connect(&c->socket, &QWebSocket::connected, [raw] {
                    raw->connected = true;
                    wakeServer();
                });
                QObject::connect(&c->socket, &QWebSocket::textMessageReceived, [this, raw](const QString &text) {
                    receive(*raw, QJsonDocument::fromJson(text.toUtf8()).object());
                });
                c->socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(room.port())));
                clients.push_back(std::move(c));
            }
        });
        spinUntil([this] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->connected.load(); });
        });
        for (size_t i = 0; i < clients.size(); ++i)
            send(*clients[i], {{"art", "anmelden"}, {"code", "1234"}, {"name", QStringLiteral("Bench %1").arg(i + 1)},
                               {"breite", 1000}, {"hoehe", 700}});
        ready = spinUntil([this] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->joined.load(); });
        });
        // The pages load their first card.
        for (auto &c : clients) {
            c->cardMs = -1;
            Client *raw = c.get();
            QMetaObject::invokeMethod(&browserContext, [this, raw] { load(*raw, raw->lastState().value("karte").toObject()); });
        }
        spinUntil([this] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->cardMs >= 0; });
        });
    }

    ~Class()
    {
        inBrowsers([this] { clients.clear(); });
        browsers.quit();
        browsers.wait();
    }

    void inBrowsers(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&browserContext, work, Qt::BlockingQueuedConnection);
    }

    // The first tile the page shows, and a rectangle on its own place (the bench looks
    // into the server for it; a pupil knows it).
    std::pair<QString, RectD> rightDrop(Client &c)
    {
        QString token;
        {
            QMutexLocker lock(&c.mutex);
            token = c.token;
        }
        const WebPupil *pupil = room.session(token);
        const QString tile = c.lastState().value("kacheln").toArray().first().toObject().value("id").toString();
        const int pair = pupil ? pupil->pairOf(tile) : -1;
        if (pair < 0)
            return {QString(), RectD{}};
        const int place = pupil->engine().run().quizList.at(pair).tileObject;
        const RectD &b = pupil->document().objects.at(place).hitBox;
        // A point of the place's box that no neighbour's box covers.
        for (int i = 1; i < 8; ++i)
            for (int j = 1; j < 8; ++j) {
                const double x = b.left + (b.right - b.left) * i / 8, y = b.top + (b.bottom - b.top) * j / 8;
                const RectD r{x, y - 0.002, x + 0.05, y + 0.002};
                if (quizHitTest(pupil->document(), r, pupil->engine().run().currentQuestionNo, -1) == place)
                    return {tile, r};
            }
        return {tile, RectD{}};
    }

    // In the browsers' thread: loads what the card names and the page does not have yet,
    // as the page does, and notes when all of it is there.
    void load(Client &c, const QJsonObject &card)
    {
        QStringList urls{card.value("url").toString()};
        for (const QJsonValue &p : card.value("flicken").toArray())
            urls.append(p.toObject().value("url").toString());
        for (const QString &url : std::as_const(urls)) {
            if (c.loaded.contains(url))
                continue;
            c.loaded.insert(url);
            c.cards.get(url);
        }
        if (c.cards.pending() == 0) {
            c.cardMs = double(c.sent.nsecsElapsed()) / 1e6;
            wakeServer();
        }
    }

    // From any thread: the message leaves from the browsers' thread.
    void send(Client &c, const QJsonObject &m, bool timed = false)
    {
        Client *raw = &c;
        QMetaObject::invokeMethod(&browserContext, [raw, m, timed] {
            raw->waitingState = timed;
            raw->sent.start();
            raw->socket.sendTextMessage(QString::fromUtf8(QJsonDocument(m).toJson(QJsonDocument::Compact)));
        });
    }

    // In the browsers' thread.
    void receive(Client &c, const QJsonObject &m)
    {
        const QString kind = m.value("art").toString();
        if (kind == QLatin1String("angemeldet")) {
            QMutexLocker lock(&c.mutex);
            c.token = m.value("token").toString();
        } else if (kind == QLatin1String("urteil") || kind == QLatin1String("namenshinweis")) {
            {
                QMutexLocker lock(&c.mutex);
                c.verdict = m.value("urteil").toString();
            }
            c.verdictMs = double(c.sent.nsecsElapsed()) / 1e6;
            wakeServer();
        } else if (kind == QLatin1String("zustand")) {
            {
                QMutexLocker lock(&c.mutex);
                c.state = m;
            }
            c.joined = true;
            wakeServer();
            if (!c.waitingState)
                return;
            c.waitingState = false;
            // The page loads the new card at once.
            load(c, m.value("karte").toObject());
        }
    }

    // Each a tile placed right (or the baseline's name message): all at the same moment,
    // or spread over a second as a class at work sends them.
    bool round(bool drop, qint64 seq, int spreadMs)
    {
        for (size_t k = 0; k < clients.size(); ++k) {
            Client *c = clients[k].get();
            c->verdictMs = -1;
            c->cardMs = -1;
            QJsonObject m{{"art", "name"}, {"name", "Bench"}};
            if (drop) {
                const auto [tile, place] = rightDrop(*c);
                if (tile.isEmpty())
                    return false;
                m = QJsonObject{{"art", "ablegen"}, {"seq", seq}, {"kachel", tile}, {"x0", place.left},
                                {"y0", place.top}, {"x1", place.right}, {"y1", place.bottom}};
            }
            if (spreadMs == 0)
                send(*c, m, drop);
            else
                QTimer::singleShot(int(k) * spreadMs / int(clients.size()), &browserContext,
                                   [this, c, m, drop] { send(*c, m, drop); });
        }
        return spinUntil([&] {
            return std::all_of(clients.begin(), clients.end(),
                               [drop](const auto &c) { return c->verdictMs >= 0 && (!drop || c->cardMs >= 0); });
        });
    }
};

void BM_DropToVerdictAndCard(benchmark::State &state)
{
    const bool drop = state.range(0) == 1;
    const int spreadMs = int(state.range(1));
    SystemClock clock;
    Class klass(clock, 30);
    std::vector<double> verdicts, cards;
    qint64 seq = 0;
    double serverCpuMs = 0;
    if (!klass.ready) {
        state.SkipWithError("not every browser could join");
        return;
    }
    for (auto _ : state) {
        const double cpuBefore = threadCpuMs();
        const bool complete = klass.round(drop, ++seq, spreadMs);
        serverCpuMs += threadCpuMs() - cpuBefore;
        if (!complete) {
            state.SkipWithError("a round did not complete");
            break;
        }
        for (const auto &c : klass.clients) {
            if (drop && c->verdict != QLatin1String("richtig")) {
                state.SkipWithError(("a tile was not placed right: " + c->verdict.toStdString()).c_str());
                return;
            }
            verdicts.push_back(c->verdictMs);
            if (drop)
                cards.push_back(c->cardMs);
        }
    }
    // The processor time of the server's thread for a round: what a quiet teacher's
    // computer spends on the 30 answers, whatever else this machine is doing.
    state.counters["server_cpu_ms_per_round"] = serverCpuMs / double(std::max<qint64>(state.iterations(), 1));
    state.counters["verdict_median_ms"] = percentile(verdicts, 0.5);
    state.counters["verdict_p99_ms"] = percentile(verdicts, 0.99);
    if (drop) {
        state.counters["card_median_ms"] = percentile(cards, 0.5);
        state.counters["card_p99_ms"] = percentile(cards, 0.99);
    }
    const QString what = QString::fromLatin1(drop ? "30 sessions drop" : "baseline: 30 name notes")
        + (spreadMs == 0 ? QStringLiteral(" at once") : QStringLiteral(" within %1 ms").arg(spreadMs));
    state.SetLabel(what.toStdString());
}
BENCHMARK(BM_DropToVerdictAndCard)
    ->Args({0, 0})->Args({1, 0})->Args({0, 1000})->Args({1, 1000})
    ->Iterations(30)->Unit(benchmark::kMillisecond)->UseRealTime();

// One card update at a device's size: drawn, and drawn and encoded (the baseline is the
// drawing alone, which the desktop does too).
void BM_CardUpdate(benchmark::State &state)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    const bool encode = state.range(2) == 1;
    TopicDocument doc = europe();
    SystemClock clock;
    const WebPupil::Identity id = pupilIdentity(clock);
    WebPupil pupil(doc, QuizOptions(), id, clock, nullptr);
    pupil.start();
    pupil.setViewSize(size);
    QuietMessages quiet;
    TopicDocument drawn = pupil.document();
    qint64 bytes = 0, encodeUs = 0, n = 0;
    for (auto _ : state) {
        if (encode) {
            pupil.redrawCard();
            pupil.renderCard();
            bytes += pupil.cardImage().size();
            encodeUs += pupil.lastEncodeMicroseconds();
        } else {
            ViewState view;
            view.controlSize = size;
            view.viewWindow = RectD{0, 0, 1, 1};
            CardBitmaps bitmaps;
            NullLearningViewHost host;
            CardRenderer renderer(drawn, view, bitmaps, host, quiet);
            renderer.BuildCardView();
            benchmark::DoNotOptimize(bitmaps.cardBitmap.constBits());
        }
        ++n;
    }
    if (encode && n > 0) {
        state.counters["jpeg_kB"] = double(bytes) / n / 1024.0;
        state.counters["encode_ms"] = double(encodeUs) / n / 1000.0;
    }
    state.SetLabel(encode ? "drawn and encoded" : "baseline: drawn only");
}
// A patch: one object's part of the card drawn again and encoded, and every 48th time
// the whole card, as the pupils' pages get them.
void BM_CardPatch(benchmark::State &state)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    SystemClock clock;
    const WebPupil::Identity id = pupilIdentity(clock);
    WebPupil pupil(europe(), QuizOptions(), id, clock, nullptr);
    pupil.start();
    pupil.setViewSize(size);
    pupil.renderCard();
    QList<int> labels;
    for (int i = 0; i < pupil.document().objects.size(); ++i)
        if (pupil.document().objects.at(i).hitBox.left >= 0)
            labels.append(i);
    qint64 bytes = 0, n = 0;
    for (auto _ : state) {
        pupil.redrawObject(labels.at(int(n % labels.size())));
        pupil.renderCard();
        bytes += pupil.cardPatches().isEmpty() ? pupil.cardImage().size() : pupil.cardPatches().last().jpeg.size();
        ++n;
    }
    state.counters["jpeg_kB"] = double(bytes) / qMax<qint64>(n, 1) / 1024.0;
    state.SetLabel("one object's patch");
}
BENCHMARK(BM_CardPatch)->Args({390, 600})->Args({1000, 700})->Args({1600, 1200})->Unit(benchmark::kMillisecond);

BENCHMARK(BM_CardUpdate)
    ->Args({390, 600, 0})->Args({390, 600, 1})
    ->Args({1000, 700, 0})->Args({1000, 700, 1})
    ->Args({1600, 1200, 0})->Args({1600, 1200, 1})
    ->Unit(benchmark::kMillisecond);

// Resident memory of 100 joined sessions (each with its card) against 100 WebSockets that
// never join.
void BM_MemoryPerSession(benchmark::State &state)
{
    const bool join = state.range(0) == 1;
    double perSession = 0;
    for (auto _ : state) {
        SystemClock clock;
        WebClassroom room(clock);
        room.setExercise(europe(), QuizOptions());
        room.setCode(QStringLiteral("1234"));
        WebLimits limits;
        limits.sessionsPerDevice = 0;
        limits.connections.perAddress = 0;
        room.setLimits(limits);
        room.listen(0, QHostAddress::LocalHost);
        const long before = residentKilobytes();
        std::vector<std::unique_ptr<QWebSocket>> sockets;
        int joined = 0;
        for (int i = 0; i < 100; ++i) {
            auto s = std::make_unique<QWebSocket>();
            QObject::connect(s.get(), &QWebSocket::textMessageReceived, [&joined](const QString &text) {
                if (text.contains(QLatin1String("\"zustand\"")))
                    ++joined;
            });
            QWebSocket *raw = s.get();
            QObject::connect(raw, &QWebSocket::connected, [raw, join] {
                if (join)
                    raw->sendTextMessage(QStringLiteral(R"({"art":"anmelden","code":"1234","name":"M%1","breite":1000,"hoehe":700})")
                                             .arg(quintptr(raw)));
            });
            s->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(room.port())));
            sockets.push_back(std::move(s));
        }
        spinUntil([&] {
            return join ? joined == 100
                        : std::all_of(sockets.begin(), sockets.end(),
                                      [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
        });
        perSession = double(residentKilobytes() - before) / 100.0 / 1024.0;
    }
    state.counters["MB_per_session"] = perSession;
    state.SetLabel(join ? "joined, card drawn" : "baseline: connected only");
}
BENCHMARK(BM_MemoryPerSession)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// A pupil with a script: joins, then sends sizes and wrong drops as fast as it can, and
// when the server lets its connection go, comes back by its token and goes on. Lives in
// the browsers' thread.
class Flooder
{
public:
    explicit Flooder(quint16 port) : m_port(port)
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { flood(); });
        open();
        m_timer.start();
    }
    std::atomic<int> messages = 0;
    std::atomic<int> reconnects = 0;
    QString token() const
    {
        QMutexLocker lock(&m_mutex);
        return m_token;
    }

private:
    void open()
    {
        m_socket = std::make_unique<QWebSocket>();
        QWebSocket *raw = m_socket.get();
        QObject::connect(raw, &QWebSocket::connected, [this, raw] {
            const QString known = token();
            raw->sendTextMessage(known.isEmpty()
                                     ? QStringLiteral(R"({"art":"anmelden","code":"1234","name":"Flut","breite":1000,"hoehe":700})")
                                     : QStringLiteral(R"({"art":"wieder","token":"%1","breite":1000,"hoehe":700})").arg(known));
        });
        QObject::connect(raw, &QWebSocket::textMessageReceived, [this](const QString &text) {
            const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
            if (m.value("art") == QLatin1String("angemeldet")) {
                QMutexLocker lock(&m_mutex);
                m_token = m.value("token").toString();
            } else if (m.value("art") == QLatin1String("zustand") && m_tile.isEmpty()) {
                m_tile = m.value("kacheln").toArray().first().toObject().value("id").toString();
            }
        });
        m_socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(m_port)));
    }
    void flood()
    {
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            ++reconnects;
            open();
            return;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState || m_tile.isEmpty())
            return;
        for (int i = 0; i < 20; ++i) {
            m_socket->sendTextMessage(QStringLiteral(R"({"art":"groesse","breite":%1,"hoehe":%2})")
                                          .arg(700 + 300 * (i % 2))
                                          .arg(500 + 200 * (i % 2)));
            m_socket->sendTextMessage(QStringLiteral(R"({"art":"ablegen","seq":%1,"kachel":"%2","x0":0.95,"y0":0.95,"x1":0.99,"y1":0.99})")
                                          .arg(++m_seq)
                                          .arg(m_tile));
            messages += 2;
        }
    }

    quint16 m_port;
    std::unique_ptr<QWebSocket> m_socket;
    QTimer m_timer;
    mutable QMutex m_mutex;
    QString m_token;
    QString m_tile;
    qint64 m_seq = 0;
};

// The event loop of the teacher's thread: how late a 10 ms timer fires.
class Lateness
{
public:
    Lateness()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double now = double(m_clock.nsecsElapsed()) / 1e6;
            samples.push_back(std::max(0.0, now - m_last - 10));
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    std::vector<double> samples;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
};

// 29 honest pupils drop tiles, a round every 300 ms (each pupil at a pupil's pace), beside
// one pupil who floods sizes and answers and 1,000 connections held open by a script
// (idle, or with a request begun), against the same 29 alone. Honest verdicts, the event
// loop's lateness, and what the flooder got into the journal.
void BM_HonestClassUnderAbuse(benchmark::State &state)
{
    const bool abuse = state.range(0) == 1;
    SystemClock clock;
    QList<QJsonObject> journal;
    Class klass(clock, 29, true, [&journal](WebClassroom &room) {
        room.setJournalSink([&journal](const QJsonObject &r, bool) { journal.append(r); });
    });
    if (!klass.ready) {
        state.SkipWithError("not every browser could join");
        return;
    }
    std::unique_ptr<Flooder> flooder;
    std::unique_ptr<QProcess> held;
    if (abuse) {
        klass.inBrowsers([&] { flooder = std::make_unique<Flooder>(klass.room.port()); });
        held = std::make_unique<QProcess>();
        held->start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(KAPITOLO_FLOOD_SCRIPT),
                                                        QString::number(klass.room.port()), QStringLiteral("1000"),
                                                        QStringLiteral("mixed"), QStringLiteral("0"),
                                                        QStringLiteral("hold")});
        if (!spinUntil([&] { return held->canReadLine(); }, 30000)) {
            state.SkipWithError("the script did not open its connections");
            return;
        }
    }
    std::vector<double> verdicts;
    Lateness lateness;
    qint64 seq = 0;
    for (auto _ : state) {
        QElapsedTimer pace;
        pace.start();
        if (!klass.round(true, ++seq, 0)) {
            state.SkipWithError("a round did not complete");
            break;
        }
        for (const auto &c : klass.clients)
            verdicts.push_back(c->verdictMs);
        spinUntil([&] { return pace.elapsed() >= 300; });
    }
    state.counters["verdict_median_ms"] = percentile(verdicts, 0.5);
    state.counters["verdict_p99_ms"] = percentile(verdicts, 0.99);
    state.counters["loop_late_p99_ms"] = percentile(lateness.samples, 0.99);
    state.counters["loop_late_max_ms"] = percentile(lateness.samples, 1.0);
    if (abuse) {
        QString token;
        klass.inBrowsers([&] {
            token = flooder->token();
            state.counters["flood_messages"] = flooder->messages.load();
            state.counters["flood_reconnects"] = flooder->reconnects.load();
            flooder.reset();
        });
        state.counters["flood_journaled_answers"] = double(std::count_if(journal.cbegin(), journal.cend(), [&](const QJsonObject &r) {
            return r.value("t") == QLatin1String("antwort") && r.value("token") == token;
        }));
        state.counters["connections_closed"] = klass.room.connections()->closedCount();
        held->closeWriteChannel();
        held->waitForFinished(5000);
    }
    state.SetLabel(abuse ? "29 honest beside a flooder and 1,000 held connections" : "baseline: 29 honest alone");
}
BENCHMARK(BM_HonestClassUnderAbuse)->Arg(0)->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// 50 connections from a script that send a megabyte of header lines each behind
// "GET /ws ": what the teacher's program grows by, against 50 that send nothing.
void BM_HeaderFlood(benchmark::State &state)
{
    const bool flood = state.range(0) == 1;
    double grownMB = 0, cutOff = 0;
    for (auto _ : state) {
        SystemClock clock;
        WebClassroom room(clock);
        room.setExercise(europe(), QuizOptions());
        room.setCode(QStringLiteral("1234"));
        room.listen(0, QHostAddress::LocalHost);
        const long before = residentKilobytes();
        QProcess script;
        script.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(KAPITOLO_FLOOD_SCRIPT),
                                                         QString::number(room.port()), QStringLiteral("50"),
                                                         QLatin1String(flood ? "header" : "idle"), QStringLiteral("2000")});
        QByteArray output;
        spinUntil([&] {
            output += script.readAllStandardOutput();
            return output.contains(flood ? "fertig" : "offen");
        }, 30000);
        grownMB = double(residentKilobytes() - before) / 1024.0;
        cutOff = output.count("zu ");
        script.closeWriteChannel();
        script.waitForFinished(5000);
    }
    state.counters["grown_MB"] = grownMB;
    if (flood)
        state.counters["cut_off"] = cutOff;
    state.SetLabel(flood ? "50 endless headers behind GET /ws" : "baseline: 50 idle connections");
}
BENCHMARK(BM_HeaderFlood)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
