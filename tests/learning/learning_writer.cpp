// A second process on a learning record, for the tests:
//   learning_writer write FILE   records answers one after the other, prints "ok N" once
//                                answer N is recorded and writes them into the file every
//                                37, until it is killed
//   learning_writer lock FILE    holds the file's write lock and prints "locked" until its
//                                standard input closes
#include "document/topic_document.h"
#include "learning/learning_record.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>

using namespace kapitolo;

namespace {

class PrintedMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &text, MessageButtons) override
    {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        return MessageAnswer::Ok;
    }
};

int write(const QString &path)
{
    PrintedMessages messages;
    SystemClock clock;
    LearningRecord record(path, messages, clock);
    TopicDocument map;
    map.fileName = QStringLiteral("/themen/schreiber.tsr");
    map.titel = QStringLiteral("Schreiber");
    for (int i = 0; i < 50; ++i) {
        DocObject o;
        o.Typ = otLabel;
        o.Cap = QStringLiteral("Ort %1").arg(i);
        o.Sx = o.Kx = 0.01 * i;
        o.Sy = o.Ky = 0.5;
        map.objects.append(o);
    }
    const auto topic = learningTopic(map);
    for (int n = 1; n <= 1000000; ++n) {
        record.recordVerdict(topic, n % 50, n % 3 != 0, n % 2 == 1);
        if (n % 37 == 0 && !record.flush())
            return 1;
        std::printf("ok %d\n", n);
        std::fflush(stdout);
    }
    return 0;
}

int lock(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    if (!db.open())
        return 1;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    q.exec(QStringLiteral("ROLLBACK"));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (qstrcmp(argv[1], "write") == 0)
        return write(path);
    if (qstrcmp(argv[1], "lock") == 0)
        return lock(path);
    return 2;
}
