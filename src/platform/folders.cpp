#include "platform/folders.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QDir>
#include <QFile>

#include <unistd.h>

#ifndef KAPITOLO_SHARED_FOLDER
#define KAPITOLO_SHARED_FOLDER "/var/lib/kapitolo/"
#endif

namespace kapitolo {

QString withTrailingSeparator(const QString &folder)
{
    if (folder.isEmpty() || endsWithSeparator(folder))
        return folder;
    return folder + QLatin1Char('/');
}

bool endsWithSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
}

QString programFolder()
{
    return withTrailingSeparator(QCoreApplication::applicationDirPath());
}

bool isWritableFolder(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    return ::access(QFile::encodeName(fromStoredPath(folder)).constData(), W_OK | X_OK) == 0
        && QFileInfo(fromStoredPath(folder)).isDir();
}

QString sharedDataFolder()
{
    return withTrailingSeparator(QStringLiteral(KAPITOLO_SHARED_FOLDER));
}

QString writableSubFolder(const QString &programFolder, const QString &sharedFolder, const QString &sub,
                          const std::function<bool(const QString &)> &isWritable)
{
    const QString own = withTrailingSeparator(programFolder) + sub + QLatin1Char('/');
    if (isWritable(own) || sharedFolder.isEmpty())
        return own;
    const QString shared = withTrailingSeparator(sharedFolder) + sub + QLatin1Char('/');
    return isWritable(shared) ? shared : own;
}

QString fromStoredPath(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

} // namespace kapitolo
