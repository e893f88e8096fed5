// Costs of the learning card: a full build against plain smooth scaling of the
// same base image, a single cover toggle against the full build, hit testing, and a
// freehand stroke (one mouse move) against one copy of the card's visible box.

#include "platform/messages.h"
#include "platform/random.h"
#include "view/card_renderer.h"
#include "view/learning_view.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace kapitolo;

namespace {

class SilentMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons) override { return MessageAnswer::Ok; }
};

QImage largeBaseImage()
{
    static const QImage image = [] {
        QImage img(4000, 3000, QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                line[x] = qRgb((x / 7) & 0xFF, (y / 5) & 0xFF, ((x + y) / 11) & 0xFF);
        }
        return img;
    }();
    return image;
}

// A map with labels in a grid, some with leader lines, covered and numbered.
TopicDocument mapDocument(int labels)
{
    TopicDocument d;
    d.baseImage = largeBaseImage();
    const int columns = 25;
    for (int i = 0; i < labels; ++i) {
        DocObject o;
        o.Typ = i % 10 == 9 ? otInfoPoint : otLabel;
        o.Cap = QStringLiteral("Ort %1").arg(i);
        o.Kx = 0.02 + 0.038 * (i % columns);
        o.Ky = 0.03 + 0.94 * double(i / columns) / qMax(1, (labels + columns - 1) / columns);
        o.Sx = o.Kx + 0.01;
        o.Sy = o.Ky + 0.01;
        o.Sline = i % 3 == 0;
        o.KAusr = 1 + i % 4;
        o.Ebene = o.Typ == otInfoPoint ? layerInfopunkte : layerBeschriftung;
        d.objects.append(o);
    }
    return d;
}

struct Card {
    TopicDocument doc;
    ViewState view;
    CardBitmaps bitmaps;
    NullLearningViewHost host;
    SilentMessages messages;
    Random random{1};
    CardRenderer renderer{doc, view, bitmaps, host, messages};
    LearningView learning{doc, view, renderer, host, messages, random};

    explicit Card(TopicDocument d)
        : doc(std::move(d))
    {
        view.controlSize = QSize(1280, 900);
        view.cardHiddenOutsideQuiz = false;
        for (int i = 0; i < doc.objects.size(); ++i)
            markAt(view.marks, i).displayNo = i + 1;
    }
};

void BM_BuildCardView(benchmark::State &state)
{
    Card card(mapDocument(40));
    for (auto _ : state)
        benchmark::DoNotOptimize(card.renderer.BuildCardView());
}
BENCHMARK(BM_BuildCardView)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PlainSmoothScale(benchmark::State &state)
{
    const QImage base = largeBaseImage();
    for (auto _ : state) {
        QImage scaled = base.scaled(1200, 900, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}
BENCHMARK(BM_PlainSmoothScale)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ToggleOneCover(benchmark::State &state)
{
    Card card(mapDocument(40));
    card.renderer.BuildCardView();
    const int index = 12;
    for (auto _ : state) {
        ObjectMark &o = markAt(card.view.marks, index);
        o.coverState = o.coverState == csCovered ? csUncovered : csCovered;
        card.renderer.DrawObject(card.bitmaps.cardBitmap, index, 0, true, true, false);
    }
}
BENCHMARK(BM_ToggleOneCover)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_HitTest1000(benchmark::State &state)
{
    Card card(mapDocument(1000));
    card.renderer.BuildCardView();
    int i = 0;
    for (auto _ : state) {
        // Points all over the card, most of them between the boxes: the whole list is tried.
        const QPoint p((i * 37) % 1200, (i * 53) % 900);
        benchmark::DoNotOptimize(card.learning.HitTest(p));
        ++i;
    }
}
BENCHMARK(BM_HitTest1000)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// A stroke back and forth across the card, one mouse move of 8 pixels per iteration,
// with the pen (arg 3) or the yellow marker (arg 4).
void BM_PenStrokeMove(benchmark::State &state)
{
    Card card(mapDocument(40));
    card.renderer.BuildCardView();
    card.learning.SelectTool(int(state.range(0)));
    const QPoint origin = card.renderer.displayOrigin();
    const int width = card.bitmaps.display.width();
    const int y = card.bitmaps.display.height() / 2;
    int x = 0;
    int step = 8;
    card.learning.mouseMoved(origin + QPoint(x, y), Qt::NoButton);
    card.learning.mousePressed(origin + QPoint(x, y), Qt::LeftButton);
    for (auto _ : state) {
        if (x + step < 0 || x + step >= width)
            step = -step;
        x += step;
        card.learning.mouseMoved(origin + QPoint(x, y + (x / 8) % 5), Qt::LeftButton);
    }
}
BENCHMARK(BM_PenStrokeMove)->Arg(toolRedPen)->Arg(toolYellowMarker)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// The baseline: the card's visible box copied once into the display, as every window
// change does.
void BM_CopyCardBox(benchmark::State &state)
{
    Card card(mapDocument(40));
    card.renderer.BuildCardView();
    CardBitmaps &b = card.bitmaps;
    const QRect box(QPoint(card.view.windowOffsetX, card.view.windowOffsetY), b.display.size());
    for (auto _ : state) {
        blitImage(b.display, QPoint(0, 0), b.cardBitmap, box);
        benchmark::DoNotOptimize(b.display.constBits());
    }
}
BENCHMARK(BM_CopyCardBox)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
