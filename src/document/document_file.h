#pragma once

#include "document/topic_document.h"

#include <QString>

namespace kapitolo {

class Messages;

// The key list this program writes; readers test keys by substring search.
extern const char kDocumentKeyList[];

enum class ReadResult {
    Ok,
    MissingFile, // nothing happened: the loaded document is unchanged
    Failed,      // the messages were shown and the document is closed
};

// Loads a .tsr file into the document in one pass. On success fileName is the path;
// the caller does the main-window steps (topic folder, numbering, card).
ReadResult readDocument(const QString &path, TopicDocument &document, TopicNavigation &navigation,
                        Messages &messages);

struct DocumentHeader {
    QString vers;
    QString titel;
};

// Reads only the magic, the key list, vers and titel: a few hundred bytes, never the
// image. Silent; false for anything that is not a readable document.
bool readDocumentHeader(const QString &path, DocumentHeader &header);

// Writes every field and the base image as PNG (zlib level 5). The file appears
// complete or not at all: it is written beside the target and renamed over it.
bool writeDocument(const QString &path, TopicDocument &document, bool takeAsCurrent, Messages &messages);

} // namespace kapitolo
