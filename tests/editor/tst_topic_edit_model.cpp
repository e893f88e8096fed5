// The topic editor's model: every command, its undo and redo, the rules for what may be
// stored, and the way through the document writer and reader.

#include "document/document_check.h"
#include "document/document_file.h"
#include "document/document_json.h"
#include "editor/topic_edit_model.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace kapitolo;

Q_DECLARE_METATYPE(std::function<bool(TopicEditModel &)>)
Q_DECLARE_METATYPE(std::function<bool(const TopicDocument &)>)

namespace {

// Everything the file stores, so that "equal" means "the same file".
QByteArray stored(const TopicDocument &d)
{
    return documentToJson(d);
}

// An image topic with three labels, one of them with a leader line, and an info point.
TopicEditModel labelModel()
{
    TopicEditModel model(TopicEditModel::newImageTopic(test::patternImage(400, 300)));
    model.setHeaderText(HeaderField::Titel, QStringLiteral("Flüsse"));
    model.addLabel(0.2, 0.3, QStringLiteral("Rhein"));
    model.addLabel(0.5, 0.5, QStringLiteral("Main"));
    const int elbe = model.addLabel(0.7, 0.2, QStringLiteral("Elbe"));
    model.moveLabelBox(elbe, 0.9, 0.1);
    DocObject info;
    info.Typ = otInfoPoint;
    info.Sx = info.Kx = 0.1;
    info.Sy = info.Ky = 0.9;
    info.Cap = QStringLiteral("<B>Flüsse</B> fließen ins Meer.");
    info.Ebene = layerInfopunkte;
    model.addObject(info);
    model.markSaved();
    return model;
}

} // namespace

class TestTopicEditModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Each command changes what it should, undo restores the file exactly, redo
    // brings the change back.
    void commandAndUndo_data()
    {
        QTest::addColumn<std::function<bool(TopicEditModel &)>>("command");
        QTest::addColumn<std::function<bool(const TopicDocument &)>>("changed");
        QTest::addColumn<QString>("undoText");

        using Check = std::function<bool(const TopicDocument &)>;
        using Cmd = std::function<bool(TopicEditModel &)>;
        QTest::newRow("add label") << Cmd([](TopicEditModel &m) { return m.addLabel(0.4, 0.6, " Weser ") == 4; })
                                   << Check([](const TopicDocument &d) {
                                          const DocObject &o = d.objects.at(4);
                                          return d.objects.size() == 5 && o.Typ == otLabel && o.Cap == "Weser"
                                              && o.Sx == 0.4 && o.Kx == 0.4 && o.Sy == 0.6 && o.Sline == 0
                                              && o.KAusr == placeAutomatic && o.Ebene == layerBeschriftung
                                              && d.AnzFrageNummern == 4;
                                      })
                                   << "Rückgängig: Beschriftung hinzufügen";
        QTest::newRow("remove") << Cmd([](TopicEditModel &m) { return m.removeObject(1); })
                                << Check([](const TopicDocument &d) {
                                       return d.objects.size() == 3 && d.objects.at(1).Cap == "Elbe"
                                           && d.AnzFrageNummern == 2;
                                   })
                                << "Rückgängig: Beschriftung löschen";
        QTest::newRow("move spot and box") << Cmd([](TopicEditModel &m) { return m.moveObject(2, 0.6, 0.3); })
                                           << Check([](const TopicDocument &d) {
                                                  const DocObject &o = d.objects.at(2);
                                                  return o.Sx == 0.6 && o.Sy == 0.3 && qFuzzyCompare(o.Kx, 0.8)
                                                      && qFuzzyCompare(o.Ky + 1, 0.2 + 1) && o.Sline == 1;
                                              })
                                           << "Rückgängig: Beschriftung verschieben";
        QTest::newRow("box away makes a leader line")
            << Cmd([](TopicEditModel &m) { return m.moveLabelBox(0, 0.35, 0.3); })
            << Check([](const TopicDocument &d) { return d.objects.at(0).Kx == 0.35 && d.objects.at(0).Sline == 1; })
            << "Rückgängig: Schild verschieben";
        QTest::newRow("box back on its spot drops the line")
            << Cmd([](TopicEditModel &m) { return m.moveLabelBox(2, 0.705, 0.2); })
            << Check([](const TopicDocument &d) { return d.objects.at(2).Sline == 0; })
            << "Rückgängig: Schild verschieben";
        QTest::newRow("caption") << Cmd([](TopicEditModel &m) { return m.setCaption(1, "Main\r\n  (Fluss) "); })
                                 << Check([](const TopicDocument &d) { return d.objects.at(1).Cap == "Main\r\n(Fluss)"; })
                                 << "Rückgängig: Text ändern";
        QTest::newRow("placement") << Cmd([](TopicEditModel &m) { return m.setPlacement(0, placeLeft); })
                                   << Check([](const TopicDocument &d) {
                                          return d.objects.at(0).KAusr == placeLeft && d.objects.at(0).KAusrAkt == 0;
                                      })
                                   << "Rückgängig: Ausrichtung ändern";
        QTest::newRow("layer") << Cmd([](TopicEditModel &m) { return m.setLayer(0, layerIllustration); })
                               << Check([](const TopicDocument &d) { return d.objects.at(0).Ebene == layerIllustration; })
                               << "Rückgängig: Ebene ändern";
        QTest::newRow("label becomes a link")
            << Cmd([](TopicEditModel &m) { return m.setObjectType(0, otLink); })
            << Check([](const TopicDocument &d) {
                   return d.objects.at(0).Typ == otLink && d.objects.at(0).Ebene == layerInfopunkte
                       && d.AnzFrageNummern == 2;
               })
            << "Rückgängig: Objektart ändern";
        QTest::newRow("title") << Cmd([](TopicEditModel &m) { return m.setHeaderText(HeaderField::Titel, " Ströme "); })
                               << Check([](const TopicDocument &d) { return d.titel == "Ströme"; })
                               << "Rückgängig: Titel ändern";
        QTest::newRow("remark keeps its lines")
            << Cmd([](TopicEditModel &m) { return m.setHeaderText(HeaderField::Bemerkung, "Zeile 1\r\nZeile 2"); })
            << Check([](const TopicDocument &d) { return d.bemerkung == "Zeile 1\r\nZeile 2"; })
            << "Rückgängig: Bemerkung ändern";
        QTest::newRow("margins") << Cmd([](TopicEditModel &m) { return m.setMargins({0.5, 0, 0, 0}); })
                                 << Check([](const TopicDocument &d) {
                                        // The spot at 0.2 of the picture moves to (0.5 + 0.2) / 1.5 of the card.
                                        return d.RandErw == RectD{0.5, 0, 0, 0}
                                            && qFuzzyCompare(d.objects.at(0).Sx, 0.7 / 1.5)
                                            && d.objects.at(0).Sy == 0.3;
                                    })
                                 << "Rückgängig: Rand ändern";
        QTest::newRow("picture") << Cmd([](TopicEditModel &m) { return m.setPicture(test::patternImage(50, 40)); })
                                 << Check([](const TopicDocument &d) { return d.baseImage.size() == QSize(50, 40); })
                                 << "Rückgängig: Bild ersetzen";
    }

    void commandAndUndo()
    {
        QFETCH(std::function<bool(TopicEditModel &)>, command);
        QFETCH(std::function<bool(const TopicDocument &)>, changed);
        QFETCH(QString, undoText);

        TopicEditModel model = labelModel();
        const QByteArray before = stored(model.document());
        const QImage imageBefore = model.document().baseImage;
        QVERIFY(!model.isModified());

        QVERIFY2(command(model), qPrintable(model.lastError()));
        QVERIFY(changed(model.document()));
        QVERIFY(model.isModified());
        QCOMPARE(model.undoText(), undoText);
        const QByteArray after = stored(model.document());
        QVERIFY(after != before || model.document().baseImage != imageBefore);

        QVERIFY(model.undo());
        QCOMPARE(stored(model.document()), before);
        QCOMPARE(model.document().baseImage, imageBefore);
        QVERIFY(!model.isModified());
        QVERIFY(model.redoText().startsWith("Wiederholen: "));

        QVERIFY(model.redo());
        QCOMPARE(stored(model.document()), after);
        QVERIFY(changed(model.document()));
        QVERIFY(!model.canRedo());
    }

    // Refused commands change nothing and say why.
    void refusals_data()
    {
        QTest::addColumn<std::function<bool(TopicEditModel &)>>("command");
        QTest::addColumn<QString>("error");
        using Cmd = std::function<bool(TopicEditModel &)>;
        QTest::newRow("letter outside the code page")
            << Cmd([](TopicEditModel &m) { return m.addLabel(0.5, 0.5, QStringLiteral("Chişinău")) >= 0; })
            << QStringLiteral("Beschriftung: Das Zeichen \"ş\" (U+015F) kann im Themendokument nicht gespeichert "
                              "werden. Bitte ersetzen Sie es, zum Beispiel durch den Buchstaben ohne Akzent.");
        QTest::newRow("emoji in a title")
            << Cmd([](TopicEditModel &m) { return m.setHeaderText(HeaderField::Titel, QStringLiteral("Flüsse 🌊")); })
            << QStringLiteral("Titel: Das Zeichen \"🌊\" (U+1F30A) kann im Themendokument nicht gespeichert werden. "
                              "Bitte ersetzen Sie es, zum Beispiel durch den Buchstaben ohne Akzent.");
        QTest::newRow("line break in the title")
            << Cmd([](TopicEditModel &m) { return m.setHeaderText(HeaderField::Titel, "A\nB"); })
            << QStringLiteral("Titel: Zeilenumbrüche sind in diesem Feld nicht möglich.");
        QTest::newRow("empty caption") << Cmd([](TopicEditModel &m) { return m.setCaption(0, "  \r\n "); })
                                       << QStringLiteral("Bitte geben Sie einen Text ein.");
        QTest::newRow("spot off the card") << Cmd([](TopicEditModel &m) { return m.addLabel(1.2, 0.5, "X") >= 0; })
                                           << QStringLiteral("Die Stelle liegt außerhalb der Karte.");
        QTest::newRow("box off the card") << Cmd([](TopicEditModel &m) { return m.moveLabelBox(0, 0.5, -0.01); })
                                          << QStringLiteral("Die Stelle liegt außerhalb der Karte.");
        QTest::newRow("no such object") << Cmd([](TopicEditModel &m) { return m.removeObject(4); })
                                        << QStringLiteral("Dieses Objekt gibt es nicht (mehr).");
        QTest::newRow("negative margin") << Cmd([](TopicEditModel &m) { return m.setMargins({0, -0.1, 0, 0}); })
                                         << QStringLiteral("Ein Rand muss zwischen 0 und 200 % des Bildes liegen.");
        QTest::newRow("NaN margin") << Cmd([](TopicEditModel &m) { return m.setMargins({0, qQNaN(), 0, 0}); })
                                    << QStringLiteral("Ein Rand muss zwischen 0 und 200 % des Bildes liegen.");
        QTest::newRow("separator in a question")
            << Cmd([](TopicEditModel &m) { return m.setQuestions({{"2//3", "5"}}); })
            << QStringLiteral("Frage 1: \"//\" trennt Frage und Antwort und darf im Text nicht vorkommen.");
    }

    void refusals()
    {
        QFETCH(std::function<bool(TopicEditModel &)>, command);
        QFETCH(QString, error);
        TopicEditModel model = labelModel();
        const QByteArray before = stored(model.document());
        QVERIFY(!command(model));
        QCOMPARE(model.lastError(), error);
        QCOMPARE(stored(model.document()), before);
        QVERIFY(!model.isModified());
        QCOMPARE(model.undoText(), QStringLiteral("Rückgängig: Infopunkt hinzufügen"));
    }

    void storableText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("multiLine");
        QTest::addColumn<qsizetype>("position");
        QTest::newRow("German and the euro") << QStringLiteral("Größe: 5 € – „gut“") << false << qsizetype(-1);
        QTest::newRow("lines where allowed") << QStringLiteral("a\r\nb") << true << qsizetype(-1);
        QTest::newRow("Polish l") << QStringLiteral("Łódź") << false << qsizetype(0);
        QTest::newRow("tab") << QStringLiteral("a\tb") << true << qsizetype(1);
        QTest::newRow("Turkish dotless i") << QStringLiteral("Ayşe Yılmaz") << false << qsizetype(2);
    }

    void storableText()
    {
        QFETCH(QString, text);
        QFETCH(bool, multiLine);
        QFETCH(qsizetype, position);
        const auto problem = storableTextProblem(text, multiLine);
        QCOMPARE(problem ? problem->position : qsizetype(-1), position);
    }

    // Saved state: undoing back to it is clean again; a new step after undoing past it
    // can never reach it again.
    void modifiedFlag()
    {
        TopicEditModel model = labelModel();
        QVERIFY(model.setCaption(0, "Rhein (Fluss)"));
        QVERIFY(model.isModified());
        model.markSaved();
        QVERIFY(!model.isModified());
        QVERIFY(model.undo());
        QVERIFY(model.isModified());
        QVERIFY(model.redo());
        QVERIFY(!model.isModified());
        QVERIFY(model.undo());
        QVERIFY(model.setLayer(0, layerInfopunkte));
        QVERIFY(model.isModified());
        QVERIFY(model.undo());
        QVERIFY(model.isModified());
        // Unchanged values are no step at all.
        const QString undoText = model.undoText();
        QVERIFY(!model.setPlacement(0, model.document().objects.at(0).KAusr));
        QVERIFY(!model.setHeaderText(HeaderField::Titel, model.document().titel));
        QCOMPARE(model.undoText(), undoText);
    }

    void undoLimit()
    {
        TopicEditModel model(TopicEditModel::newImageTopic(test::patternImage(20, 20)));
        const int label = model.addLabel(0.5, 0.5, "A");
        for (int i = 0; i < TopicEditModel::kUndoLimit + 10; ++i)
            QVERIFY(model.moveObject(label, 0.1 + 0.0001 * (i % 2), 0.5));
        int undone = 0;
        while (model.undo())
            ++undone;
        QCOMPARE(undone, TopicEditModel::kUndoLimit);
        QVERIFY(model.isModified()); // the empty start is out of reach
        QCOMPARE(model.document().objects.size(), 1);
    }

    // Margins move every object so that it stays on its spot of the picture, and the
    // way back to no margins restores the positions.
    void marginsKeepPicturePositions()
    {
        TopicEditModel model = labelModel();
        const TopicDocument before = model.document();
        QVERIFY(model.setMargins({0.25, 0.5, 0.75, 0.1}));
        const DocObject &o = model.document().objects.at(0);
        QVERIFY(qFuzzyCompare(o.Sx * 2.0 - 0.25, 0.2));
        QVERIFY(qFuzzyCompare(o.Sy * 1.6 - 0.5, 0.3));
        QVERIFY(model.setMargins({0, 0, 0, 0}));
        for (qsizetype i = 0; i < before.objects.size(); ++i) {
            QVERIFY(qAbs(model.document().objects.at(i).Sx - before.objects.at(i).Sx) < 1e-12);
            QVERIFY(qAbs(model.document().objects.at(i).Ky - before.objects.at(i).Ky) < 1e-12);
        }
    }

    void clozeGap_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("result"); // empty: refused
        QTest::newRow("a word") << "Das Wasser verdunstet." << 4 << 10 << "Das <<Wasser>> verdunstet.";
        QTest::newRow("blanks stay outside") << "Das Wasser verdunstet." << 3 << 11 << "Das <<Wasser>> verdunstet.";
        QTest::newRow("backwards selection") << "Regen fällt" << 11 << 6 << "Regen <<fällt>>";
        QTest::newRow("two words") << "Die Sonne scheint" << 0 << 9 << "<<Die Sonne>> scheint";
        QTest::newRow("second line") << "A\r\nB C" << 5 << 6 << "A\r\nB <<C>>";
        QTest::newRow("across lines") << "A\r\nB" << 0 << 4 << "";
        QTest::newRow("inside a gap") << "x <<Regen>> y" << 5 << 8 << "";
        QTest::newRow("over a gap") << "x <<Regen>> y" << 0 << 13 << "";
        QTest::newRow("inside a tag") << "<B>fett</B>" << 1 << 2 << "";
        QTest::newRow("bold word") << "<B>fett</B>" << 3 << 7 << "<B><<fett>></B>";
        QTest::newRow("only blanks") << "a   b" << 1 << 4 << "";
    }

    void clozeGap()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, result);
        QString edited = text;
        qsizetype cursor = -1;
        QCOMPARE(makeClozeGap(edited, start, end, &cursor), !result.isEmpty());
        QCOMPARE(edited, result.isEmpty() ? text : result);
        if (!result.isEmpty())
            QCOMPARE(edited.mid(cursor - 2, 2), QStringLiteral(">>"));
    }

    // The gap objects follow the text; other objects of the card stay; undo brings the
    // old gaps back.
    void clozeText()
    {
        TopicEditModel model(TopicEditModel::newClozeTopic());
        QVERIFY(model.setClozeText("Das <<Wasser>> verdunstet.\r\nEs <<regnet>>."));
        DocObject link;
        link.Typ = otLink;
        link.Sx = link.Kx = link.Sy = link.Ky = 0.9;
        link.Cap = "https://de.wikipedia.org/wiki/Wasserkreislauf";
        QCOMPARE(model.addObject(link), 2);
        QVERIFY(model.setLayer(1, layerIllustration));

        QString text = model.document().lueckentext;
        QVERIFY(makeClozeGap(text, 28, 30));
        QCOMPARE(text, QStringLiteral("Das <<Wasser>> verdunstet.\r\n<<Es>> <<regnet>>."));
        QVERIFY(model.setClozeText(text));
        const TopicDocument &d = model.document();
        QCOMPARE(d.objects.size(), 4);
        QCOMPARE(d.objects.at(0).Cap, QStringLiteral("Wasser"));
        QCOMPARE(d.objects.at(1).Cap, QStringLiteral("Es"));
        QCOMPARE(d.objects.at(1).Ebene, layerIllustration); // the second gap's layer stays with the second gap
        QCOMPARE(d.objects.at(2).Cap, QStringLiteral("regnet"));
        QCOMPARE(d.objects.at(3).Typ, qint32(otLink));
        QCOMPARE(d.AnzFrageNummern, 3);
        QVERIFY(checkDocument(d).isEmpty());
        QVERIFY(model.undo());
        QCOMPARE(model.document().objects.size(), 3);
        QCOMPARE(model.document().AnzFrageNummern, 2);
    }

    void questions()
    {
        TopicEditModel model(TopicEditModel::newQuestionTopic());
        QCOMPARE(model.document().objects.size(), 5); // the navigation buttons
        const QList<QuestionRow> rows = {{"Hauptstadt von Frankreich?", "Paris"}, {" 7 x 8 ", " 56 "}};
        QVERIFY(model.setQuestions(rows));
        QCOMPARE(model.document().fragentext, QStringLiteral("Hauptstadt von Frankreich?//Paris\r\n7 x 8//56"));
        QCOMPARE(model.document().AnzFrageNummern, 2);
        QCOMPARE(model.document().objects.size(), 2 * 4 + 5);
        QCOMPARE(questionRows(model.document().fragentext),
                 (QList<QuestionRow>{{"Hauptstadt von Frankreich?", "Paris"}, {"7 x 8", "56"}}));
        QVERIFY(checkDocument(model.document()).isEmpty());

        // Reordered: the objects follow the new order.
        QVERIFY(model.setQuestions({rows.at(1), rows.at(0)}));
        const auto answer = std::find_if(model.document().objects.begin(), model.document().objects.end(),
                                         [](const DocObject &o) { return o.Typ == otAnswer; });
        QCOMPARE(answer->Cap, QStringLiteral("56"));
        QCOMPARE(answer->FrageNummer, 1);
        QVERIFY(model.undo());
        QVERIFY(model.undo());
        QCOMPARE(model.document().AnzFrageNummern, 0);
        QCOMPARE(questionRows("ohne Antwort\r\n\r\n a // b "),
                 (QList<QuestionRow>{{"ohne Antwort", "---"}, {"a", "b"}}));
    }

    // A new map topic made in the editor reads back with every stored field, and the
    // validation finds what a teacher must fix.
    void roundTripThroughTheWriter()
    {
        QTemporaryDir dir;
        test::ScriptedMessages messages;
        TopicEditModel model = labelModel();
        QVERIFY(model.setHeaderText(HeaderField::Autor, "Frau Özdemir"));
        QVERIFY(model.setMargins({0.1, 0, 0.3, 0.05}));
        QVERIFY(model.setPlacement(1, placeBelow));
        QVERIFY(model.validate().isEmpty());

        TopicDocument written = model.document();
        const QString path = dir.filePath("fluesse.tsr");
        QVERIFY(writeDocument(path, written, true, messages));
        TopicDocument read;
        TopicNavigation navigation;
        QCOMPARE(readDocument(path, read, navigation, messages), ReadResult::Ok);
        QCOMPARE(stored(read), stored(model.document()));
        QCOMPARE(read.baseImage.convertToFormat(QImage::Format_ARGB32), model.document().baseImage);
        QVERIFY(messages.texts().isEmpty());

        TopicEditModel reopened(read);
        QVERIFY(!reopened.isModified());
        QVERIFY(!reopened.canUndo());
        QCOMPARE(reopened.filePath(), path);

        TopicEditModel empty(TopicEditModel::newImageTopic(test::patternImage(10, 10)));
        QCOMPARE(empty.validate(),
                 QStringList({"Das Thema hat noch keinen Titel; im Themenmenü erscheint es dann ohne Namen.",
                              "Die Bildbeschriftung enthält keine Beschriftungen zum Abfragen."}));
    }
};

QTEST_GUILESS_MAIN(TestTopicEditModel)
#include "tst_topic_edit_model.moc"
