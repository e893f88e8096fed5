#pragma once

#include <QString>

#include <functional>

namespace kapitolo {

// Folders are held with a trailing separator, so that a file name can simply be appended.
QString withTrailingSeparator(const QString &folder);

// True when the text names a folder: it ends with a separator ("/" or the "\" of
// documents made on Windows).
bool endsWithSeparator(const QString &path);

// The folder of the program file, with a trailing separator.
QString programFolder();

// True when this process may create files in the folder (an existing folder with
// write and search permission for the real user).
bool isWritableFolder(const QString &folder);

// The folder of the computer's installation that every user may write, with a
// trailing separator ("/var/lib/kapitolo/"; set when the program is built).
QString sharedDataFolder();

// A folder the program writes into (protocols, best lists, exchange files): the
// program folder's sub-folder when it is writable, as for a program folder that a
// teacher unpacked; otherwise, installed under /opt where pupils may not write, the
// shared folder's sub-folder of the same name when that is writable; else the program
// folder's all the same, so that a write error names the folder a user expects.
QString writableSubFolder(const QString &programFolder, const QString &sharedFolder, const QString &sub,
                          const std::function<bool(const QString &)> &isWritable = isWritableFolder);

// A path written on Windows ("themen\karten.tsr") in this platform's form.
QString fromStoredPath(const QString &path);

} // namespace kapitolo
