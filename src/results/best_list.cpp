#include "results/best_list.h"

#include "platform/binary_stream.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/wait_cursor.h"
#include "quiz/protocol.h"
#include "quiz/quiz_types.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kapitolo {

namespace {

const char *const kKeys[5] = {"HSC-Name", "HSC-Rechner", "HSC-Beginn", "HSC-Dauer", "HSC-Leistung"};

// A cut-off entry is smaller than this by far; more unreadable bytes than this at the
// end are not the remains of a dead writer but damage we do not cut away.
constexpr qint64 kMaxTornTail = 64 * 1024;

// How long one attempt waits for another writer's lock before it counts as failed.
constexpr int kLockWaitMs = 3000;
constexpr int kLockPollMs = 2;

// fcntl locks belong to the process, so threads of this process are kept apart here.
QMutex &processLock()
{
    static QMutex mutex;
    return mutex;
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Locks the whole file (F_WRLCK or F_RDLCK), polling so that a lock held by a hung
// computer on the share makes this attempt fail instead of hanging the program. A
// file system without locks is used unlocked: one write per entry and the reader's
// tolerance of a cut-off last entry still keep the list readable.
bool lockWholeFile(int fd, short type, Clock &clock)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    const quint32 start = clock.tickCount();
    for (;;) {
        if (::fcntl(fd, F_SETLK, &lock) == 0)
            return true;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
            return true;
        if (errno != EAGAIN && errno != EACCES && errno != EINTR)
            return false;
        if (quint32(clock.tickCount() - start) >= quint32(kLockWaitMs))
            return false;
        clock.busyWait(kLockPollMs, false);
    }
}

bool readAll(int fd, QByteArray &bytes)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size < 0 || info.st_size > INT32_MAX)
        return false;
    bytes.resize(qsizetype(info.st_size));
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool writeAllAt(int fd, const QByteArray &bytes, qint64 offset)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The path still names the file we hold open (nobody deleted or replaced it meanwhile,
// as initiating a network quiz does with the network list).
bool stillSameFile(int fd, const QByteArray &path)
{
    struct stat held {}, named {};
    if (::fstat(fd, &held) != 0 || ::stat(path.constData(), &named) != 0)
        return false;
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino && held.st_nlink > 0;
}

// A list created in a folder that every user of the computer may write (the shared
// best-list folder of an installation, a sticky folder) is for all of them: each pupil
// appends to the list another one began.
void shareWithFolderUsers(int fd, const QByteArray &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    struct stat info {};
    if (::stat(folder.constData(), &info) == 0 && (info.st_mode & S_IWOTH))
        ::fchmod(fd, 0666);
}

// An existing list is opened without O_CREAT: in a sticky folder the kernel may refuse
// O_CREAT on a file of another user (fs.protected_regular) even when it may be written.
int openOrCreate(const QByteArray &path)
{
    for (int tries = 0; tries < 3; ++tries) {
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        const int created = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (created >= 0) {
            shareWithFolderUsers(created, path);
            return created;
        }
        if (errno != EEXIST)
            return -1;
        // Another writer created it just now: open that one.
    }
    return -1;
}

// Opens (creating only when missing) and write-locks the file the path names.
int openLockedForAppend(const QByteArray &path, Clock &clock)
{
    for (int tries = 0; tries < 3; ++tries) {
        const int fd = openOrCreate(path);
        if (fd < 0)
            return -1;
        if (!lockWholeFile(fd, F_WRLCK, clock)) {
            ::close(fd);
            return -1;
        }
        if (stillSameFile(fd, path))
            return fd;
        ::close(fd); // replaced under us: start again with the file now there
    }
    return -1;
}

} // namespace

QString bestListName(const QString &name)
{
    return name.trimmed().isEmpty() ? kNoName : name;
}

BestListEntry entryFromQuiz(const QuizRun &run, const QuizScore &score, const QString &computer)
{
    BestListEntry entry;
    entry.name = bestListName(run.participantName);
    entry.computer = computer;
    entry.start = run.startTime;
    entry.durationMs = run.elapsedMs;
    entry.end = entry.start + (entry.durationMs / 1000) / 86400.0;
    entry.performance = score.totalPerformance;
    return entry;
}

QByteArray encodeBestListHead()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    BinaryWriter writer(buffer);
    writer.writeBytes(QByteArray(kBestListMagic));
    writer.writeBytes(QByteArray(kBestListFieldList));
    return buffer.data();
}

QByteArray encodeBestListEntry(const BestListEntry &entry, const QString &fieldList)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    BinaryWriter writer(buffer);
    // Only the fields the file's own field list names, so a reader of that file stays
    // in step.
    if (fieldList.contains(QLatin1String(kKeys[0])))
        writer.writeString(bestListName(entry.name));
    if (fieldList.contains(QLatin1String(kKeys[1])))
        writer.writeString(entry.computer);
    if (fieldList.contains(QLatin1String(kKeys[2])))
        writer.writeFloat64(entry.start);
    if (fieldList.contains(QLatin1String(kKeys[3])))
        writer.writeInt32(entry.durationMs);
    if (fieldList.contains(QLatin1String(kKeys[4])))
        writer.writeFloat64(entry.performance);
    return buffer.data();
}

bool parseBestList(const QByteArray &bytes, BestListParse &result)
{
    result = BestListParse();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    BinaryReader reader(buffer);
    QByteArray magic;
    if (!reader.readBytes(magic) || magic != QByteArray(kBestListMagic))
        return false;
    if (!reader.readString(result.fieldList))
        return false;
    result.headLength = buffer.pos();
    result.validLength = result.headLength;

    bool has[5];
    for (int i = 0; i < 5; ++i)
        has[i] = result.fieldList.contains(QLatin1String(kKeys[i]));
    while (reader.bytesLeft() > 0) {
        BestListEntry entry;
        bool ok = true;
        if (has[0])
            ok = ok && reader.readString(entry.name);
        if (has[1])
            ok = ok && reader.readString(entry.computer);
        if (has[2])
            ok = ok && reader.readFloat64(entry.start);
        if (has[3])
            ok = ok && reader.readInt32(entry.durationMs);
        if (has[4])
            ok = ok && reader.readFloat64(entry.performance);
        if (!ok) {
            result.damagedTail = true;
            break;
        }
        if (buffer.pos() == result.validLength)
            break; // a field list without any known field: entries of no bytes
        entry.end = entry.start + (entry.durationMs / 1000) / 86400.0;
        result.entries.append(entry);
        result.validLength = buffer.pos();
    }
    return true;
}

bool appendBestListEntry(const QString &path, const BestListEntry &entry, Clock &clock)
{
    WaitCursorScope waitCursor;
    QMutexLocker guard(&processLock());
    const QByteArray name = QFile::encodeName(path);
    Descriptor file(openLockedForAppend(name, clock));
    if (file.fd() < 0)
        return false;

    QByteArray bytes;
    if (!readAll(file.fd(), bytes))
        return false;
    const QByteArray head = encodeBestListHead();
    QByteArray toWrite;
    qint64 offset = 0;
    if (bytes.size() < head.size() && head.startsWith(bytes)) {
        // Empty, or a head cut short by a writer that died: start the file afresh.
        toWrite = head + encodeBestListEntry(entry);
    } else {
        BestListParse parsed;
        if (!parseBestList(bytes, parsed))
            return false; // not a best list: leave it alone
        bool knowsAField = false;
        for (const char *key : kKeys)
            knowsAField = knowsAField || parsed.fieldList.contains(QLatin1String(key));
        if (!knowsAField)
            return false; // an entry would be empty, and what follows the head is unknown
        if (bytes.size() - parsed.validLength > kMaxTornTail)
            return false;
        offset = parsed.validLength;
        toWrite = encodeBestListEntry(entry, parsed.fieldList);
    }
    if (offset < bytes.size() && ::ftruncate(file.fd(), off_t(offset)) != 0)
        return false;
    if (!writeAllAt(file.fd(), toWrite, offset) || ::fsync(file.fd()) != 0) {
        // Leave no half entry behind for the next reader.
        if (::ftruncate(file.fd(), off_t(offset)) == 0)
            ::fsync(file.fd());
        return false;
    }
    return true; // closing the descriptor releases the lock
}

bool removeBestListEntry(const QString &path, const BestListEntry &entry, Clock &clock)
{
    WaitCursorScope waitCursor;
    QMutexLocker guard(&processLock());
    const QByteArray name = QFile::encodeName(path);
    if (!QFile::exists(path))
        return false;
    Descriptor file(openLockedForAppend(name, clock));
    if (file.fd() < 0)
        return false;
    QByteArray bytes;
    if (!readAll(file.fd(), bytes))
        return false;
    BestListParse parsed;
    if (!parseBestList(bytes, parsed))
        return false;
    // The entry as the file gives it back: its name in the file's code page, its end computed.
    const BestListEntry stored = [&] {
        BestListParse again;
        parseBestList(encodeBestListHead() + encodeBestListEntry(entry), again);
        return again.entries.value(0, entry);
    }();
    const qsizetype at = parsed.entries.indexOf(stored);
    if (at < 0)
        return false;
    parsed.entries.removeAt(at);
    QByteArray rewritten = bytes.left(parsed.headLength);
    for (const BestListEntry &e : std::as_const(parsed.entries))
        rewritten += encodeBestListEntry(e, parsed.fieldList);
    if (!writeAllAt(file.fd(), rewritten, 0) || ::ftruncate(file.fd(), off_t(rewritten.size())) != 0
        || ::fsync(file.fd()) != 0)
        return false;
    return true;
}

bool readBestList(const QString &path, BestList &list, Clock &clock)
{
    list.clear();
    QMutexLocker guard(&processLock());
    const QByteArray name = QFile::encodeName(path);
    Descriptor file(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    if (file.fd() < 0)
        return false;
    if (!lockWholeFile(file.fd(), F_RDLCK, clock))
        return false;
    WaitCursorScope waitCursor;
    QByteArray bytes;
    if (!readAll(file.fd(), bytes))
        return false;
    BestListParse parsed;
    if (!parseBestList(bytes, parsed))
        return false;
    list = parsed.entries;
    return true;
}

void rankBestList(BestList &list)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        qsizetype best = i;
        for (qsizetype j = i + 1; j < list.size(); ++j) {
            const BestListEntry &a = list.at(j);
            const BestListEntry &b = list.at(best);
            if (a.performance > b.performance || (a.performance == b.performance && a.durationMs < b.durationMs))
                best = j;
        }
        if (best != i)
            list.swapItemsAt(i, best);
    }
}

QStringList bestListHeader()
{
    return {QStringLiteral("Pos."),     QStringLiteral("Name"),           QStringLiteral("Rechner"),
            QStringLiteral("Leistung"), QStringLiteral("Zeit (Min:Sek)"), QStringLiteral("Datum/Uhrzeit (Ende)")};
}

QString bestListDateTimeText(double dayNumber, const QLocale &locale)
{
    return localDateTimeText(dayNumber, locale);
}

QList<QStringList> bestListRows(const BestList &list, const QLocale &locale)
{
    QList<QStringList> rows;
    rows << bestListHeader();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const BestListEntry &e = list.at(i);
        rows << QStringList{QString::number(i + 1), e.name, e.computer, percentText(e.performance),
                            clockText(e.durationMs / 1000), bestListDateTimeText(e.end, locale)};
    }
    if (list.isEmpty())
        rows << QStringList(6, QString());
    return rows;
}

QString formulaSafe(QString text)
{
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    return text;
}

QString bestListText(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (QString cell : row) {
            cell = formulaSafe(cell);
            for (QChar &c : cell)
                if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                    c = QLatin1Char(' ');
            cells << cell;
        }
        text += cells.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    }
    return text;
}

QList<int> bestListColumnWidths()
{
    return {40, 200, 100, 80, 80, 140};
}

QList<int> bestListColumnAlignments()
{
    return {0, -1, -1, 0, 0, -1};
}

QString individualBestListPath(const QString &bestListFolder, const QString &documentFileName)
{
    const QString base = QFileInfo(fromStoredPath(documentFileName)).completeBaseName();
    return withTrailingSeparator(bestListFolder) + base + QStringLiteral(".hsc");
}

QString networkBestListPath(const QString &communicationFolder, const QString &channel)
{
    // Named like every other exchange file of the channel: folder, channel, "-", name.
    return communicationFolder + channel + QStringLiteral("-tsrnetzuebung.hsc");
}

bool saveBestListEntryWithRetries(const QString &path, const BestListEntry &entry, bool networkMode, Clock &clock,
                                  Messages &messages)
{
    for (int attempt = 1; attempt <= 5; ++attempt) {
        if (appendBestListEntry(path, entry, clock))
            return true;
        if (attempt < 5)
            clock.busyWait(100, false);
    }
    QString text = writeErrorText(path);
    if (!networkMode)
        text += QStringLiteral("\r\n\r\nDie Bestenliste konnte nicht gespeichert werden. Überprüfen Sie die "
                               "Einstellungen unter \"Optionen | Ordner für Protokolle und Bestenlisten\".");
    messages.error(text);
    return false;
}

bool loadBestListWithRetries(const QString &path, BestList &list, bool networkMode, Clock &clock, Messages &messages)
{
    for (int attempt = 1; attempt <= 5; ++attempt) {
        if (readBestList(path, list, clock))
            return true;
        if (attempt < 5)
            clock.busyWait(100, false);
    }
    const QString hint = networkMode
        ? QStringLiteral("Möglicherweise existiert die Datei noch nicht, weil noch kein Teilnehmer das Quiz "
                         "beendet hat.")
        : QStringLiteral("Überprüfen Sie die Einstellungen im Menü \"Optionen\", um die Bestenliste zu nutzen. "
                         "Möglicherweise existiert die Datei noch nicht, weil noch niemand das Quiz durchgeführt hat.");
    messages.error(readErrorText(path) + QStringLiteral("\r\n\r\n") + hint);
    return false;
}

} // namespace kapitolo
