// Helper of tst_best_list: a separate process that writes to a best list, so that
// several writers (and one killed half-way) can meet at one file.
//   best_list_writer append PATH COUNT ID   appends COUNT entries, "n" on stdout after each
//   best_list_writer hold PATH [torn]       write-locks the file (and leaves half an entry
//                                           at its end), says "locked", waits to be killed

#include "platform/clock.h"
#include "platform/messages.h"
#include "results/best_list.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace kapitolo;

namespace {

class StderrMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &text, MessageButtons) override
    {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        return MessageAnswer::Ok;
    }
};

int append(const QString &path, int count, const QString &id)
{
    SystemClock clock;
    StderrMessages messages;
    for (int i = 0; i < count; ++i) {
        BestListEntry entry;
        entry.name = id + QLatin1Char('-') + QString::number(i);
        entry.computer = QStringLiteral("Rechner ") + id;
        entry.start = 46000.0 + i / 1440.0;
        entry.durationMs = 1000 * i + 7;
        entry.performance = (i % 101) / 100.0;
        if (!saveBestListEntryWithRetries(path, entry, true, clock, messages))
            return 3;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}

int hold(const QString &path, bool torn)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        return 4;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_SETLKW, &lock) != 0)
        return 5;
    if (torn) {
        BestListEntry entry;
        entry.name = QStringLiteral("halb geschrieben");
        entry.computer = QStringLiteral("Rechner X");
        const QByteArray bytes = encodeBestListEntry(entry);
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (::pwrite(fd, bytes.constData(), size_t(bytes.size() / 2), end) != bytes.size() / 2)
            return 6;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("append"))
        return append(args.at(2), args.at(3).toInt(), args.at(4));
    if ((args.size() == 3 || args.size() == 4) && args.at(1) == QLatin1String("hold"))
        return hold(args.at(2), args.size() == 4);
    return 2;
}
