// Helper process of tst_best_list, so that writers in separate processes meet at one file.
//   best_list_writer append PATH COUNT ID   appends COUNT entries named ID-0, ID-1, ...
//   best_list_writer hold PATH [torn]       write-locks the file (and leaves half an entry
//                                           at its end), says "locked", waits to be killed
//   best_list_writer results PROGRAM SHARED NAME
//                                           as the end of a quiz does with the default
//                                           folders: appends NAME to the best list of
//                                           "europa.tsr" and saves a protocol; prints the
//                                           two files' paths

#include "platform/app_settings.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "quiz/protocol.h"
#include "results/best_list.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>
#include <memory>
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

int saveResults(const QStringList &args)
{
    SystemClock clock;
    StderrMessages messages;
    const AppSettings settings = AppSettings::defaults(args.at(2), args.at(3));
    const BestListEntry e{args.at(4), QStringLiteral("RAUM-1"), 46000.5, 0, 61000, 0.75};
    const QString list = individualBestListPath(settings.bestListFolder, QStringLiteral("europa.tsr"));
    if (!saveBestListEntryWithRetries(list, e, false, clock, messages))
        return 3;
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("<tit>Quiz-Protokoll\r\nTeilnehmername:\t") + args.at(4), true);
    QString protocol;
    if (!AutoSaveProtocol(view, settings.protocolFolder, QStringLiteral("RAUM-1"), clock, messages, &protocol))
        return 4;
    std::printf("%s\n%s\n", qPrintable(list), qPrintable(protocol));
    return 0;
}

int main(int argc, char *argv[])
{
    // The protocol's rich text needs fonts, and fonts a GUI application.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && qstrcmp(argv[1], "results") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("results"))
        return saveResults(args);
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
