// The item analysis: which places, gaps and questions the class answered how, counted
// from the reports the control display accepts.

#include "document/document_json.h"
#include "network/control_board.h"
#include "network/item_analysis.h"
#include "network/item_table.h"
#include "platform/random.h"

#include <QAbstractItemModelTester>

#include <QRegularExpression>
#include <QTest>

using namespace kapitolo;

namespace {

QString key(char pupil)
{
    return QString(30, QLatin1Char(pupil));
}

QString text(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// "A+2:1/0" announces nothing and reports for pupil A an answer on object 2 with the
// running counts correct 1, failed 0; "A" alone announces A; "A!" ends A's quiz.
void feed(ControlBoard &board, const QString &events)
{
    for (const QString &event : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString k = key(event.at(0).toLatin1());
        if (event.size() == 1) {
            board.handleReport(QStringLiteral("PC"), QStringLiteral("u"), text({"TN-INIT", k, "", "10:00:00"}), 46000.5);
        } else if (event.at(1) == QLatin1Char('!')) {
            board.handleReport(QStringLiteral("PC"), QStringLiteral("u"), text({"TN-FERTIG", k, "1", "00:30"}), 46000.5);
        } else {
            const QStringList parts = event.mid(2).split(QRegularExpression(QStringLiteral("[:/]")));
            board.handleReport(QStringLiteral("PC"), QStringLiteral("u"),
                               text({"TN-AKTION", k, parts.at(0), "-4", "0", "0", "10:00:00", "9", parts.at(1),
                                     parts.at(2), "5", "00:10", "50.0", "20.0", "6"}),
                               46000.5);
        }
    }
}

// "2:1/1/1/0" is object 2 answered by 1 key, right at the first try by 1, solved by 1,
// no failed attempt; in the order of the rows.
QString describe(const ItemAnalysis &items)
{
    QStringList out;
    for (const ItemFigures &f : items.rows())
        out << QStringLiteral("%1:%2/%3/%4/%5").arg(f.object).arg(f.answeredBy).arg(f.rightFirst).arg(f.solved).arg(f.failedAttempts);
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestItemAnalysis : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void counting_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("figures");
        QTest::newRow("right at the first try") << "A A+2:1/0" << "2:1/1/1/0";
        QTest::newRow("wrong, then right") << "A A+2:0/1 A+2:1/1" << "2:1/0/1/1";
        // The cover state says -4 throughout: only the counts tell right from wrong.
        QTest::newRow("verdict withheld") << "A A+2:1/0 A+3:1/1" << "3:1/0/0/1 2:1/1/1/0";
        QTest::newRow("question asked again") << "A A+10:0/1 A+11:1/1 A+10:2/1" << "10:1/0/1/1 11:1/1/1/0";
        QTest::newRow("a datagram twice") << "A A+2:1/0 A+2:1/0" << "2:1/1/1/0";
        QTest::newRow("an older datagram late") << "A A+2:1/0 A+3:2/0 A+2:1/0" << "2:1/1/1/0 3:1/1/1/0";
        QTest::newRow("a key that never announced itself") << "A B+2:1/0" << "";
        QTest::newRow("after the end report") << "A A+2:0/1 A! A+2:1/1" << "2:1/0/0/1";
        QTest::newRow("wrong twice on one place") << "A A+4:0/1 A+4:0/2" << "4:1/0/0/2";
        QTest::newRow("two pupils, hardest first") << "A B A+2:1/0 B+2:0/1 B+2:1/1 A+5:1/1 B+5:2/1"
                                                    << "2:2/1/2/1 5:2/1/1/1";
        QTest::newRow("same rate: more failed attempts first") << "A A+1:0/1 A+1:1/1 A+7:1/2 A+7:1/3 A+7:2/3"
                                                                 << "7:1/0/1/2 1:1/0/1/1";
        QTest::newRow("same rate, same failures: document order") << "A A+9:1/0 A+3:2/0" << "3:1/1/1/0 9:1/1/1/0";
    }
    void counting()
    {
        QFETCH(QString, events);
        QFETCH(QString, figures);
        ControlBoard board;
        feed(board, events);
        QCOMPARE(describe(board.items()), figures);
        // A new exercise starts empty.
        board.reset();
        QCOMPARE(board.items().itemCount(), 0);
    }

    // The tab moves one row per report instead of sorting again: after every report of a
    // lively class its rows must be the analysis's order, with consistent model signals.
    void theTabFollowsEveryReport()
    {
        TopicDocument d;
        d.objects.resize(40);
        for (int i = 0; i < d.objects.size(); ++i)
            d.objects[i].Cap = QStringLiteral("Ort %1").arg(i);
        ControlBoard board;
        ItemTableModel table(board, [&d]() -> const TopicDocument & { return d; });
        QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
        Random random(7);
        const QString pupils = QStringLiteral("ABCDEF");
        QHash<QChar, std::pair<int, int>> counts;
        QString events;
        for (const QChar p : pupils)
            events += QString(p) + QLatin1Char(' ');
        feed(board, events);
        for (int step = 0; step < 600; ++step) {
            const QChar p = pupils.at(random.below(int(pupils.size())));
            auto &[right, wrong] = counts[p];
            (random.below(3) == 0 ? wrong : right) += 1;
            feed(board, QStringLiteral("%1+%2:%3/%4").arg(p).arg(random.below(40)).arg(right).arg(wrong));
            const QList<ItemFigures> rows = board.items().rows();
            QCOMPARE(table.rowCount(), rows.size());
            for (int r = 0; r < rows.size(); ++r)
                QCOMPARE(table.objectAt(r), rows.at(r).object);
        }
        // What a row shows.
        const ItemFigures top = board.items().rows().first();
        auto cell = [&](int column) { return table.index(0, column).data().toString(); };
        QCOMPARE(cell(ItemTableModel::ColTask), QStringLiteral("Ort %1").arg(top.object));
        QCOMPARE(cell(ItemTableModel::ColFailed), QString::number(top.failedAttempts));
        QCOMPARE(cell(ItemTableModel::ColRate), rateText(top.rate()));
        board.reset();
        QCOMPARE(table.rowCount(), 0);
    }

    void tasksAndTheTable()
    {
        TopicDocument d;
        d.objects.resize(3);
        d.objects[0].Cap = QStringLiteral("Rio de\r\nJaneiro");
        d.objects[1].Cap = QStringLiteral("=SUMME(A1)");
        d.objects[2].Cap = QStringLiteral("Bad Ems");
        ControlBoard board;
        feed(board, "A B A+0:1/0 B+0:0/1 B+0:1/1 A+1:1/1 A+1:2/1 B+1:2/1 A+2:3/1 B+2:2/2 B+2:3/2");
        const QByteArray csv = itemAnalysisCsv(board.items(), d);
        QCOMPARE(csv, QByteArray("\xEF\xBB\xBF"
                                 "Objekt;Aufgabe;Beantwortet;Richtig beim ersten Versuch;Gel\xC3\xB6st;Fehlversuche;"
                                 "Quote beim ersten Versuch (%)\r\n"
                                 "0;Rio de Janeiro;2;1;2;1;50,0\r\n"
                                 "1;'=SUMME(A1);2;1;2;1;50,0\r\n"
                                 "2;Bad Ems;2;1;2;1;50,0\r\n"));
        QCOMPARE(itemResultsFileName(QStringLiteral("Netzwerk-Uebung-TSR-1-20261207-090503.csv")),
                 QStringLiteral("Netzwerk-Uebung-TSR-1-20261207-090503-Aufgaben.csv"));

        TopicDocument q;
        q.DokTyp = dtSingleQuestions;
        createQuestionObjects(QStringLiteral("Hauptstadt von Polen?//Warschau\r\nWie viele Beine hat eine Spinne?//8"),
                              q.objects);
        int spider = -1;
        for (int i = 0; i < q.objects.size(); ++i)
            if (q.objects.at(i).Typ == otAnswer && q.objects.at(i).Cap == QLatin1String("8"))
                spider = i;
        QVERIFY(spider >= 0);
        QCOMPARE(itemTaskText(q, spider), QStringLiteral("Wie viele Beine hat eine Spinne? – 8"));
    }
};

QTEST_GUILESS_MAIN(TestItemAnalysis)
#include "tst_item_analysis.moc"
