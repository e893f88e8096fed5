#pragma once

#include <QString>

namespace kapitolo {

// Folders are held with a trailing separator, so that a file name can simply be appended.
QString withTrailingSeparator(const QString &folder);

// True when the text names a folder: it ends with a separator ("/" or the "\" of
// documents made on Windows).
bool endsWithSeparator(const QString &path);

// The folder of the program file, with a trailing separator.
QString programFolder();

// A path written on Windows ("themen\karten.tsr") in this platform's form.
QString fromStoredPath(const QString &path);

} // namespace kapitolo
