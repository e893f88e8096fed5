#pragma once

#include "document/topic_document.h"

#include <QStringList>

namespace kapitolo {

// What a teacher should fix in a document before pupils use it: gaps of the text
// without a gap object and the reverse, positions off the card, labels without a
// caption, questions without an answer. Empty when the document is clean.
QStringList checkDocument(const TopicDocument &document);

} // namespace kapitolo
