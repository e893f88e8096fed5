#pragma once

#include <QCursor>
#include <QString>

namespace kapitolo {

// One of the program's named cursors ("STIFT5", "HAND", ... see cursor_shapes.h), read
// from data/cursors/ in the program folder. A missing or unreadable picture gives the
// nearest standard cursor, an unknown name the arrow.
QCursor namedCursor(const QString &name);

// The same from another folder (with or without a trailing separator).
QCursor namedCursor(const QString &name, const QString &folder);

} // namespace kapitolo
