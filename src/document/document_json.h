#pragma once

#include "document/topic_document.h"

#include <QByteArray>
#include <QString>

namespace kapitolo {

// The document as one JSON object (UTF-8), keys in file order, every float written
// so that it reads back exactly.
QByteArray documentToJson(const TopicDocument &document);

// Builds a document from the same shape; "image" is a PNG path relative to baseFolder.
// Missing keys take their defaults. False with a German explanation in *error.
bool documentFromJson(const QByteArray &json, const QString &baseFolder, TopicDocument &document,
                      QString *error);

// The objects a single-questions document consists of, one set per line of the text
// ("Frage//Antwort"), and the five navigation buttons. Returns the number of questions.
qint32 createQuestionObjects(const QString &fragentext, QList<DocObject> &objects);

// The gap words of a cloze text, in text order (the words between "<<" and ">>").
QStringList clozeGapWords(const QString &lueckentext);

// One otGap object per gap of the text.
void createGapObjects(const QString &lueckentext, QList<DocObject> &objects);

} // namespace kapitolo
