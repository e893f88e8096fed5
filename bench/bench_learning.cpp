// The learning record and the class history:
//  - recording the 300 answers of a quiz (each into the log as it comes, all into the record
//    at the quiz's end), with the record open, and opened first (the first quiz of a program
//    run; closing it is the program's exit and not timed), against writing the same quiz's
//    RTF protocol (target: at most 1);
//  - the Lernkartei window opened on a record of 200 topics and 20,000 items, to its first
//    painting, the record opened with it (target: under 100 ms), against a bare window;
//  - "Klassenverlauf" of 30 pupils in 40 exercises opened, and a topic chosen (target:
//    under 200 ms), against the same bare window.
// Each benchmark is repeated in shuffled order; the ratios are medians of one run.

#include "document/topic_document.h"
#include "learning/learning_items.h"
#include "learning/learning_record.h"
#include "learning/lernkartei_window.h"
#include "network/class_history.h"
#include "network/class_history_dialog.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "quiz/protocol.h"
#include "quiz/quiz_types.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QVBoxLayout>

#include <cstdio>
#include <map>

using namespace kapitolo;

namespace {

constexpr const char *kRecord = "record_300_answers";
constexpr const char *kRecordOpening = "record_300_answers_opening_the_file";
constexpr const char *kProtocol = "rtf_protocol_of_300_answers";
constexpr const char *kLernkartei = "lernkartei_200_topics_20000_items";
constexpr const char *kHistory = "klassenverlauf_30_pupils_40_exercises";
constexpr const char *kHistoryTopic = "klassenverlauf_topic_chosen";
constexpr const char *kBareWindow = "bare_window_shown";

class QuietMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &text, MessageButtons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return MessageAnswer::Ok;
    }
};

// A clock that moves a second per question.
class StepClock : public Clock
{
public:
    quint32 tickCount() override { return m_ticks += 1000; }
    double now() override { return 45000.4 + (m_ticks += 1000) / 86400000.0; }
    void busyWait(int, bool) override {}

private:
    quint32 m_ticks = 0;
};

TopicDocument mapWith(int places, const QString &title)
{
    TopicDocument d;
    d.fileName = QStringLiteral("/themen/") + title + QStringLiteral(".tsr");
    d.titel = title;
    for (int i = 0; i < places; ++i) {
        DocObject o;
        o.Typ = otLabel;
        o.Cap = title + QStringLiteral(" Ort %1").arg(i);
        o.Sx = o.Kx = double(i % 20) / 20;
        o.Sy = o.Ky = double(i / 20) / 20;
        d.objects.append(o);
    }
    return d;
}

struct Fixtures {
    QTemporaryDir dir;
    QuietMessages messages;
    StepClock clock;
    TopicDocument quiz = mapWith(300, QStringLiteral("Quiz"));
    QString recordPath = dir.filePath(QStringLiteral("quiz.sqlite"));
    QString bigRecord = dir.filePath(QStringLiteral("lernstand.sqlite"));
    QString history = dir.filePath(QStringLiteral("klassen.sqlite"));
    QuizRun run;

    bool create()
    {
        // The protocol of a 300-answer quiz.
        run.startTick = 0;
        for (int i = 0; i < 300; ++i)
            run.protocolDetail += QStringLiteral("02:%1 - %2 Richtig:  \"Quiz Ort %3\" -> Position %3\r\n")
                                      .arg(i % 60, 2, 10, QLatin1Char('0'))
                                      .arg(i + 1)
                                      .arg(i);
        run.protocolSummary = QStringLiteral("<tit>Quizprotokoll\r\nName:\tAnna\r\nRichtig:\t300 von 300\r\n");

        // 200 topics of 100 places, played over 30 days.
        {
            LearningRecord record(bigRecord, messages, clock);
            for (int t = 0; t < 200; ++t) {
                const auto topic = learningTopic(mapWith(100, QStringLiteral("Thema %1").arg(t, 3, 10, QLatin1Char('0'))));
                for (int i = 0; i < 100; ++i) {
                    LearningAnswer a;
                    a.at = 45000.4 + (i + t) % 30;
                    a.topic = topic;
                    a.item = i;
                    a.correct = (i + t) % 4 != 0;
                    a.firstTry = true;
                    record.recordAnswer(a);
                }
            }
            if (record.pendingCount() != 0)
                return false;
        }

        // 40 exercises of a class of 30 on two topics.
        ClassHistory classes(history, messages);
        for (int e = 0; e < 40; ++e) {
            HistoryExercise x;
            x.journal = QStringLiteral("uebung-%1.journal").arg(e);
            x.channel = QStringLiteral("7B");
            x.title = e % 2 ? QStringLiteral("Flüsse") : QStringLiteral("Hauptstädte");
            x.topicPath = QStringLiteral("/themen/") + x.title + QStringLiteral(".tsr");
            x.started = 45000.4 + e * 3;
            x.ended = x.started + 0.03;
            for (int p = 0; p < 30; ++p) {
                HistoryPupil pupil;
                pupil.identity = QStringLiteral("k:pc-%1\\schueler").arg(p);
                pupil.name = QStringLiteral("PC-%1 / schueler").arg(p, 2, 10, QLatin1Char('0'));
                pupil.computer = QStringLiteral("PC-%1").arg(p);
                pupil.user = QStringLiteral("schueler");
                pupil.state = 1;
                pupil.performance = 40 + (p * 7 + e * 3) % 60;
                pupil.grade = gradeFor(pupil.performance / 100);
                x.pupils.append(pupil);
                for (int i = 0; i < 20; ++i) {
                    HistoryAnswer a;
                    a.pupil = pupil.identity;
                    a.key = QString(30, QLatin1Char('A' + p % 26));
                    a.at = x.started + i / 86400.0;
                    a.object = i;
                    a.item = QStringLiteral("O|Ort %1|0,0").arg(i);
                    a.correct = (p + i + e) % 5 != 0;
                    a.firstTry = true;
                    x.answers.append(a);
                    x.itemTexts.insert(a.item, QStringLiteral("Ort %1").arg(i));
                }
            }
            if (!classes.add(x))
                return false;
        }
        return true;
    }
};

void recordBench(benchmark::State &state, Fixtures &f, bool opening)
{
    std::unique_ptr<LearningRecord> open;
    if (!opening) {
        open = std::make_unique<LearningRecord>(f.recordPath, f.messages, f.clock);
        open->open();
    }
    for (auto _ : state) {
        std::unique_ptr<LearningRecord> fresh;
        if (opening)
            fresh = std::make_unique<LearningRecord>(f.recordPath, f.messages, f.clock);
        LearningRecord &record = opening ? *fresh : *open;
        const auto topic = learningTopic(f.quiz);
        for (int i = 0; i < 300; ++i)
            record.recordVerdict(topic, i, i % 7 != 0, true);
        // The end of the quiz.
        if (!record.flush() || record.pendingCount() != 0)
            state.SkipWithError("answers were not written");
        // Closing the file is the program's exit, not the quiz's.
        state.PauseTiming();
        fresh.reset();
        state.ResumeTiming();
    }
}

void protocolBench(benchmark::State &state, Fixtures &f)
{
    const QString folder = f.dir.filePath(QStringLiteral("protokolle"));
    QDir().mkpath(folder);
    for (auto _ : state) {
        QTextDocument view;
        FillProtocolView(view, protocolText(f.run), true);
        if (!AutoSaveProtocol(view, folder, QStringLiteral("PC-01"), f.clock, f.messages))
            state.SkipWithError("protocol not written");
    }
}

void lernkarteiBench(benchmark::State &state, Fixtures &f)
{
    for (auto _ : state) {
        LearningRecord record(f.bigRecord, f.messages, f.clock);
        LernkarteiWindow window(record, f.clock);
        window.show();
        const QImage shown = window.grab().toImage();
        if (window.model()->rowCount() != 200 || shown.isNull())
            state.SkipWithError("not all topics shown");
    }
}

void historyBench(benchmark::State &state, Fixtures &f, bool chooseTopic)
{
    for (auto _ : state) {
        ClassHistory history(f.history, f.messages);
        TKlassenverlaufForm dialog(history);
        dialog.refresh(QStringLiteral("7B"));
        if (chooseTopic)
            dialog.topicBox()->setCurrentIndex(1);
        dialog.show();
        const QImage shown = dialog.grab().toImage();
        if (dialog.pupilGrid()->model()->rowCount() != 30 || shown.isNull())
            state.SkipWithError("not all pupils shown");
    }
}

void bareWindowBench(benchmark::State &state)
{
    for (auto _ : state) {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(new QLabel(QStringLiteral("Lernkartei"), &window));
        window.resize(760, 620);
        window.show();
        const QImage shown = window.grab().toImage();
        benchmark::DoNotOptimize(shown);
    }
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0)
                m_times[run.run_name.function_name].push_back(run.real_accumulated_time / double(run.iterations));
    }

    double median(const char *name) const
    {
        const auto it = m_times.find(name);
        if (it == m_times.end() || it->second.empty())
            return -1;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }

    // The ratio to the baseline, and whether the target (a ratio, or with absolute set a
    // time in seconds) is met.
    bool print(const char *name, const char *baseline, double target, bool absolute)
    {
        const double t = median(name);
        const double b = median(baseline);
        if (t < 0 || b < 0)
            return true; // filtered out
        const bool met = absolute ? t < target : t / b <= target;
        std::printf("RATIO %s / %s: %.3f (median %.2f ms / %.2f ms); target %s %.*f%s: %s\n", name, baseline, t / b,
                    t * 1e3, b * 1e3, absolute ? "<" : "<=", absolute ? 0 : 2, absolute ? target * 1e3 : target,
                    absolute ? " ms" : "", met ? "met" : "MISSED");
        return met;
    }

private:
    std::map<std::string, std::vector<double>> m_times;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<char *> args{argv[0]};
    std::string repetitions = "--benchmark_repetitions=7";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.push_back(repetitions.data());
    args.push_back(interleave.data());
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;

    std::fprintf(stderr, "Writing the fixtures ...\n");
    Fixtures f;
    if (!f.create()) {
        std::fprintf(stderr, "The fixtures could not be written.\n");
        return 1;
    }
    benchmark::RegisterBenchmark(kRecord, recordBench, std::ref(f), false)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(kRecordOpening, recordBench, std::ref(f), true)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(kProtocol, protocolBench, std::ref(f))->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(kLernkartei, lernkarteiBench, std::ref(f))->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(kHistory, historyBench, std::ref(f), false)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(kHistoryTopic, historyBench, std::ref(f), true)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(kBareWindow, bareWindowBench)->Unit(benchmark::kMillisecond)->UseRealTime();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    bool met = reporter.print(kRecord, kProtocol, 1.0, false);
    met = reporter.print(kRecordOpening, kProtocol, 1.0, false) && met;
    met = reporter.print(kLernkartei, kBareWindow, 0.100, true) && met;
    met = reporter.print(kHistory, kBareWindow, 0.200, true) && met;
    met = reporter.print(kHistoryTopic, kBareWindow, 0.200, true) && met;
    benchmark::Shutdown();
    return met ? 0 : 3;
}
