// The hit test that runs on every mouse move of a dragged tile, over a document of 1000
// objects: the worst case is a tile over empty card, where both passes see every object.

#include "document/topic_document.h"
#include "quiz/tile_layout.h"

#include <benchmark/benchmark.h>

using namespace kapitolo;

namespace {

TopicDocument thousandTargets()
{
    TopicDocument d;
    for (int i = 0; i < 1000; ++i) {
        DocObject o;
        o.Typ = otLabel;
        o.coverState = csOpenQuestion;
        o.displayNo = i + 1;
        const double x = (i % 40) / 40.0;
        const double y = (i / 40) / 25.0;
        o.hitBox = RectD{x, y, x + 0.02, y + 0.03};
        d.objects.append(o);
    }
    return d;
}

void BM_TileHitTestMiss(benchmark::State &state)
{
    const TopicDocument d = thousandTargets();
    // Between the boxes: no first-pass hit, no overlap in the second pass.
    const RectD tile{0.0205, 0.0305, 0.0240, 0.0390};
    for (auto _ : state)
        benchmark::DoNotOptimize(quizHitTest(d, tile, -1, -1));
}
BENCHMARK(BM_TileHitTestMiss);

void BM_TileHitTestLastObject(benchmark::State &state)
{
    const TopicDocument d = thousandTargets();
    const RectD &last = d.objects.last().hitBox;
    const RectD tile{last.left + 0.001, last.top, last.left + 0.15, last.top + 0.04};
    for (auto _ : state)
        benchmark::DoNotOptimize(quizHitTest(d, tile, -1, -1));
}
BENCHMARK(BM_TileHitTestLastObject);

} // namespace

BENCHMARK_MAIN();
