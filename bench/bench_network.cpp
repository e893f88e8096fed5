// The teacher's side of a network quiz: from a report datagram's arrival to the repainted
// row of the control display, and reports handled per second. Each against a baseline in
// the same run: a bare UDP socket that only reads the same datagrams.
//
// Latency: 1,000 TN-AKTION reports, one at a time; median and worst are reported as
// counters (microseconds). Throughput: bursts of 500 reports through the whole receive
// path (socket, header, strict parsing, bookkeeping, table model, view).
//
// Item figures: a class of 30 on a map of 300 places. One report through the bookkeeping,
// the item figures and the tab "Aufgaben" (its row moved and repainted), against the same
// report on a board without the tab.

#include "network/control_board.h"
#include "network/control_display.h"
#include "network/item_table.h"
#include "network/mailslot.h"
#include "network/network_reports.h"
#include "platform/messages.h"
#include "document/topic_document.h"
#include "quiz/quiz_types.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTableView>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace kapitolo;
using Steady = std::chrono::steady_clock;

namespace {

class SilentMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons) override { return MessageAnswer::Ok; }
};

QString benchChannel()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (;;) {
        QString name = QStringLiteral("B");
        for (int i = 0; i < 7; ++i)
            name += QLatin1Char(letters[QRandomGenerator::global()->bounded(26)]);
        QUdpSocket probe;
        if (probe.bind(QHostAddress::LocalHost, mailslotPort(name), QAbstractSocket::DontShareAddress))
            return name;
    }
}

const QString kKey = QStringLiteral("BENCHBENCHBENCHBENCHBENCHBENCH");

QByteArray actionDatagram(int n)
{
    QStringList lines{QStringLiteral("TN-AKTION"), kKey, QString::number(n % 40), QStringLiteral("0"),
                      QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("10:00:00"), QStringLiteral("40"),
                      QString::number(n % 40), QStringLiteral("3"), QString::number(40 - n % 40),
                      clockText(n), QStringLiteral("75.0"), QStringLiteral("50.0"), QStringLiteral("4")};
    return encodeMailslotMessage(QStringLiteral("schueler"), QStringLiteral("PC-07"), lines);
}

// The teacher: a mailslot feeding the bookkeeping, and the control display on screen.
struct Teacher {
    SilentMessages messages;
    MailslotHost host;
    TALMailSlot2 slot;
    ControlBoard board;
    TopicDocument document;
    ItemTableModel items{board, [this]() -> const TopicDocument & { return document; }};
    TKontrollanzeigeForm display;
    QString channel = benchChannel();

    Teacher()
        : host(makeHost())
        , slot(messages, host)
        , display(board, &items)
    {
        slot.setMailBox(channel);
        slot.setCheckInterval(150);
        slot.OnNewMessage = [this](TALMailSlot2 *, const QString &c, const QString &u, const QString &t) {
            board.handleReport(c, u, t, 46000.5);
        };
        slot.setActive(true);
        display.show();
        board.handleReport(QStringLiteral("PC-07"), QStringLiteral("schueler"),
                           initReportLines(kKey, QString(), 46000.5).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"),
                           46000.5);
        QCoreApplication::processEvents();
    }
    static MailslotHost makeHost()
    {
        MailslotHost h;
        h.computerName = QStringLiteral("LEHRER");
        h.userName = QStringLiteral("lehrer");
        h.bindAddress = QHostAddress(QHostAddress::LocalHost);
        return h;
    }
};

void report(benchmark::State &state, std::vector<double> &samples)
{
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["worst_us"] = samples.back();
}

void BM_ReportToRepaintedRow(benchmark::State &state)
{
    Teacher teacher;
    QUdpSocket out;
    std::vector<double> samples;
    Steady::time_point sent;
    QEventLoop loop;
    // Connected after the view: the view has taken the change when this runs; the row is
    // then painted at once, as the next paint event would.
    QObject::connect(&teacher.board, &QAbstractItemModel::dataChanged, &loop, [&] {
        teacher.display.grid()->viewport()->repaint();
        samples.push_back(std::chrono::duration<double, std::micro>(Steady::now() - sent).count());
        loop.quit();
    });
    int n = 0;
    for (auto _ : state) {
        const QByteArray datagram = actionDatagram(++n);
        sent = Steady::now();
        out.writeDatagram(datagram, QHostAddress::LocalHost, mailslotPort(teacher.channel));
        loop.exec();
        state.SetIterationTime(samples.back() / 1e6);
    }
    if (teacher.board.rows().first().clock != clockText(n))
        state.SkipWithError("the row did not follow the reports");
    report(state, samples);
}
BENCHMARK(BM_ReportToRepaintedRow)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_BareSocketBaseline(benchmark::State &state)
{
    const QString channel = benchChannel();
    QUdpSocket in;
    in.bind(QHostAddress::LocalHost, mailslotPort(channel), QAbstractSocket::DontShareAddress);
    QUdpSocket out;
    std::vector<double> samples;
    Steady::time_point sent;
    QEventLoop loop;
    QObject::connect(&in, &QUdpSocket::readyRead, &loop, [&] {
        while (in.hasPendingDatagrams()) {
            QByteArray bytes(in.pendingDatagramSize(), Qt::Uninitialized);
            in.readDatagram(bytes.data(), bytes.size());
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Steady::now() - sent).count());
        loop.quit();
    });
    int n = 0;
    for (auto _ : state) {
        const QByteArray datagram = actionDatagram(++n);
        sent = Steady::now();
        out.writeDatagram(datagram, QHostAddress::LocalHost, mailslotPort(channel));
        loop.exec();
        state.SetIterationTime(samples.back() / 1e6);
    }
    report(state, samples);
}
BENCHMARK(BM_BareSocketBaseline)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

constexpr int kBurst = 500;

void BM_ReportsPerSecond(benchmark::State &state)
{
    Teacher teacher;
    QUdpSocket out;
    int n = 0;
    for (auto _ : state) {
        const int before = teacher.board.acceptedCount();
        for (int k = 0; k < kBurst; ++k)
            out.writeDatagram(actionDatagram(++n), QHostAddress::LocalHost, mailslotPort(teacher.channel));
        const Steady::time_point deadline = Steady::now() + std::chrono::seconds(10);
        while (teacher.board.acceptedCount() < before + kBurst && Steady::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        if (teacher.board.acceptedCount() < before + kBurst) {
            state.SkipWithError("reports were lost");
            break;
        }
    }
    if (teacher.board.discardedCount() != 0)
        state.SkipWithError("reports were discarded");
    state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_ReportsPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareSocketBurstBaseline(benchmark::State &state)
{
    const QString channel = benchChannel();
    QUdpSocket in;
    in.bind(QHostAddress::LocalHost, mailslotPort(channel), QAbstractSocket::DontShareAddress);
    in.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, TALMailSlot2::kReceiveBufferBytes);
    int received = 0;
    QObject::connect(&in, &QUdpSocket::readyRead, [&] {
        while (in.hasPendingDatagrams()) {
            QByteArray bytes(in.pendingDatagramSize(), Qt::Uninitialized);
            in.readDatagram(bytes.data(), bytes.size());
            ++received;
        }
    });
    QUdpSocket out;
    int n = 0;
    for (auto _ : state) {
        const int before = received;
        for (int k = 0; k < kBurst; ++k)
            out.writeDatagram(actionDatagram(++n), QHostAddress::LocalHost, mailslotPort(channel));
        while (received < before + kBurst)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_BareSocketBurstBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// The handler alone, without a socket: parsing and bookkeeping of one report.
void BM_HandleReportOnly(benchmark::State &state)
{
    ControlBoard board;
    board.handleReport(QStringLiteral("PC-07"), QStringLiteral("s"),
                       initReportLines(kKey, QString(), 46000.5).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"),
                       46000.5);
    MailslotMessage message;
    decodeMailslotMessage(actionDatagram(7), message);
    for (auto _ : state)
        benchmark::DoNotOptimize(board.handleReport(message.computer, message.userName, message.text, 46000.5));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HandleReportOnly);

constexpr int kClass = 30;
constexpr int kPlaces = 300;

QString classKey(int pupil)
{
    return QStringLiteral("KLASSE") + QString(22, QLatin1Char('A')) + QChar(u'A' + pupil / 26) + QChar(u'A' + pupil % 26);
}

// A lesson's worth of reports: every pupil answers places in an order of their own,
// three of four right at once.
struct ClassReports {
    QStringList texts;
    ClassReports()
    {
        QRandomGenerator random(30);
        std::vector<std::pair<int, int>> counts(kClass);
        for (int n = 0; n < 60000; ++n) {
            const int pupil = n % kClass;
            auto &[right, wrong] = counts[pupil];
            (random.bounded(4) == 0 ? wrong : right) += 1;
            const QStringList lines{QStringLiteral("TN-AKTION"), classKey(pupil),
                                    QString::number(random.bounded(kPlaces)), QStringLiteral("0"), QStringLiteral("0"),
                                    QStringLiteral("0"), QStringLiteral("10:00:00"), QStringLiteral("100000"),
                                    QString::number(right), QString::number(wrong), QStringLiteral("1"),
                                    clockText(n / 30), QStringLiteral("75.0"), QStringLiteral("50.0"),
                                    QStringLiteral("4")};
            texts << lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        }
    }
};

const ClassReports &classReports()
{
    static const ClassReports reports;
    return reports;
}

void announceClass(ControlBoard &board)
{
    for (int p = 0; p < kClass; ++p)
        board.handleReport(QStringLiteral("PC"), QStringLiteral("s"),
                           initReportLines(classKey(p), QString(), 46000.5).join(QStringLiteral("\r\n"))
                               + QStringLiteral("\r\n"),
                           46000.5);
}

// Runs the reports round; the first 3,000 fill every place's figures before timing starts.
template <typename Step>
void playClass(benchmark::State &state, ControlBoard &board, Step step)
{
    const QStringList &texts = classReports().texts;
    int n = 0;
    for (; n < 3000; ++n)
        board.handleReport(QStringLiteral("PC"), QStringLiteral("s"), texts.at(n), 46000.5);
    for (auto _ : state) {
        if (n == texts.size()) {
            state.SkipWithError("more iterations than prepared reports");
            break;
        }
        board.handleReport(QStringLiteral("PC"), QStringLiteral("s"), texts.at(n++), 46000.5);
        step();
    }
    if (board.discardedCount() != 0)
        state.SkipWithError("reports were discarded");
    state.SetItemsProcessed(state.iterations());
}

// paint: the tab's rows painted after every report (on screen Qt paints at most once a
// frame); without, what the view does with the model's signals alone.
void BM_ClassOf30_ReportWithItemTab(benchmark::State &state)
{
    const bool paint = state.range(0) != 0;
    ControlBoard board;
    TopicDocument document;
    document.objects.resize(kPlaces);
    for (int i = 0; i < kPlaces; ++i)
        document.objects[i].Cap = QStringLiteral("Ort %1").arg(i);
    ItemTableModel items(board, [&document]() -> const TopicDocument & { return document; });
    TKontrollanzeigeForm display(board, &items);
    display.tabs()->setCurrentIndex(1);
    display.show();
    announceClass(board);
    QCoreApplication::processEvents();
    playClass(state, board, [&] {
        if (paint)
            display.itemGrid()->viewport()->repaint();
    });
    if (items.rowCount() != board.items().itemCount() || items.objectAt(0) != board.items().rows().first().object)
        state.SkipWithError("the tab did not follow the reports");
}
BENCHMARK(BM_ClassOf30_ReportWithItemTab)->Arg(0)->Arg(1)->Iterations(20000)->Unit(benchmark::kMicrosecond);

void BM_ClassOf30_ReportWithItemModel(benchmark::State &state)
{
    ControlBoard board;
    TopicDocument document;
    ItemTableModel items(board, [&document]() -> const TopicDocument & { return document; });
    announceClass(board);
    playClass(state, board, [] {});
}
BENCHMARK(BM_ClassOf30_ReportWithItemModel)->Iterations(20000)->Unit(benchmark::kMicrosecond);

void BM_ClassOf30_BoardAloneBaseline(benchmark::State &state)
{
    ControlBoard board;
    announceClass(board);
    playClass(state, board, [] {});
}
BENCHMARK(BM_ClassOf30_BoardAloneBaseline)->Iterations(20000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
