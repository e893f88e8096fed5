// libFuzzer target for the best-list file (.hsc): every input is read as a file the way
// the best-list window reads it, ranked and turned into the window's rows; then one
// entry is appended to it the way the end of a quiz does. Nothing may crash, and:
// - what the reader accepts, written again with the file's own field list, reads back
//   as the same entries;
// - an append to a list the reader accepts keeps every entry and adds exactly one,
//   and an append to anything else leaves the file as it was.
//
// An empty or missing corpus folder (the first argument that is not a flag) is filled
// with seed lists made by the writer.

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "results/best_list.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace kapitolo;

namespace {

std::unique_ptr<QTemporaryDir> g_dir;
QString g_input;

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_best_list_reader: %s\n", what);
    std::abort();
}

// A clock whose waits return at once: a lock that is not free fails the attempt.
class InstantClock : public Clock
{
public:
    quint32 tickCount() override { return m_tick += 1000; }
    double now() override { return 45000.5; }
    void busyWait(int milliseconds, bool) override { m_tick += quint32(milliseconds); }
    void callAfter(int milliseconds, QObject *, std::function<void()> then) override
    {
        m_tick += quint32(milliseconds);
        then();
    }

private:
    quint32 m_tick = 0;
};

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameEntries(const BestList &a, const BestList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const BestListEntry &x = a.at(i);
        const BestListEntry &y = b.at(i);
        if (bestListName(x.name) != bestListName(y.name) || x.computer != y.computer || !sameBits(x.start, y.start)
            || x.durationMs != y.durationMs || !sameBits(x.performance, y.performance))
            return false;
    }
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const char *data, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data, size) == size;
}

QByteArray headWith(const QByteArray &fieldList)
{
    QByteArray out;
    auto string = [&out](const QByteArray &s) {
        const qint32 n = qint32(s.size());
        out.append(reinterpret_cast<const char *>(&n), 4);
        out.append(s);
    };
    string(kBestListMagic);
    string(fieldList);
    return out;
}

void writeSeeds(const QString &folder)
{
    BestListEntry a{QStringLiteral("Anna Müller"), QStringLiteral("RAUM-12"), 45000.25, 0, 61999, 0.875};
    BestListEntry b{QStringLiteral("   "), QStringLiteral("PC"), 45001.5, 0, 600000, 1.0};
    BestListEntry c{QStringLiteral("Şule"), QString(), -3.5, 0, -5, -0.25};
    int written = 0;
    auto seed = [&](const char *name, const QByteArray &bytes) {
        if (writeFile(QDir(folder).filePath(QLatin1String(name)), bytes.constData(), bytes.size()))
            ++written;
    };
    seed("empty.hsc", QByteArray());
    seed("head.hsc", encodeBestListHead());
    seed("three.hsc", encodeBestListHead() + encodeBestListEntry(a) + encodeBestListEntry(b) + encodeBestListEntry(c));
    const QByteArray twoFields = "|HSC-Name|HSC-Leistung|";
    seed("two-fields.hsc", headWith(twoFields) + encodeBestListEntry(a, QString::fromLatin1(twoFields))
                               + encodeBestListEntry(c, QString::fromLatin1(twoFields)));
    const QByteArray full = encodeBestListHead() + encodeBestListEntry(a) + encodeBestListEntry(b);
    seed("torn.hsc", full.left(full.size() - 5));
    std::fprintf(stderr, "fuzz_best_list_reader: %d seed lists written to %s\n", written, qPrintable(folder));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The appender syncs every write: on a memory file system that costs nothing.
    const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                            : QDir::tempPath();
    g_dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/fuzz-hsc-XXXXXX"));
    if (!g_dir->isValid())
        fail("no temporary folder");
    g_input = g_dir->filePath(QStringLiteral("input.hsc"));

    for (int i = 1; i < *argc; ++i) {
        const char *arg = (*argv)[i];
        if (arg[0] == '-')
            continue;
        const QString path = QString::fromLocal8Bit(arg);
        if (!QFileInfo::exists(path))
            QDir().mkpath(path);
        if (QFileInfo(path).isDir() && QDir(path).isEmpty(QDir::Files | QDir::NoDotAndDotDot))
            writeSeeds(path);
        break;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    if (!writeFile(g_input, bytes, qint64(size)))
        fail("cannot write the input file");
    const QByteArray input(bytes, qsizetype(size));

    InstantClock clock;
    BestList list;
    const bool read = readBestList(g_input, list, clock);
    BestListParse parsed;
    const bool parsedOk = parseBestList(input, parsed);
    if (read != parsedOk || (read && !sameEntries(list, parsed.entries)))
        fail("the file reader and the parser disagree");

    if (read) {
        if (parsed.validLength < parsed.headLength || parsed.validLength > qint64(size)
            || (!parsed.damagedTail && parsed.validLength != qint64(size) && !parsed.entries.isEmpty()))
            fail("the intact part of the list is out of bounds");
        // Written again with the file's own field list, the entries read back the same.
        QByteArray again = input.left(parsed.headLength);
        for (const BestListEntry &e : std::as_const(parsed.entries))
            again += encodeBestListEntry(e, parsed.fieldList);
        BestListParse reparsed;
        if (!parseBestList(again, reparsed) || reparsed.damagedTail || !sameEntries(reparsed.entries, parsed.entries))
            fail("entries written again read back differently");

        // What the window shows: ranking and the rows of the grid.
        BestList ranked = list;
        rankBestList(ranked);
        if (ranked.size() != list.size())
            fail("ranking changed the number of entries");
        const QList<QStringList> rows = bestListRows(ranked);
        if (rows.size() != qMax<qsizetype>(2, ranked.size() + 1))
            fail("the grid has the wrong number of rows");
        for (const QStringList &row : rows)
            if (row.size() != 6)
                fail("a grid row without six cells");
        (void)bestListText(rows);
    }

    // Append one entry as the end of a quiz does.
    const BestListEntry added{QStringLiteral("Zoë"), QStringLiteral("RAUM-3"), 45100.75, 0, 75000, 0.5};
    const bool appended = appendBestListEntry(g_input, added, clock);
    const QByteArray after = readFile(g_input);
    if (!appended) {
        if (after != input)
            fail("a failed append changed the file");
        return 0;
    }
    BestListParse afterParse;
    if (!parseBestList(after, afterParse) || afterParse.damagedTail || afterParse.entries.isEmpty())
        fail("the list cannot be read after an append");
    // The new entry holds the fields the file's field list names, and no others.
    BestListParse one;
    const QByteArray fieldList = read ? toCp1252(parsed.fieldList) : QByteArray(kBestListFieldList);
    if (!parseBestList(headWith(fieldList) + encodeBestListEntry(added, QString::fromLatin1(fieldList)), one)
        || one.entries.size() != 1)
        fail("a single entry does not read back");
    BestList expected = read ? parsed.entries : BestList();
    expected.append(one.entries.first());
    // A fresh list (the file was empty or a torn head) holds only the new entry.
    if (!sameEntries(afterParse.entries, expected) && !sameEntries(afterParse.entries, BestList{added}))
        fail("an append lost or changed entries");
    if (read && afterParse.entries.size() != parsed.entries.size() + 1)
        fail("an append to a readable list did not add exactly one entry");
    return 0;
}
