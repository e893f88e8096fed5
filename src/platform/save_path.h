#pragma once

#include <QByteArray>
#include <QString>

namespace kapitolo {

class FileDialogs;
class Messages;

// Writes the bytes beside the target and renames them over it: a reader never sees half
// a file, and a failed write leaves the old file as it was. False on any failure.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
// The same for a file only its owner may read (results that name pupils).
bool writePrivateFileAtomically(const QString &path, const QByteArray &bytes);

// A file name the save dialog gave without extension gets the default one.
QString withDefaultExtension(const QString &path, const QString &extension);

// The save dialog with its filter; a name typed without extension gets the default one,
// and when that completed name exists already it is replaced only after asking. An empty
// result means the user cancelled.
QString askSaveFileName(FileDialogs &dialogs, Messages &messages, const QString &title, const QString &folder,
                        const QString &filter, const QString &extension);

} // namespace kapitolo
