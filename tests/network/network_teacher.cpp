// The teacher's computer as a process of its own, for the crash test: it initiates an
// exercise (or takes one up again, answering the question with "Ja") and then obeys
// lines on stdin: "state" prints the control display's rows and the best list, "end"
// ends the exercise and prints the results file. A SIGKILL is its crash.
//
//     network_teacher FOLDER CHANNEL PROTOCOLS initiate|resume

#include "network/network_test_support.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

void say(const QJsonObject &o)
{
    std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 4)
        return 2;
    Station teacher(args.at(0), args.at(1), testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"),
                                                     QStringLiteral("127.0.0.2")));
    teacher.doc = sampleLabelDocument();
    teacher.doc.fileName = args.at(2) + QStringLiteral("hauptstaedte.tsr");
    teacher.netFrontend.protocols = args.at(2);
    QuizOptions options;
    options.tileOrder = 0;
    options.positionOrder = 0;
    teacher.netFrontend.options = options;
    if (args.at(3) == QLatin1String("resume"))
        teacher.network->offerResume();
    else
        teacher.network->Initiate();

    QJsonObject ready;
    ready[QStringLiteral("role")] = teacher.network->role();
    ready[QStringLiteral("messages")] = QJsonArray::fromStringList(teacher.messages.texts());
    say(ready);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        const QByteArray command = QByteArray(line, n > 0 ? int(n) : 0).trimmed();
        if (n <= 0) {
            app.exit(0);
            return;
        }
        QJsonObject out;
        if (command == "end") {
            teacher.network->EndExercise();
            out[QStringLiteral("results")] = teacher.network->lastResultsFile();
        }
        const ControlBoard &board = teacher.network->board();
        QJsonArray rows;
        for (int row = 0; row < board.rowCount(); ++row) {
            QJsonArray cells;
            for (int column = 0; column < ControlBoard::ColumnCount; ++column)
                if (column != ControlBoard::ColLastReport)
                    cells.append(board.cellText(row, column));
            cells.append(board.rows().at(row).inBestList);
            rows.append(cells);
        }
        out[QStringLiteral("rows")] = rows;
        out[QStringLiteral("accepted")] = board.acceptedCount();
        BestList list;
        readBestList(exchangeFilePath(args.at(0), args.at(1), kExchangeBestList), list, teacher.clock);
        QJsonArray names;
        for (const BestListEntry &e : list)
            names.append(QString(e.computer + QLatin1Char('|') + QString::number(e.performance)));
        out[QStringLiteral("bestList")] = names;
        say(out);
        if (command == "end")
            app.exit(0);
    });
    return app.exec();
}
