#pragma once

#include <QString>

class QSqlError;

namespace kapitolo {

// What went wrong with an SQLite file, as the user is told about it.
enum class SqliteFailure { None, Locked, Corrupt, Full, Other };

SqliteFailure classifySqlite(const QSqlError &error);

// Opens (and creates, owner-only from its first byte) an SQLite file as the named Qt SQL
// connection, in WAL mode: a writer killed mid-transaction leaves the last commit intact,
// and readers never wait for a writer. Synchronous NORMAL syncs at checkpoints only: a
// killed program loses nothing, a power cut at most the last transactions. False with
// the failure when it cannot be opened; the connection is then removed again.
bool openPrivateSqlite(const QString &path, const QString &connection, int busyTimeoutMs, SqliteFailure &failure);

// Closes and removes the connection (nothing when there is none).
void closeSqlite(const QString &connection);

} // namespace kapitolo
