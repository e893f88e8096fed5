#pragma once

#include "document/topic_document.h"
#include "view/card_layout.h"

#include <QImage>
#include <QSize>

namespace kapitolo {

class Messages;
class Random;

struct CardSnapshotOptions {
    QSize controlSize{870, 600};
    int zoomIndex = 0;
    int numberingMode = 1;
    bool uncover = false;
};

// The learning card of a document drawn off screen, as the display bitmap of an
// image control of the given size receives it: no quiz, every layer on. The boxes the
// renderer gave the objects and their marks (covers, numbers) go to layout and marks
// where given. A null image when the card cannot be built (the renderer has reported why).
QImage renderCardSnapshot(TopicDocument &document, const CardSnapshotOptions &options, Messages &messages,
                          Random &random, CardLayout *layout = nullptr, ObjectMarks *marks = nullptr);

} // namespace kapitolo
