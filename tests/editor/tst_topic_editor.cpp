// The topic editor as a teacher uses it: a map topic made from a picture with the mouse,
// a cloze gap from a selection, questions in the table, closing with unsaved changes,
// and the main window's side (testing, the network refusal, the topic menu).

#include "app/main_window.h"
#include "learning/learning_controller.h"
#include "document/document_file.h"
#include "document/document_json.h"
#include "editor/editor_canvas.h"
#include "editor/topic_editor_form.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QTest>

#include <memory>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// Typed as the keyboard would, also letters that QTest's key table does not know.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

class RecordingHost : public TopicEditorHost
{
public:
    void testTopic(const TopicDocument &document) override { tested.append(document); }
    void topicSaved(const QString &path) override { saved << path; }
    QString topicFolder() const override { return folder; }

    QList<TopicDocument> tested;
    QStringList saved;
    QString folder;
};

struct EditorFixture {
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    Random random{1};
    std::unique_ptr<SettingsStore> settings;
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Services> services;
    RecordingHost host;
    std::unique_ptr<TThemenEditorForm> form;

    EditorFixture()
    {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("kapitolo.ini")));
        services = std::make_unique<Services>(Services{messages, clock, random, *settings, shell, dialogs, dir.path() + '/'});
        host.folder = dir.path();
        form = std::make_unique<TThemenEditorForm>(*services, host);
        form->resize(1100, 760);
    }

    template <typename T>
    T *child(const char *name) const
    {
        T *w = form->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }

    // A click on the card at a card position, then the caption typed and Enter.
    void addLabel(double fx, double fy, const QString &caption)
    {
        EditorCanvas *canvas = form->canvas();
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->controlPoint(fx, fy));
        QVERIFY(canvas->captionEdit()->isVisible());
        typeText(canvas->captionEdit(), caption);
        QTest::keyClick(canvas->captionEdit(), Qt::Key_Return);
    }

    void drag(const QPoint &from, const QPoint &to)
    {
        EditorCanvas *canvas = form->canvas();
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, (from + to) / 2);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
    }
};

QByteArray stored(const TopicDocument &d)
{
    return documentToJson(d);
}

} // namespace

class TestTopicEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Three labels by clicks, one box dragged away (a leader line), one deleted, the
    // deletion undone and the first label deleted for good; saved and read back.
    void mapTopicFromAPicture()
    {
        EditorFixture f;
        f.form->editNew(TopicEditModel::newImageTopic(patternImage(600, 400)));
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        EditorCanvas *canvas = f.form->canvas();

        f.addLabel(0.25, 0.25, QStringLiteral("Rhein"));
        f.addLabel(0.5, 0.5, QStringLiteral("Main"));
        f.addLabel(0.75, 0.6, QStringLiteral("Donau"));
        const TopicDocument &d = f.form->model().document();
        QCOMPARE(d.objects.size(), 3);
        QCOMPARE(d.objects.at(1).Cap, QStringLiteral("Main"));
        QVERIFY(qAbs(d.objects.at(1).Sx - 0.5) < 0.01 && qAbs(d.objects.at(1).Sy - 0.5) < 0.01);
        QVERIFY(!canvas->captionEdit()->isVisible());
        QCOMPARE(canvas->selected(), 2); // the new label is chosen

        // A letter the file cannot hold: the field stays open with the message under it.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->controlPoint(0.1, 0.9));
        QVERIFY(canvas->captionEdit()->isVisible());
        typeText(canvas->captionEdit(), QStringLiteral("Chişinău"));
        QTest::keyClick(canvas->captionEdit(), Qt::Key_Return);
        QCOMPARE(d.objects.size(), 3);
        QVERIFY(canvas->captionEdit()->isVisible());
        QVERIFY(f.form->errorLabel()->isVisible());
        QVERIFY(f.form->errorLabel()->text().startsWith(QStringLiteral("Beschriftung: Das Zeichen \"ş\" (U+015F)")));
        QTest::keyClick(canvas->captionEdit(), Qt::Key_Escape);
        QVERIFY(!canvas->captionEdit()->isVisible());

        // "Main": its box dragged up and right, away from its spot.
        const QRect mainBox = canvas->objectRect(1);
        QVERIFY(!mainBox.isNull());
        f.drag(mainBox.center(), mainBox.center() + QPoint(60, -50));
        QCOMPARE(canvas->selected(), 1);
        QCOMPARE(d.objects.at(1).Sline, 1);
        QVERIFY(d.objects.at(1).Kx > 0.5 && d.objects.at(1).Ky < 0.5);
        QVERIFY(qAbs(d.objects.at(1).Sx - 0.5) < 0.01); // the spot stayed

        // "Donau": chosen by a click, deleted with Delete, back with Ctrl+Z.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->objectRect(2).center());
        QCOMPARE(canvas->selected(), 2);
        QTest::keyClick(canvas, Qt::Key_Delete);
        QCOMPARE(d.objects.size(), 2);
        QTest::keyClick(f.form.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(d.objects.size(), 3);
        QCOMPARE(d.objects.at(2).Cap, QStringLiteral("Donau"));

        // "Rhein": the red spot dragged moves the whole label.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->objectRect(0).center());
        f.drag(canvas->controlPoint(0.25, 0.25), canvas->controlPoint(0.3, 0.35));
        QVERIFY(qAbs(d.objects.at(0).Sx - 0.3) < 0.01 && qAbs(d.objects.at(0).Sy - 0.35) < 0.01);
        QCOMPARE(d.objects.at(0).Sline, 0);
        f.child<QPushButton>("ObjLoeschenBtn")->click();
        QCOMPARE(d.objects.size(), 2);

        // Placement and title through the side panel and the header.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->objectRect(1).center());
        QComboBox *placement = f.child<QComboBox>("ObjAusrCombo");
        placement->setCurrentIndex(4);
        Q_EMIT placement->activated(4);
        QCOMPARE(d.objects.at(1).KAusr, 4);
        QLineEdit *title = f.child<QLineEdit>("TitelEdit");
        title->setFocus();
        typeText(title, QStringLiteral("Flüsse"));
        QTest::keyClick(title, Qt::Key_Tab);
        QCOMPARE(d.titel, QStringLiteral("Flüsse"));
        QVERIFY(f.form->windowTitle().endsWith(QStringLiteral(" *")));

        const QString path = f.dir.filePath(QStringLiteral("fluesse.tsr"));
        f.dialogs.answers << f.dir.filePath(QStringLiteral("fluesse")); // the extension is added
        f.child<QPushButton>("SpeichernBtn")->click();
        QCOMPARE(f.host.saved, QStringList{path});
        QVERIFY(!f.form->model().isModified());
        QVERIFY(!f.form->windowTitle().endsWith(QStringLiteral(" *")));

        TopicDocument read;
        TopicNavigation navigation;
        QCOMPARE(readDocument(path, read, navigation, f.messages), ReadResult::Ok);
        QCOMPARE(stored(read), stored(d));
        QCOMPARE(read.objects.at(0).Cap, QStringLiteral("Main"));
        QCOMPARE(read.objects.at(1).Cap, QStringLiteral("Donau"));
        QCOMPARE(read.AnzFrageNummern, 2);
        QCOMPARE(read.baseImage.size(), QSize(600, 400));
    }

    void clozeGapFromASelection()
    {
        EditorFixture f;
        f.form->editNew(TopicEditModel::newClozeTopic());
        f.form->show();
        QPlainTextEdit *text = f.child<QPlainTextEdit>("LueckentextEdit");
        text->setFocus();
        QTest::keyClicks(text, QStringLiteral("Das Wasser verdunstet."));
        QTextCursor cursor = text->textCursor();
        cursor.setPosition(4);
        cursor.setPosition(10, QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
        f.child<QPushButton>("LueckeBtn")->click();
        const TopicDocument &d = f.form->model().document();
        QCOMPARE(d.lueckentext, QStringLiteral("Das <<Wasser>> verdunstet."));
        QCOMPARE(text->toPlainText(), d.lueckentext);
        QCOMPARE(d.objects.size(), 1);
        QCOMPARE(d.objects.at(0).Typ, qint32(otGap));
        QCOMPARE(d.objects.at(0).Cap, QStringLiteral("Wasser"));
        // The preview laid the gap out: its box sits on the card.
        QVERIFY(!f.form->canvas()->objectRect(0).isNull());

        // A selection inside the gap is refused at the field.
        cursor.setPosition(7);
        cursor.setPosition(9, QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
        f.child<QPushButton>("LueckeBtn")->click();
        QVERIFY(f.form->errorLabel()->isVisible());
        QCOMPARE(d.objects.size(), 1);
    }

    void questionTable()
    {
        EditorFixture f;
        f.form->editNew(TopicEditModel::newQuestionTopic());
        f.form->show();
        QTableWidget *table = f.child<QTableWidget>("FragenTabelle");
        auto addRow = [&](const QString &question, const QString &answer) {
            f.child<QPushButton>("ZeileNeuBtn")->click();
            const int row = table->rowCount() - 1;
            table->item(row, 0)->setText(question);
            table->item(row, 1)->setText(answer);
        };
        addRow(QStringLiteral("7 x 8"), QStringLiteral("56"));
        addRow(QStringLiteral("6 x 9"), QStringLiteral("54"));
        addRow(QStringLiteral("ohne Antwort"), QString());
        const TopicDocument &d = f.form->model().document();
        QCOMPARE(d.fragentext, QStringLiteral("7 x 8//56\r\n6 x 9//54\r\nohne Antwort//---"));
        QCOMPARE(d.AnzFrageNummern, 3);
        // The preview shows the chosen row's question with its answer open.
        table->setCurrentCell(1, 0);
        const TopicDocument &shown = f.form->canvas()->shownDocument();
        QCOMPARE(shown.currentQuestion, 2);
        for (int i = 0; i < shown.objects.size(); ++i)
            if (shown.objects.at(i).Typ == otAnswer)
                QCOMPARE(markOf(f.form->canvas()->shownMarks(), i).coverState, qint32(csUncovered));

        table->setCurrentCell(1, 0);
        f.child<QPushButton>("ZeileHochBtn")->click();
        QCOMPARE(d.fragentext, QStringLiteral("6 x 9//54\r\n7 x 8//56\r\nohne Antwort//---"));
        table->setCurrentCell(2, 0);
        f.child<QPushButton>("ZeileLoeschenBtn")->click();
        QCOMPARE(d.AnzFrageNummern, 2);
        QCOMPARE(table->rowCount(), 2);

        f.child<QPushButton>("UndoBtn")->click();
        QCOMPARE(d.AnzFrageNummern, 3);
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(2, 0)->text(), QStringLiteral("ohne Antwort"));

        // "//" in a cell would split the question: refused, the cell marked.
        table->item(0, 1)->setText(QStringLiteral("5//4"));
        QVERIFY(f.form->errorLabel()->text().contains(QStringLiteral("\"//\" trennt Frage und Antwort")));
        QCOMPARE(d.fragentext.count(QStringLiteral("//")), 3);
    }

    void closingAsksAboutChanges()
    {
        EditorFixture f;
        f.form->editNew(TopicEditModel::newImageTopic(patternImage(300, 200)));
        f.form->show();
        f.addLabel(0.5, 0.5, QStringLiteral("Gipfel"));
        f.messages.setNextAnswer(MessageAnswer::Cancel);
        QVERIFY(!f.form->close());
        QVERIFY(f.form->isVisible());
        QCOMPARE(f.messages.texts().last(), QStringLiteral("Das Thema \"Neues Thema\" wurde geändert.\r\nÄnderungen speichern?"));
        // "Nein" closes without writing.
        f.messages.setNextAnswer(MessageAnswer::No);
        QVERIFY(f.form->close());
        QVERIFY(f.host.saved.isEmpty());
        QVERIFY(QDir(f.dir.path()).entryList({QStringLiteral("*.tsr")}).isEmpty());
    }

    // The main window: a new topic from a picture, "Testen" plays a copy that leaves no
    // best-list entry, the network commands wait for the editor, and a saved topic joins
    // the topic menu.
    void mainWindowSide()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        FakeClock clock;
        Random random{1};
        const QString program = dir.path() + QStringLiteral("/programm/");
        const QString themen = dir.path() + QStringLiteral("/themen/");
        QDir(dir.path()).mkpath(QStringLiteral("programm/data"));
        QDir(dir.path()).mkpath(QStringLiteral("themen"));
        writeFile(program + QStringLiteral("data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        writeFile(dir.filePath(QStringLiteral("bild.png")), pngBytes(patternImage(400, 300)));
        QVERIFY(writeTopic(themen + QStringLiteral("anderes.tsr"), QStringLiteral("Ein anderes Thema"), 3));
        writeFile(dir.filePath(QStringLiteral("kapitolo.ini")),
                  "[General]\nOpt-UebNameEingabe=0\nOpt-Sound=0\nOpt-BestListOrdner=" + dir.path().toUtf8() + "/best/\n");
        QDir(dir.path()).mkpath(QStringLiteral("best"));
        SettingsStore settings(dir.filePath(QStringLiteral("kapitolo.ini")));
        RecordingShell shell;
        ScriptedFileDialogs dialogs;
        Services services{messages, clock, random, settings, shell, dialogs, program};
        TForm1 window(services, themen);
        window.CreateDialogs();
        window.FormShow();

        QVERIFY(window.topicEditorController().NewTopic(dtImageLabelling, dir.filePath(QStringLiteral("bild.png"))));
        TThemenEditorForm *editor = window.topicEditorController().topicEditor();
        QVERIFY(editor && editor->isVisible());
        QVERIFY(editor->model().addLabel(0.3, 0.3, QStringLiteral("Quelle")) >= 0);
        QVERIFY(editor->model().addLabel(0.7, 0.7, QStringLiteral("Mündung")) >= 0);
        QVERIFY(editor->model().setHeaderText(HeaderField::Titel, QStringLiteral("Der Fluss")));

        window.findMenuAction(QStringLiteral("NetzInit1"))->trigger();
        QCOMPARE(messages.texts().last(), QStringLiteral("Bitte zuerst den Beschriftungseditor schließen."));

        editor->test();
        QVERIFY(window.quizInProgress());
        QVERIFY(window.topicEditorController().testingEditedTopic());
        QCOMPARE(window.document().titel, QStringLiteral("Der Fluss"));
        QCOMPARE(window.topicFolder(), themen); // the topic menu stays with the teacher's topics
        QVERIFY(!window.quiz().enterBestList());
        // An answer of the test run is not the pupil's: the learning record stays closed.
        QVERIFY(window.engine().evaluate(0, window.engine().run().quizList.at(0).positionObject).taken());
        QVERIFY(!window.learning().recordOpened());
        QVERIFY(QDir(dir.filePath(QStringLiteral("best"))).entryList(QDir::Files).isEmpty());
        messages.setNextAnswer(MessageAnswer::Yes);
        window.LernKartBtnClick(); // cancels the test quiz

        dialogs.answers << themen + QStringLiteral("fluss.tsr");
        QVERIFY(editor->saveAs());
        // The saved topic replaces the test copy and stands in the menu beside the others.
        QCOMPARE(window.document().fileName, themen + QStringLiteral("fluss.tsr"));
        QCOMPARE(window.topicList().size(), 2);
        QCOMPARE(window.topicList().at(1).title, QStringLiteral("Der Fluss"));
        QCOMPARE(window.currentTopicIndex(), 1);
        QVERIFY(window.topicEditorController().closeTopicEditor());
        QVERIFY(!editor->isVisible());
        QCOMPARE(messages.texts().count(QStringLiteral("Bitte zuerst den Beschriftungseditor schließen.")), 1);
    }
};

QTEST_MAIN(TestTopicEditor)
#include "tst_topic_editor.moc"
