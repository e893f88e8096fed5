// The hit test that runs on every mouse move of a dragged tile, over a document of 1000
// objects: the worst case is a tile over empty card, where both passes see every object.

#include "document/topic_document.h"
#include "quiz/tile_layout.h"

#include <benchmark/benchmark.h>

using namespace kapitolo;

namespace {

// A thousand open targets: the document, the quiz's marks and the card's boxes.
struct Targets {
    TopicDocument document;
    ObjectMarks marks;
    CardLayout layout;
};

Targets thousandTargets()
{
    Targets t;
    for (int i = 0; i < 1000; ++i) {
        DocObject o;
        o.Typ = otLabel;
        t.document.objects.append(o);
        t.marks.append(ObjectMark{csOpenQuestion, i + 1});
        const double x = (i % 40) / 40.0;
        const double y = (i / 40) / 25.0;
        ObjectBox box;
        box.hitBox = RectD{x, y, x + 0.02, y + 0.03};
        t.layout.set(i, box);
    }
    return t;
}

void BM_TileHitTestMiss(benchmark::State &state)
{
    const Targets t = thousandTargets();
    // Between the boxes: no first-pass hit, no overlap in the second pass.
    const RectD tile{0.0205, 0.0305, 0.0240, 0.0390};
    for (auto _ : state)
        benchmark::DoNotOptimize(quizHitTest(t.document, t.marks, t.layout, tile, -1, -1));
}
BENCHMARK(BM_TileHitTestMiss);

void BM_TileHitTestLastObject(benchmark::State &state)
{
    const Targets t = thousandTargets();
    const RectD &last = t.layout.hitBox(999);
    const RectD tile{last.left + 0.001, last.top, last.left + 0.15, last.top + 0.04};
    for (auto _ : state)
        benchmark::DoNotOptimize(quizHitTest(t.document, t.marks, t.layout, tile, -1, -1));
}
BENCHMARK(BM_TileHitTestLastObject);

} // namespace

BENCHMARK_MAIN();
