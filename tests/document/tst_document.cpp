#include "document/caption_text.h"
#include "document/document_json.h"
#include "document/topic_document.h"
#include "platform/random.h"

#include <QTest>

using namespace kapitolo;

class TestDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captionEncoding_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("one word") << "Berlin" << "Berlin" << "Berlin";
        QTest::newRow("blanks") << "Rio de Janeiro" << "\"Rio de Janeiro\"" << "Rio de Janeiro";
        QTest::newRow("two lines") << "Bad\r\nEms" << "Bad,Ems" << "Bad\r\nEms";
        QTest::newRow("lone LF and CR") << "a\nb\rc" << "a,b,c" << "a\r\nb\r\nc";
        QTest::newRow("ends with break") << "Ems\r\n" << "Ems" << "Ems";
        QTest::newRow("outer blanks") << "  Rom " << "\"  Rom \"" << "Rom";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("one empty line") << "\r\n" << "\"\"" << "";
        QTest::newRow("quote and comma") << "Sag \"ja\", bitte" << "\"Sag \"\"ja\"\", bitte\""
                                         << "Sag \"ja\", bitte";
        QTest::newRow("comma only") << "1,5" << "\"1,5\"" << "1,5";
        QTest::newRow("tab") << "a\tb" << "\"a\tb\"" << "a\tb";
        QTest::newRow("blank lines inside") << "a\r\n\r\nb" << "a,,b" << "a\r\n\r\nb";
        QTest::newRow("trailing blank lines") << "a\r\n\r\n\r\n" << "a,," << "a";
        QTest::newRow("umlaut") << "Düsseldorf" << "Düsseldorf" << "Düsseldorf";
    }
    void captionEncoding()
    {
        QFETCH(QString, caption);
        QFETCH(QString, stored);
        QFETCH(QString, readBack);
        QCOMPARE(encodeCaption(caption), stored);
        QCOMPARE(decodeCaption(stored), readBack);
    }

    void captionDecodingOfHandWrittenText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("caption");
        QTest::newRow("unquoted blank separates lines") << "Rio de Janeiro" << "Rio\r\nde\r\nJaneiro";
        QTest::newRow("blanks around commas") << "  a ,  b  " << "a\r\nb";
        QTest::newRow("unterminated quote") << "\"abc" << "abc";
        QTest::newRow("leading comma") << ",x" << "x";
        QTest::newRow("nul byte") << QString(QChar(0)) + "x" << "x";
    }
    void captionDecodingOfHandWrittenText()
    {
        QFETCH(QString, stored);
        QFETCH(QString, caption);
        QCOMPARE(decodeCaption(stored), caption);
    }

    void displayNumbers_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("numArt");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << 0 << "?";
        QTest::newRow("-1 letters") << -1 << 1 << "?";
        QTest::newRow("7") << 7 << 0 << "7";
        QTest::newRow("123 other kind") << 123 << 5 << "123";
        QTest::newRow("A") << 1 << 1 << "A";
        QTest::newRow("Z") << 26 << 1 << "Z";
        QTest::newRow("A'") << 27 << 1 << "A'";
        QTest::newRow("B'") << 28 << 1 << "B'";
        QTest::newRow("A''") << 53 << 1 << "A''";
    }
    void displayNumbers()
    {
        QFETCH(int, number);
        QFETCH(int, numArt);
        QFETCH(QString, text);
        QCOMPARE(displayNumberText(number, numArt), text);
    }

    void resetRemembersThePreviousDocument()
    {
        TopicDocument d;
        TopicNavigation nav;
        nav.currentTopicIndex = 4;
        d.fileName = QStringLiteral("/t/a.tsr");
        d.titel = QStringLiteral("A");
        d.DokTyp = 2;
        d.RandErw = RectD{1, 2, 3, 4};
        d.currentQuestion = 5;
        d.objects.append(DocObject());
        d.reset(nav);
        QCOMPARE(nav.previousDocument, QStringLiteral("/t/a.tsr"));
        QCOMPARE(nav.currentTopicIndex, -1);
        QVERIFY(d.fileName.isEmpty() && d.titel.isEmpty());
        QCOMPARE(d.vers, QStringLiteral("1.00"));
        QCOMPARE(d.DokTyp, 0);
        QCOMPARE(d.RandErw, RectD{});
        QCOMPARE(d.currentQuestion, 0);
        QCOMPARE(d.objects.size(), 1); // the reader replaces objects
        d.reset(nav);                  // an empty name is not remembered
        QCOMPARE(nav.previousDocument, QStringLiteral("/t/a.tsr"));
        d.close(nav);
        QVERIFY(d.objects.isEmpty());
        QCOMPARE(d.baseImage, startBaseImage());
    }

    void questionNavigation()
    {
        TopicDocument d;
        Random random(7);
        d.AnzFrageNummern = 3;
        d.currentQuestion = 1;
        d.navigateQuestion(otPrevQuestion, random);
        QCOMPARE(d.currentQuestion, 1);
        d.navigateQuestion(otNextQuestion, random);
        d.navigateQuestion(otNextQuestion, random);
        d.navigateQuestion(otNextQuestion, random);
        QCOMPARE(d.currentQuestion, 3);
        d.navigateQuestion(otFirstQuestion, random);
        QCOMPARE(d.currentQuestion, 1);
        d.navigateQuestion(otLastQuestion, random);
        QCOMPARE(d.currentQuestion, 3);
        for (int i = 0; i < 50; ++i) {
            const int before = d.currentQuestion;
            d.navigateQuestion(otRandomQuestion, random);
            QVERIFY(d.currentQuestion != before);
            QVERIFY(d.currentQuestion >= 1 && d.currentQuestion <= 3);
        }
        d.AnzFrageNummern = 2;
        for (int i = 0; i < 20; ++i) {
            const int before = d.currentQuestion == 1 ? 1 : 2;
            d.currentQuestion = before;
            d.navigateQuestion(otRandomQuestion, random);
            QCOMPARE(d.currentQuestion, 3 - before);
        }
        d.AnzFrageNummern = 1;
        d.navigateQuestion(otRandomQuestion, random);
        QCOMPARE(d.currentQuestion, 1);
        d.AnzFrageNummern = 0;
        d.currentQuestion = 7;
        d.navigateQuestion(otFirstQuestion, random);
        QCOMPARE(d.currentQuestion, 7); // nothing happens without questions
    }

    void normalisingAfterRebuild()
    {
        TopicDocument d;
        DocObject answer;
        answer.Typ = otAnswer;
        DocObject label;
        d.objects = {answer, label};
        // The learning card's marks.
        ObjectMarks marks{ObjectMark{csUncovered}, ObjectMark{csUncovered}};
        d.AnzFrageNummern = 0;
        d.normaliseAfterRebuild(false, marks);
        QCOMPARE(d.currentQuestion, -1);
        QCOMPARE(marks[0].coverState, int(csCovered));
        QCOMPARE(marks[1].coverState, int(csUncovered));

        d.AnzFrageNummern = 4;
        d.currentQuestion = 9;
        marks[0].coverState = csCorrect;
        d.normaliseAfterRebuild(true, marks); // a running quiz keeps its marks
        QCOMPARE(d.currentQuestion, 1);
        QCOMPARE(marks[0].coverState, int(csCorrect));
        d.currentQuestion = 4;
        d.normaliseAfterRebuild(false, marks);
        QCOMPARE(d.currentQuestion, 4);
    }

    void questionObjectsFromText()
    {
        QList<DocObject> objects;
        const qint32 n = createQuestionObjects(
            QStringLiteral("Hauptstadt von Frankreich? // Paris\r\n\r\nOhne Antwort\r\n"), objects);
        QCOMPARE(n, 2);
        QCOMPARE(objects.size(), 2 * 4 + 5);
        QCOMPARE(objects[1].Cap, QStringLiteral("Hauptstadt von Frankreich?"));
        QCOMPARE(objects[1].Fsize, 5);
        QCOMPARE(objects[1].Ky, 0.4);
        QCOMPARE(objects[3].Typ, int(otAnswer));
        QCOMPARE(objects[3].Cap, QStringLiteral("Paris"));
        QCOMPARE(objects[3].Kx, 0.225);
        QCOMPARE(objects[7].Cap, QStringLiteral("---"));
        QCOMPARE(objects[7].FrageNummer, 2);
        QCOMPARE(objects[8].Typ, int(otFirstQuestion));
        QCOMPARE(objects[12].Typ, int(otRandomQuestion));
        QCOMPARE(objects[12].Kx, 0.34);
        QCOMPARE(objects[12].Ebene, int(layerInfopunkte));
        QCOMPARE(objects[12].FrageNummer, -1);
        for (const DocObject &o : objects) {
            QCOMPARE(o.Sx, o.Kx);
            QCOMPARE(o.KAusr, 1);
        }
    }

    void gapWordsInTextOrder()
    {
        QCOMPARE(clozeGapWords(QStringLiteral("Das <<Wasser>> ver<<dunstet>>.\r\n<B>Es</B> regnet <<Regen\r\n>> <<")),
                 QStringList({QStringLiteral("Wasser"), QStringLiteral("dunstet")}));
        QList<DocObject> gaps;
        createGapObjects(QStringLiteral("a <<b c>> d <<e>>"), gaps);
        QCOMPARE(gaps.size(), 2);
        QCOMPARE(gaps[0].Cap, QStringLiteral("b c"));
        QCOMPARE(gaps[1].Typ, int(otGap));
        QCOMPARE(gaps[1].KAusr, 2);
        QCOMPARE(gaps[1].Ebene, 1);
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
