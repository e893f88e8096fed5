// Helper process of tst_best_list, so that writers in separate processes meet at one file.
//   best_list_writer append PATH COUNT ID   appends COUNT entries named ID-0, ID-1, ...
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

struct StderrMessages : Messages {
    MessageAnswer show(MessageKind, const QString &text, MessageButtons) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return MessageAnswer::Ok;
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("append")) {
        SystemClock clock;
        StderrMessages messages;
        for (int i = 0; i < args.at(3).toInt(); ++i) {
            const BestListEntry e{args.at(4) + QLatin1Char('-') + QString::number(i), "Rechner " + args.at(4),
                                  46000.0 + i / 1440.0, 0, 1000 * i + 7, (i % 101) / 100.0};
            if (!saveBestListEntryWithRetries(args.at(2), e, true, clock, messages))
                return 3;
        }
        return 0;
    }
    if (args.size() >= 3 && args.at(1) == QLatin1String("hold")) {
        const int fd = ::open(QFile::encodeName(args.at(2)).constData(), O_RDWR | O_CREAT, 0644);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        if (fd < 0 || ::fcntl(fd, F_SETLKW, &lock) != 0)
            return 4;
        if (args.size() == 4) {
            const QByteArray half = encodeBestListEntry({"halb geschrieben", "Rechner X", 1, 0, 2, 0.5}).left(20);
            if (::pwrite(fd, half.constData(), size_t(half.size()), ::lseek(fd, 0, SEEK_END)) != half.size())
                return 5;
        }
        std::printf("locked\n");
        std::fflush(stdout);
        char c;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
        return 0;
    }
    return 2;
}
