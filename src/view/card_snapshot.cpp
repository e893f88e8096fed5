#include "view/card_snapshot.h"

#include "view/card_renderer.h"
#include "view/learning_view.h"

namespace kapitolo {

QImage renderCardSnapshot(TopicDocument &document, const CardSnapshotOptions &options, Messages &messages,
                          Random &random, CardLayout *layout, ObjectMarks *marks)
{
    ViewState view;
    view.marks = ObjectMarks(document.objects.size());
    view.controlSize = options.controlSize;
    CardBitmaps bitmaps;
    NullLearningViewHost host;
    CardRenderer renderer(document, view, bitmaps, host, messages);
    LearningView learningView(document, view, renderer, host, messages, random);
    learningView.SetNumbering(options.numberingMode, false);
    if (options.uncover)
        for (ObjectMark &mark : view.marks)
            mark.coverState = csUncovered;
    const int zoom = qBound(0, options.zoomIndex, kMaxZoomIndex);
    view.zoomIndex = zoom;
    view.zoomFactor = kZoomTable[zoom];
    if (!renderer.BuildCardView())
        return QImage();
    if (layout)
        *layout = bitmaps.layout;
    if (marks)
        *marks = view.marks;
    return renderer.windowImage();
}

} // namespace kapitolo
