#include "platform/save_path.h"

#include <QSaveFile>

#include "platform/messages.h"
#include "platform/services.h"

#include <QFileInfo>

namespace kapitolo {

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writePrivateFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString withDefaultExtension(const QString &path, const QString &extension)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + extension;
}

QString askSaveFileName(FileDialogs &dialogs, Messages &messages, const QString &title, const QString &folder,
                        const QString &filter, const QString &extension)
{
    int filterIndex = 0;
    const QString path = dialogs.saveFileName(title, folder, QString(), filter, &filterIndex);
    if (path.isEmpty())
        return {};
    const QString completed = withDefaultExtension(path, extension);
    // The dialog asked about the name as typed; a name completed here may hit another file.
    if (completed != path && QFileInfo::exists(completed)
        && !messages.confirm(QStringLiteral("Die Datei \"") + completed
                             + QStringLiteral("\" existiert bereits.\r\nSoll sie ersetzt werden?")))
        return {};
    return completed;
}

} // namespace kapitolo
