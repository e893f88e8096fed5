// The worksheet of the Europe map sample: building it and writing it as EMF and as PDF,
// against one build of the same card for the learning view (the target is a whole
// sheet in under three card builds), and the EMF's size against the 300 dpi PNG.

#include "document/document_file.h"
#include "platform/messages.h"
#include "sharing/metafile_writer.h"
#include "sharing/sheet_builder.h"
#include "sharing/sheet_output.h"
#include "view/card_renderer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

using namespace kapitolo;

namespace {

class SilentMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons) override { return MessageAnswer::Ok; }
};

const TopicDocument &europe()
{
    static const TopicDocument document = [] {
        TopicDocument d;
        TopicNavigation navigation;
        SilentMessages messages;
        if (readDocument(QStringLiteral(KAPITOLO_EUROPE_SAMPLE), d, navigation, messages) != ReadResult::Ok)
            std::fprintf(stderr, "Beispiel fehlt: %s\n", KAPITOLO_EUROPE_SAMPLE);
        return d;
    }();
    return document;
}

SheetOptions solutionSheet()
{
    SheetOptions o;
    o.kind = skSolutionSheet;
    o.title = europe().titel;
    return o;
}

// The card as the main window builds it: in its default size (870 x 600 pixels for the
// card control) and full screen on a 1366 x 1024 display (as bench_view takes it).
void BM_BuildCardView(benchmark::State &state)
{
    TopicDocument doc = europe();
    ViewState view;
    view.controlSize = QSize(int(state.range(0)), int(state.range(1)));
    CardBitmaps bitmaps;
    NullLearningViewHost host;
    SilentMessages messages;
    CardRenderer renderer(doc, view, bitmaps, host, messages);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.BuildCardView());
}
BENCHMARK(BM_BuildCardView)->Args({870, 600})->Args({1280, 900})->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SheetBuild(benchmark::State &state)
{
    for (auto _ : state) {
        const SheetPicture sheet = BuildSheet(europe(), solutionSheet());
        benchmark::DoNotOptimize(sheet.items.size());
    }
}
BENCHMARK(BM_SheetBuild)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SheetEmf(benchmark::State &state)
{
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray emf = writeEmf(BuildSheet(europe(), solutionSheet()));
        size = emf.size();
        benchmark::DoNotOptimize(emf.constData());
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_SheetEmf)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SheetPdf(benchmark::State &state)
{
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray pdf = writePdf(BuildSheet(europe(), solutionSheet()));
        size = pdf.size();
        benchmark::DoNotOptimize(pdf.constData());
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_SheetPdf)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SheetPng300(benchmark::State &state)
{
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray png = writeSheetPng(BuildSheet(europe(), solutionSheet()));
        size = png.size();
        benchmark::DoNotOptimize(png.constData());
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_SheetPng300)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What the window does on every rebuild: the sheet and its preview picture.
void BM_SheetPreview(benchmark::State &state)
{
    for (auto _ : state) {
        const QImage preview = BuildSheet(europe(), solutionSheet()).render(kSheetWidth);
        benchmark::DoNotOptimize(preview.constBits());
    }
}
BENCHMARK(BM_SheetPreview)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Prints the usual table, then the ratios against the card build of the same run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const std::string name = run.benchmark_name();
            m_time[name] = run.GetAdjustedRealTime();
            m_cpu[name] = run.GetAdjustedCPUTime();
            const auto bytes = run.counters.find("bytes");
            if (bytes != run.counters.end())
                m_bytes[name] = bytes->second.value;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const char *baseline : {"BM_BuildCardView/870/600/min_time:2.000", "BM_BuildCardView/1280/900/min_time:2.000"}) {
            const double card = m_time[baseline];
            const double cardCpu = m_cpu[baseline];
            if (card <= 0 || cardCpu <= 0)
                continue;
            // The card build scales its picture on Qt's thread pool, so the wall-clock time
            // is what the user waits for; the main thread's CPU time is shown beside it.
            std::printf("\nVerhältnis zu %s (Ziel: unter 3), Uhrzeit / CPU-Zeit:\n", baseline);
            for (const auto &[name, time] : m_time)
                if (name.rfind("BM_Sheet", 0) == 0)
                    std::printf("  %-34s %6.2f  %6.2f\n", name.c_str(), time / card, m_cpu[name] / cardCpu);
        }
        const double emf = m_bytes["BM_SheetEmf/min_time:2.000"];
        const double png = m_bytes["BM_SheetPng300/min_time:2.000"];
        const double pdf = m_bytes["BM_SheetPdf/min_time:2.000"];
        if (png > 0)
            std::printf("Größe: EMF %.0f Bytes, PDF %.0f Bytes, PNG 300 dpi %.0f Bytes; EMF/PNG %.2f\n", emf, pdf,
                        png, emf / png);
    }

private:
    std::map<std::string, double> m_time;
    std::map<std::string, double> m_cpu;
    std::map<std::string, double> m_bytes;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
