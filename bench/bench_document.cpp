// Reading documents, each measured against the cheapest plain way to touch the same bytes:
// - the full reader on a 4000 x 3000 map with 500 objects against libpng alone decoding the
//   same PNG datastream from its own file into a 32-bit buffer;
// - the header reader on 1000 documents against opening each file with QFile and reading
//   its first 512 bytes.
// The fixtures are written with the program's own writer into a temporary folder at start.
// After the runs the ratios (median over the repetitions, real and CPU time) are printed.

#include "document/document_file.h"
#include "platform/png_codec.h"
#include "platform/messages.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace kapitolo;

namespace {

constexpr int kImageWidth = 4000;
constexpr int kImageHeight = 3000;
constexpr int kObjectCount = 500;
constexpr int kHeaderFileCount = 1000;

const char kReadDocument[] = "read_document/4000x3000/500_objects";
const char kLibpngSimplified[] = "libpng_simplified/4000x3000";
const char kLibpngClassic[] = "libpng_classic/4000x3000";
const char kReadHeaders[] = "read_header/1000_documents";
const char kQFileHead[] = "qfile_open_read_512/1000_files";

class CountingMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &text, MessageButtons) override
    {
        ++count;
        last = text;
        return MessageAnswer::Ok;
    }
    int count = 0;
    QString last;
};

// A map-like picture: broad colour gradients, rolling "relief" of a few overlaid waves,
// a river of darker blue and per-pixel sensor noise, so PNG filters and zlib work as
// hard as they do on a scanned map or a photo, not on a flat colour.
QImage mapLikeImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    std::mt19937 noise(12345);
    std::uniform_int_distribution<int> jitter(-6, 6);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double fy = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const double relief = 0.5 + 0.25 * std::sin(fx * 23.0 + std::sin(fy * 7.0) * 3.0)
                + 0.15 * std::cos(fy * 31.0 - fx * 11.0) + 0.1 * std::sin((fx + fy) * 67.0);
            const double river = std::abs(fy - 0.5 - 0.2 * std::sin(fx * 9.0));
            int r = int(90 + 120 * relief * (1.0 - fy * 0.4));
            int g = int(110 + 100 * relief + 30 * fx);
            int b = int(70 + 60 * (1.0 - relief) + 40 * fy);
            if (river < 0.01) {
                r = 60;
                g = 110;
                b = 200;
            }
            r = std::clamp(r + jitter(noise), 0, 255);
            g = std::clamp(g + jitter(noise), 0, 255);
            b = std::clamp(b + jitter(noise), 0, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

TopicDocument benchmarkDocument(const QImage &image)
{
    static const char *const places[] = {"Berlin", "Rio de Janeiro", "Bad\r\nEms", "Frankfurt am Main",
                                         "Köln", "\"Neue\" Stadt, Süd", "Garmisch-Partenkirchen", "Ulm"};
    TopicDocument d;
    d.titel = QStringLiteral("Städte und Flüsse Mitteleuropas");
    d.autor = QStringLiteral("Fachschaft Erdkunde");
    d.bemerkung = QStringLiteral("Klasse 7, physische Karte");
    d.DokTyp = dtImageLabelling;
    d.RandErw = RectD{0.05, 0.05, 0.05, 0.05};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < kObjectCount; ++i) {
        DocObject o;
        o.Sx = unit(random);
        o.Sy = unit(random);
        o.Kx = o.Sx + 0.02;
        o.Ky = o.Sy - 0.01;
        o.Cap = QString::fromUtf8(places[i % 8]) + QLatin1Char(' ') + QString::number(i);
        o.Ebene = layerBeschriftung;
        o.Typ = i % 10 == 0 ? otInfoPoint : otLabel;
        o.Sline = i % 2;
        o.KAusrAkt = i % 3;
        d.objects.append(o);
    }
    d.baseImage = image;
    return d;
}

struct Fixtures {
    QTemporaryDir dir;
    QString documentPath;
    std::string pngPath;
    qint64 pngSize = 0;
    QStringList headerPaths;

    bool create()
    {
        if (!dir.isValid())
            return false;
        const QImage image = mapLikeImage(kImageWidth, kImageHeight);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!encodePng(image, png, 5))
            return false;
        pngSize = png.data().size();
        pngPath = dir.filePath(QStringLiteral("karte.png")).toStdString();
        QFile pngFile(QString::fromStdString(pngPath));
        if (!pngFile.open(QIODevice::WriteOnly) || pngFile.write(png.data()) != pngSize)
            return false;
        pngFile.close();

        CountingMessages messages;
        TopicDocument document = benchmarkDocument(image);
        documentPath = dir.filePath(QStringLiteral("karte.tsr"));
        if (!writeDocument(documentPath, document, false, messages))
            return false;
        // The baseline decodes exactly the datastream the reader meets at the end of the document.
        QFile written(documentPath);
        if (!written.open(QIODevice::ReadOnly) || !written.readAll().endsWith(png.data()))
            return false;

        // The topic list's view of a folder: ordinary small documents with real titles.
        TopicDocument small = benchmarkDocument(mapLikeImage(160, 120));
        small.objects.resize(20);
        for (int i = 0; i < kHeaderFileCount; ++i) {
            small.titel = QStringLiteral("Thema %1: Flüsse, Gebirge und Städte").arg(i, 4, 10, QLatin1Char('0'));
            const QString path = dir.filePath(QStringLiteral("thema%1.tsr").arg(i, 4, 10, QLatin1Char('0')));
            if (!writeDocument(path, small, false, messages))
                return false;
            headerPaths << path;
        }
        return true;
    }
};

void readDocumentBench(benchmark::State &state, const Fixtures &f)
{
    for (auto _ : state) {
        TopicDocument document;
        TopicNavigation navigation;
        CountingMessages messages;
        if (readDocument(f.documentPath, document, navigation, messages) != ReadResult::Ok
            || document.objects.size() != kObjectCount || document.baseImage.width() != kImageWidth) {
            state.SkipWithError("the document could not be read");
            break;
        }
        benchmark::DoNotOptimize(document.baseImage.constBits());
    }
    state.SetBytesProcessed(state.iterations() * f.pngSize);
}

void libpngSimplifiedBench(benchmark::State &state, const Fixtures &f)
{
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, f.pngPath.c_str())) {
            state.SkipWithError(image.message);
            break;
        }
        image.format = PNG_FORMAT_BGRA; // the reader's in-memory order on this machine
        std::unique_ptr<png_byte[]> pixels(new png_byte[PNG_IMAGE_SIZE(image)]);
        if (!png_image_finish_read(&image, nullptr, pixels.get(), 0, nullptr)) {
            state.SkipWithError(image.message);
            png_image_free(&image);
            break;
        }
        benchmark::DoNotOptimize(pixels.get());
    }
    state.SetBytesProcessed(state.iterations() * f.pngSize);
}

// The classic API with stdio and the fewest transforms that give 8-bit RGBA from an
// 8-bit RGB file. Kept free of C++ objects with destructors because of the longjmp.
bool classicDecode(const char *path, png_bytep pixels, png_uint_32 width, png_uint_32 height)
{
    FILE *file = std::fopen(path, "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_bytep *rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * height));
    bool ok = false;
    if (png && info && rows && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_read_info(png, info);
        if (png_get_image_width(png, info) == width && png_get_image_height(png, info) == height
            && png_get_bit_depth(png, info) == 8 && png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB) {
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
            png_read_update_info(png, info);
            for (png_uint_32 y = 0; y < height; ++y)
                rows[y] = pixels + size_t(y) * width * 4;
            png_read_image(png, rows);
            png_read_end(png, nullptr);
            ok = true;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(rows);
    std::fclose(file);
    return ok;
}

void libpngClassicBench(benchmark::State &state, const Fixtures &f)
{
    for (auto _ : state) {
        std::unique_ptr<png_byte[]> pixels(new png_byte[size_t(kImageWidth) * kImageHeight * 4]);
        if (!classicDecode(f.pngPath.c_str(), pixels.get(), kImageWidth, kImageHeight)) {
            state.SkipWithError("libpng could not decode the image");
            break;
        }
        benchmark::DoNotOptimize(pixels.get());
    }
    state.SetBytesProcessed(state.iterations() * f.pngSize);
}

void readHeadersBench(benchmark::State &state, const Fixtures &f)
{
    for (auto _ : state) {
        for (const QString &path : f.headerPaths) {
            DocumentHeader header;
            if (!readDocumentHeader(path, header) || header.titel.isEmpty()) {
                state.SkipWithError("a header could not be read");
                return;
            }
            benchmark::DoNotOptimize(header.titel.constData());
        }
    }
    state.SetItemsProcessed(state.iterations() * f.headerPaths.size());
}

void qfileHeadBench(benchmark::State &state, const Fixtures &f)
{
    char head[512];
    for (auto _ : state) {
        for (const QString &path : f.headerPaths) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file.read(head, 512) != 512) {
                state.SkipWithError("a file could not be read");
                return;
            }
            benchmark::DoNotOptimize(head);
        }
    }
    state.SetItemsProcessed(state.iterations() * f.headerPaths.size());
}

// Prints as usual and keeps every repetition's time per iteration, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            Times &t = m_times[run.run_name.function_name];
            t.real.push_back(run.real_accumulated_time / double(run.iterations));
            t.cpu.push_back(run.cpu_accumulated_time / double(run.iterations));
        }
    }

    // False when a target is missed or a benchmark did not run.
    bool printRatio(const char *name, const std::vector<const char *> &baselines, double target)
    {
        const auto it = m_times.find(name);
        if (it == m_times.end())
            return true; // filtered out
        const char *best = nullptr;
        double bestReal = 0;
        for (const char *b : baselines) {
            const auto bt = m_times.find(b);
            if (bt != m_times.end() && (!best || median(bt->second.real) < bestReal)) {
                best = b;
                bestReal = median(bt->second.real);
            }
        }
        if (!best) {
            std::printf("%s: no baseline ran, no ratio\n", name);
            return true;
        }
        const Times &t = it->second;
        const Times &b = m_times[best];
        const double real = median(t.real) / median(b.real);
        const double cpu = median(t.cpu) / median(b.cpu);
        const double low = *std::min_element(t.real.begin(), t.real.end())
            / *std::min_element(b.real.begin(), b.real.end());
        const bool met = real <= target;
        std::printf("RATIO %s / %s: %.3f real (median %.2f ms / %.2f ms, %zu runs), %.3f CPU, %.3f best-of "
                    "real; target <= %.2f: %s\n",
                    name, best, real, median(t.real) * 1e3, median(b.real) * 1e3, t.real.size(), cpu, low, target,
                    met ? "met" : "MISSED");
        return met;
    }

private:
    struct Times {
        std::vector<double> real;
        std::vector<double> cpu;
    };
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    std::map<std::string, Times> m_times;
};

} // namespace

int main(int argc, char **argv)
{
    // Repeat each benchmark and shuffle the repetitions, so that load from other
    // processes falls on reader and baseline alike. Flags given later override these.
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
    Fixtures fixtures;
    if (!fixtures.create()) {
        std::fprintf(stderr, "The fixtures could not be written.\n");
        return 1;
    }
    std::fprintf(stderr, "Base image PNG: %lld bytes; fixtures in %s\n", static_cast<long long>(fixtures.pngSize),
                 qPrintable(fixtures.dir.path()));

    benchmark::RegisterBenchmark(kReadDocument, readDocumentBench, std::cref(fixtures))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(kLibpngSimplified, libpngSimplifiedBench, std::cref(fixtures))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(kLibpngClassic, libpngClassicBench, std::cref(fixtures))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(kReadHeaders, readHeadersBench, std::cref(fixtures))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(kQFileHead, qfileHeadBench, std::cref(fixtures))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    bool met = reporter.printRatio(kReadDocument, {kLibpngSimplified, kLibpngClassic}, 1.15);
    met = reporter.printRatio(kReadHeaders, {kQFileHead}, 1.5) && met;
    benchmark::Shutdown();
    return met ? 0 : 3;
}
