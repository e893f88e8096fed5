#pragma once

#include "document/topic_document.h"

#include <QStringList>

namespace kapitolo {

// What a teacher should fix in a document before pupils use it: gaps of the text
// without a gap object and the reverse, positions off the card, labels without a
// caption, questions without an answer. Empty when the document is clean.
// Also reports a "?" that stands where a letter was lost (a "?" directly before a
// letter, as in "Chi?in?u"; links are left alone, their addresses may carry queries).
QStringList checkDocument(const TopicDocument &document);

// The texts a topic file cannot hold: one line for each field with a character outside
// Windows-1252, naming the field, the object and the first such character. Empty when
// the document can be written without losing a letter.
QStringList unencodableTexts(const TopicDocument &document);

// Positions (0-based) of the "?" in the text that stand where a letter was lost.
QList<qsizetype> lostLetterPositions(const QString &text);

} // namespace kapitolo
