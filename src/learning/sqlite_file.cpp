#include "learning/sqlite_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kapitolo {

SqliteFailure classifySqlite(const QSqlError &error)
{
    // The driver reports SQLite's extended result code; its low byte is the primary one.
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case 0:
        return error.type() == QSqlError::NoError ? SqliteFailure::None : SqliteFailure::Other;
    case 5:  // SQLITE_BUSY
    case 6:  // SQLITE_LOCKED
        return SqliteFailure::Locked;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return SqliteFailure::Corrupt;
    case 13: // SQLITE_FULL
        return SqliteFailure::Full;
    default:
        return SqliteFailure::Other;
    }
}

bool openPrivateSqlite(const QString &path, const QString &connection, int busyTimeoutMs, SqliteFailure &failure)
{
    failure = SqliteFailure::Other;
    QDir().mkpath(QFileInfo(path).absolutePath());
    // SQLite gives its journal files the mode of the database file.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    // A file another program made for us is made ours alone too, with its journal files.
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
    for (const char *suffix : {"-wal", "-shm"})
        ::chmod(QByteArray(native + suffix).constData(), S_IRUSR | S_IWUSR);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMs))
            && q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && q.next()
            && q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        if (!ok)
            failure = classifySqlite(q.lastError().isValid() ? q.lastError() : db.lastError());
        if (failure == SqliteFailure::None)
            failure = SqliteFailure::Other;
    }
    if (!ok) {
        closeSqlite(connection);
        return false;
    }
    failure = SqliteFailure::None;
    return true;
}

void closeSqlite(const QString &connection)
{
    if (!QSqlDatabase::contains(connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace kapitolo
