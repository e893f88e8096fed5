// Browser pupils: from a drop to its verdict and to the new card in the browser, with a
// class of 30 sessions over loopback dropping at the same moment, and spread over a
// second (thirty drops a second: a class at work drops far less often); the card image's bytes and its
// encoding time per update; the memory a session takes. Each against a baseline in the
// same run: a message the server answers without touching a quiz (the name note), the
// card drawn without encoding it, and as many WebSockets that never join.
//
// The clients live in the same thread as the server: a latency here includes their own
// reading, which a real browser does elsewhere.

#include "document/document_file.h"
#include "web/web_classroom.h"
#include "view/card_renderer.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
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

bool spinUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * 4; // pages of 4 KiB
}

struct Client {
    QWebSocket socket;
    QString token;
    QJsonObject state;
    QString wrongTile;
    RectD wrongPlace;
    QElapsedTimer sent;
    double verdictMs = -1;
    double cardMs = -1;
    bool waitingState = false;
    int version = 0;
};

// A class of joined browsers on a server of its own.
struct Class {
    WebClassroom room;
    QNetworkAccessManager http;
    std::vector<std::unique_ptr<Client>> clients;
    QString base;

    Class(Clock &clock, int pupils) : room(clock)
    {
        room.setExercise(europe(), QuizOptions());
        room.setCode(QStringLiteral("1234"));
        room.listen(0, QHostAddress::LocalHost);
        base = QStringLiteral("http://127.0.0.1:%1").arg(room.port());
        for (int i = 0; i < pupils; ++i) {
            auto c = std::make_unique<Client>();
            Client *raw = c.get();
            QObject::connect(&c->socket, &QWebSocket::textMessageReceived, [this, raw](const QString &text) {
                receive(*raw, QJsonDocument::fromJson(text.toUtf8()).object());
            });
            c->socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(room.port())));
            clients.push_back(std::move(c));
        }
        spinUntil([this] {
            return std::all_of(clients.begin(), clients.end(),
                               [](const auto &c) { return c->socket.state() == QAbstractSocket::ConnectedState; });
        });
        for (auto &c : clients)
            send(*c, {{"art", "anmelden"}, {"code", "1234"}, {"name", "Bench"}, {"breite", 1000}, {"hoehe", 700}});
        spinUntil([this] {
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return !c->state.isEmpty(); });
        });
        // Each pupil drops one tile on a place that is not its own: wrong, and the quiz runs on.
        for (auto &c : clients) {
            const WebPupil *pupil = room.session(c->token);
            const QJsonObject tile = c->state.value("kacheln").toArray().first().toObject();
            c->wrongTile = tile.value("id").toString();
            for (const DocObject &o : pupil->document().objects)
                if (o.coverState == csOpenQuestion && o.hitBox.left >= 0 && CleanCaption(o.Cap) != tile.value("text").toString()) {
                    const double x = (o.hitBox.left + o.hitBox.right) / 2, y = (o.hitBox.top + o.hitBox.bottom) / 2;
                    c->wrongPlace = RectD{x, y - 0.02, x + 0.15, y + 0.02};
                    break;
                }
        }
    }

    static void send(Client &c, const QJsonObject &m)
    {
        c.socket.sendTextMessage(QString::fromUtf8(QJsonDocument(m).toJson(QJsonDocument::Compact)));
    }

    void receive(Client &c, const QJsonObject &m)
    {
        const QString kind = m.value("art").toString();
        if (kind == QLatin1String("angemeldet"))
            c.token = m.value("token").toString();
        else if (kind == QLatin1String("urteil") || kind == QLatin1String("namenshinweis"))
            c.verdictMs = double(c.sent.nsecsElapsed()) / 1e6;
        else if (kind == QLatin1String("zustand")) {
            c.state = m;
            if (!c.waitingState)
                return;
            c.waitingState = false;
            // The page loads the new card at once.
            QNetworkReply *reply = http.get(QNetworkRequest(QUrl(base + m.value("karte").toObject().value("url").toString())));
            QObject::connect(reply, &QNetworkReply::finished, [&c, reply] {
                if (!reply->readAll().isEmpty())
                    c.cardMs = double(c.sent.nsecsElapsed()) / 1e6;
                reply->deleteLater();
            });
        }
    }

    // Each a wrong drop (or the baseline's name message): all at the same moment, or
    // spread over a second as a class at work sends them.
    bool round(bool drop, qint64 seq, int spreadMs)
    {
        for (size_t k = 0; k < clients.size(); ++k) {
            Client *c = clients[k].get();
            c->verdictMs = c->cardMs = -1;
            auto go = [c, drop, seq] {
                c->waitingState = drop;
                c->sent.start();
                if (drop)
                    send(*c, {{"art", "ablegen"}, {"seq", seq}, {"kachel", c->wrongTile}, {"x0", c->wrongPlace.left},
                              {"y0", c->wrongPlace.top}, {"x1", c->wrongPlace.right}, {"y1", c->wrongPlace.bottom}});
                else
                    send(*c, {{"art", "name"}, {"name", "Bench"}});
            };
            if (spreadMs == 0)
                go();
            else
                QTimer::singleShot(int(k) * spreadMs / int(clients.size()), go);
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
    for (auto _ : state) {
        if (!klass.round(drop, ++seq, spreadMs)) {
            state.SkipWithError("a round did not complete");
            break;
        }
        for (const auto &c : klass.clients) {
            verdicts.push_back(c->verdictMs);
            if (drop)
                cards.push_back(c->cardMs);
        }
    }
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
    WebPupil::Identity id;
    id.token = QStringLiteral("t");
    id.cardKey = QStringLiteral("k");
    id.key = QString(30, QLatin1Char('K'));
    id.joinedAt = clock.now();
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
                    raw->sendTextMessage(QStringLiteral(R"({"art":"anmelden","code":"1234","name":"M","breite":1000,"hoehe":700})"));
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

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
