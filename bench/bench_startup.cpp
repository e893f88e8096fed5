// Start-up of Kapitolo on a topic folder of 200 documents, to its first painted window,
// against a minimal Qt Widgets program that shows one window. Both end at the same point
// (KAPITOLO_QUIT_AFTER_START); both run on the offscreen platform.

#include "document/document_file.h"
#include "platform/messages.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace kapitolo;

namespace {

class SilentMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons) override { return MessageAnswer::Ok; }
};

struct Fixture {
    QTemporaryDir dir;
    QString folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    Fixture()
    {
        folder = dir.filePath(QStringLiteral("themen"));
        QDir().mkpath(folder);
        SilentMessages messages;
        for (int i = 0; i < 200; ++i) {
            TopicDocument d;
            d.titel = QStringLiteral("Thema %1 – Übung").arg(i, 3, 10, QLatin1Char('0'));
            QImage image(640, 480, QImage::Format_ARGB32);
            image.fill(QColor(40 + i % 200, 120, 200));
            d.baseImage = image;
            for (int k = 0; k < 30; ++k) {
                DocObject o;
                o.Cap = QStringLiteral("Beschriftung %1").arg(k);
                o.Kx = o.Sx = 0.03 * k;
                o.Ky = o.Sy = 0.02 * k;
                d.objects.append(o);
            }
            writeDocument(folder + QStringLiteral("/thema%1.tsr").arg(i, 3, 10, QLatin1Char('0')), d, false, messages);
        }
        // The offscreen screen is 800 x 600 unless told otherwise, and Kapitolo would ask
        // whether to start on so small a display.
        const QString screen = dir.filePath(QStringLiteral("screen.json"));
        QFile config(screen);
        if (config.open(QIODevice::WriteOnly))
            config.write(R"({"screens": [{"name": "Bildschirm", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
                         R"( "logicalDpiX": 96, "logicalDpiY": 96, "dpr": 1}]})");
        config.close();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + screen);
        env.insert(QStringLiteral("KAPITOLO_QUIT_AFTER_START"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
        QDir().mkpath(dir.filePath(QStringLiteral("runtime")));
    }

    void run(benchmark::State &state, const QString &program, const QStringList &args)
    {
        for (auto _ : state) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(program, args);
            if (!p.waitForFinished(60000) || p.exitCode() != 0) {
                state.SkipWithError("the program did not quit by itself");
                return;
            }
        }
    }
};

Fixture *fixture = nullptr;

void BM_KapitoloStartup(benchmark::State &state)
{
    fixture->run(state, QStringLiteral(KAPITOLO_EXECUTABLE), {fixture->folder});
}
BENCHMARK(BM_KapitoloStartup)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_MinimalQtWindow(benchmark::State &state)
{
    fixture->run(state, QStringLiteral(MINIMAL_WINDOW_EXECUTABLE), {});
}
BENCHMARK(BM_MinimalQtWindow)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Fixture f;
    fixture = &f;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
