// What the pupil sees during a quiz, step by step, against what the quiz asks: the
// question drawn on the card, the marks of the places and gaps, and the tiles on the
// panel. The real main window plays; the card is read back from the quiz panel's
// painting, the way it reaches the screen.

#include "app/main_window.h"
#include "document/document_file.h"
#include "document/document_json.h"
#include "network/exchange_files.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_engine.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/card_renderer.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

enum class Route { OwnQuiz, Participant, EditorTest };

// What a place or gap must show, kept by the test from the drops it made.
enum class Mark { Open, Shown, Tick, Cross, Assigned };

QImage plainImage(int w, int h, const QColor &colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

TopicDocument placesDocument()
{
    TopicDocument d;
    d.titel = QStringLiteral("Fünf Orte");
    d.baseImage = plainImage(600, 400, QColor(244, 240, 226));
    const std::tuple<const char *, double, double> places[] = {
        {"Kiel", 0.2, 0.15}, {"Ulm", 0.7, 0.2}, {"Gera", 0.35, 0.5}, {"Jena", 0.75, 0.6}, {"Trier", 0.25, 0.85}};
    for (const auto &[name, x, y] : places) {
        DocObject o;
        o.Cap = QString::fromUtf8(name);
        o.Sx = o.Kx = x;
        o.Sy = o.Ky = y;
        o.Ebene = layerBeschriftung;
        o.Typ = otLabel;
        o.KAusr = 1;
        d.objects.append(o);
    }
    d.AnzFrageNummern = 5;
    return d;
}

TopicDocument clozeDocument()
{
    TopicDocument d;
    d.titel = QStringLiteral("Wasser");
    d.DokTyp = dtCloze;
    d.baseImage = plainImage(870, 600, Qt::white);
    d.lueckentext = QStringLiteral("Die <<Sonne>> erwärmt das Wasser im <<Meer>>.\r\nEs <<verdunstet>> und steigt als "
                                   "<<Dampf>> auf.\r\nIn der Höhe bilden sich <<Wolken>>.");
    createGapObjects(d.lueckentext, d.objects);
    d.AnzFrageNummern = 5;
    return d;
}

TopicDocument questionsDocument()
{
    TopicDocument d;
    d.titel = QStringLiteral("Hauptstädte");
    d.DokTyp = dtSingleQuestions;
    d.baseImage = plainImage(600, 400, Qt::white);
    d.AnzFrageNummern = createQuestionObjects(QStringLiteral("Hauptstadt von Frankreich?//Paris\r\n"
                                                             "Hauptstadt von Italien?//Rom\r\n"
                                                             "Hauptstadt von Spanien?//Madrid\r\n"
                                                             "Hauptstadt von Polen?//Warschau\r\n"
                                                             "Hauptstadt von Ungarn?//Budapest\r\n"),
                                              d.objects);
    return d;
}

int countColour(const QImage &img, const QRect &rect, const QColor &colour)
{
    const QRect r = rect & img.rect();
    const QRgb want = colour.rgb();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (img.pixel(x, y) | 0xff000000u) == want;
    return n;
}

// Pixels within a small distance of the colour: small text is all edges, few of its
// pixels keep the exact colour.
int countNear(const QImage &img, const QRect &rect, const QColor &colour, int tolerance = 80)
{
    const QRect r = rect & img.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance
                && qAbs(c.blue() - colour.blue()) <= tolerance;
        }
    return n;
}

// The card renderer drawing the card alone, for comparison with what the panel shows.
class QuizCardHost : public NullLearningViewHost
{
public:
    explicit QuizCardHost(const QuizDisplay &display)
        : m_display(display)
    {
    }
    QuizDisplay quizDisplay() const override { return m_display; }

private:
    QuizDisplay m_display;
};

struct Fixture {
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    Random random{5};
    std::unique_ptr<SettingsStore> settings;
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Services> services;
    std::unique_ptr<TForm1> window;
    QString channel = QStringLiteral("BILD-%1").arg(QCoreApplication::applicationPid() % 100000);

    QString kom() const { return dir.path() + QStringLiteral("/kom/"); }

    // Opens the document at the path, or the given one written into the test's topic
    // folder, or none.
    Fixture(const QByteArray &settingLines, QString documentPath, const TopicDocument *document = nullptr)
    {
        for (const char *sub : {"programm/data", "kom", "themen"})
            QDir(dir.path()).mkpath(QLatin1String(sub));
        if (document) {
            TopicDocument copy = *document;
            documentPath = dir.path() + QStringLiteral("/themen/thema.tsr");
            QVERIFY(writeDocument(documentPath, copy, false, messages));
        }
        writeFile(dir.path() + QStringLiteral("/programm/data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        writeFile(dir.path() + QStringLiteral("/k.ini"),
                  "[General]\nOpt-UebNameEingabe=0\nOpt-Sound=0\nOpt-ErgebBestListEintragen=0\nNetzKomOrdner=" + kom().toUtf8()
                      + "\nNetzKomKanal=" + channel.toUtf8() + "\n" + settingLines);
        settings = std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/k.ini"));
        services = std::make_unique<Services>(
            Services{messages, clock, random, *settings, shell, dialogs, dir.path() + QStringLiteral("/programm/")});
        window = std::make_unique<TForm1>(*services, documentPath);
        window->CreateDialogs();
        window->resize(1100, 760);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->FormShow();
    }

    QuizBoard *board() const { return window->quizBoard(); }
    const TopicDocument &doc() const { return window->document(); }
    bool running() const { return window->appMode() == int(amQuizRunning); }

    // The card as the quiz panel paints it, without the tiles, the frame or the counter.
    QImage cardShot() const
    {
        const QRect card = board()->cardRect();
        QImage img(card.size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        board()->render(&img, QPoint(), QRegion(card), QWidget::DrawWindowBackground);
        return img;
    }

    // The object's box on the card, in panel pixels.
    QRect box(int object) const
    {
        const RectD &b = window->cardBitmaps().layout.hitBox(object);
        CardRenderer &r = window->renderer();
        return QRect(r.fractionToControl(b.left, b.top), r.fractionToControl(b.right, b.bottom));
    }

    // Every object's box now: the boxes change when the quiz hands the card back.
    QList<QRect> boxes() const
    {
        QList<QRect> all;
        for (int i = 0; i < doc().objects.size(); ++i)
            all << box(i);
        return all;
    }

    // The same card drawn by a renderer of its own, with the given question shown.
    QImage cardWithQuestion(qint32 frageNummer)
    {
        TopicDocument copy = doc();
        copy.currentQuestion = frageNummer;
        ViewState view = window->viewState();
        CardBitmaps bitmaps;
        QuizCardHost host(window->quizDisplay());
        ScriptedMessages quiet;
        CardRenderer renderer(copy, view, bitmaps, host, quiet);
        renderer.BuildCardView();
        QImage img(board()->cardRect().size(), QImage::Format_RGB32);
        QPainter p(&img);
        paintCardControl(p, img.size(), bitmaps.display);
        return img;
    }

    // Visible tiles and those waiting for room on the stacks, by caption.
    QStringList tileCaptions(bool visibleOnly) const
    {
        QStringList captions;
        for (int k = 0; k < board()->tileCount(); ++k)
            if (const AnswerTile *t = board()->tile(k))
                if (!t->isHidden() || (!visibleOnly && board()->waitingTiles().contains(k)))
                    captions << t->plainCaption();
        captions.sort();
        return captions;
    }

    int pairWithCaption(const QString &caption) const
    {
        for (int k = 0; k < board()->tileCount(); ++k)
            if (const AnswerTile *t = board()->tile(k); t && t->plainCaption() == caption)
                if (!t->isHidden() || board()->waitingTiles().contains(k))
                    return k;
        return -1;
    }

    // A drop without the mouse: Tab to the tile, Space, the target's number, Enter.
    bool dropByKeys(int pair, int object)
    {
        AnswerTile *tile = board()->tile(pair);
        if (!tile)
            return false;
        if (tile->isHidden()) // waiting on no stack yet: the keyboard takes it anyway
            return false;
        for (int i = 0; i < board()->tileCount() + 40 && QApplication::focusWidget() != tile; ++i) {
            QWidget *focused = QApplication::focusWidget();
            QTest::keyClick(focused ? focused : window.get(), Qt::Key_Tab);
        }
        if (QApplication::focusWidget() != tile)
            return false;
        QTest::keyClick(tile, Qt::Key_Space);
        if (board()->heldPair() != pair)
            return false;
        QTest::keyClicks(tile, doc().displayNumberText(markOf(window->engine().run().marks, object).displayNo));
        QTest::keyClick(tile, Qt::Key_Return);
        return true;
    }

    // Joins as a pupil the exercise whose files a teacher left in the exchange folder.
    void joinExercise(const TopicDocument &d, const NetworkOptionFile &options)
    {
        TopicDocument copy = d;
        QVERIFY(writeDocument(exchangeFilePath(kom(), channel, kExchangeDocument), copy, false, messages));
        QVERIFY(writeOptionFile(exchangeFilePath(kom(), channel, kExchangeOptions), options));
        QVERIFY(writeMarkerFile(exchangeFilePath(kom(), channel, kExchangeMarker)));
        window->networkQuiz().NetzTeilnehmen1Click();
    }
};

// Closes the quiz-finished dialog with "Lernkarte" when it shows, keeping the card of
// that moment: the verdicts withheld until the end are on it then.
struct FinishedDialogCloser {
    QTimer timer;
    QImage lastCard;
    QList<QRect> lastBoxes;
    QString correct;
    bool shown = false;

    explicit FinishedDialogCloser(Fixture &f)
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this, &f] {
            TUebFertigForm *dialog = f.window->uebFertigForm();
            if (!dialog || !dialog->isVisible())
                return;
            shown = true;
            lastCard = f.cardShot();
            lastBoxes = f.boxes();
            correct = dialog->richtigLab()->text();
            QTest::mouseClick(dialog->lernBtn(), Qt::LeftButton);
        });
        timer.start();
    }
};

struct Play {
    std::map<int, Mark> marks;      // the quiz's places or gaps
    std::map<int, bool> wrongOn;    // a wrong tile went there (feedback at the end)
    QStringList tiles;              // captions of the tiles not placed yet
    int queryMode = 0;
    bool feedbackAtEnd = false;
    bool onCorrect = false;
    bool onFailed = false;

    Mark placed() const { return feedbackAtEnd ? Mark::Assigned : onCorrect ? Mark::Tick : Mark::Shown; }
    bool open(int object) const
    {
        const auto it = marks.find(object);
        return it != marks.end() && it->second == Mark::Open;
    }
};

const char *markName(Mark m)
{
    switch (m) {
    case Mark::Open: return "offen";
    case Mark::Shown: return "aufgedeckt";
    case Mark::Tick: return "Häkchen";
    case Mark::Cross: return "Kreuz";
    case Mark::Assigned: return "zugeordnet";
    }
    return "";
}

// Reads each place's mark off the card by the colours the card gives it; plainCard:
// the document's picture has none of those colours, so that their absence counts too.
QString checkMarks(const Fixture &f, const QImage &card, const QList<QRect> &boxes, const Play &play, int asked,
                   bool plainCard)
{
    const QColor textColour = f.doc().DokTyp == dtCloze ? cardcolour::gapText() : QColor(Qt::black);
    for (const auto &[object, mark] : play.marks) {
        const QRect box = boxes.value(object);
        const int numbered = countColour(card, box, cardcolour::numberBadgeFill());
        const int inactive = countColour(card, box, cardcolour::inactiveBadgeFill());
        const int covered = countColour(card, box, cardcolour::coverFill());
        bool ok = false;
        switch (mark) {
        case Mark::Open:
            // With one position asked at a time only that one carries its number.
            if (play.queryMode == 2 && object != asked)
                ok = inactive >= 20 && numbered == 0;
            else
                ok = numbered >= 20 && (!plainCard || inactive == 0);
            break;
        case Mark::Shown:
            ok = countNear(card, box, textColour) >= 5 && (!plainCard || numbered + inactive + covered == 0);
            break;
        case Mark::Tick:
            ok = countColour(card, box, cardcolour::tick()) >= 5 && (!plainCard || numbered + inactive == 0);
            break;
        case Mark::Cross:
            ok = countColour(card, box, cardcolour::cross()) >= 5 && (!plainCard || numbered + inactive == 0);
            break;
        case Mark::Assigned:
            ok = countColour(card, box, cardcolour::markText()) >= 3 && (!plainCard || numbered + inactive == 0);
            break;
        }
        if (!ok)
            return QStringLiteral("\"%1\" soll %2 zeigen (Nummernplakette %3, leere Plakette %4 Pixel)")
                .arg(CleanCaption(f.doc().objects.at(object).Cap), QLatin1String(markName(mark)))
                .arg(numbered)
                .arg(inactive);
    }
    return QString();
}

// Every pixel that changed between two cards lies in one of the boxes.
QString changedOnlyIn(const QImage &before, const QImage &after, const QList<QRect> &boxes)
{
    if (before.size() != after.size())
        return QStringLiteral("Kartengröße geändert");
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y)
                && std::none_of(boxes.cbegin(), boxes.cend(), [&](const QRect &r) { return r.contains(x, y); }))
                return QStringLiteral("Pixel (%1, %2) außerhalb der beantworteten Stelle geändert").arg(x).arg(y);
    return QString();
}

// Plays a label or cloze quiz to its end, one wrong drop first, and compares the
// screen with the quiz after every drop.
void playPlaces(Fixture &f, Play play, bool plainCard)
{
    const QuizRun &run = f.window->engine().run();
    for (const QuizPair &p : run.quizList) {
        play.marks[p.positionObject] = Mark::Open;
        play.tiles << CleanCaption(f.doc().objects.at(p.tileObject).Cap);
    }
    play.tiles.sort();
    FinishedDialogCloser closer(f);
    QImage before = f.cardShot();
    bool wrongDone = false;
    for (int step = 0; f.running() && step < 4 * int(play.marks.size()) + 4; ++step) {
        const int asked = f.window->engine().askedObject();
        const QString marks = checkMarks(f, before, f.boxes(), play, asked, plainCard);
        QVERIFY2(marks.isEmpty(), qPrintable(QStringLiteral("Schritt %1: ").arg(step) + marks));

        // The tiles are those not placed yet; with one text asked at a time only that one.
        const QStringList visible = f.tileCaptions(true);
        int tilePair = -1;
        int target = -1;
        if (play.queryMode == 1) {
            QCOMPARE(visible.size(), 1);
            QVERIFY(play.tiles.contains(visible.first()));
            tilePair = f.pairWithCaption(visible.first());
        } else {
            QCOMPARE(f.tileCaptions(false), play.tiles);
            QVERIFY(!visible.isEmpty());
        }
        if (play.queryMode == 2) {
            QVERIFY2(play.open(asked), "the asked position is an open one");
            target = asked;
        }

        auto captionOf = [&](int object) { return CleanCaption(f.doc().objects.at(object).Cap); };
        const bool wrong = !wrongDone;
        if (wrong) {
            // Any tile on a place it does not belong to.
            for (const auto &[object, mark] : play.marks) {
                if (mark != Mark::Open || (target >= 0 && object != target))
                    continue;
                for (const QString &caption : visible) {
                    if (caption == captionOf(object) || (tilePair >= 0 && caption != visible.first()))
                        continue;
                    target = object;
                    tilePair = f.pairWithCaption(caption);
                    break;
                }
                if (tilePair >= 0 && target >= 0)
                    break;
            }
        } else if (play.queryMode == 2) {
            tilePair = f.pairWithCaption(captionOf(target));
        } else {
            for (const auto &[object, mark] : play.marks)
                if (mark == Mark::Open && (tilePair < 0 || captionOf(object) == visible.first())
                    && visible.contains(captionOf(object))) {
                    target = object;
                    break;
                }
            if (tilePair < 0 && target >= 0)
                tilePair = f.pairWithCaption(captionOf(target));
        }
        bool right = !wrong;
        if (tilePair < 0 || target < 0) {
            // With the verdict withheld a wrong tile took a place: what is left to lay
            // does not fit any more, and the pupil lays it all the same.
            QVERIFY2(play.feedbackAtEnd, qPrintable(QStringLiteral("Schritt %1: nichts zu legen").arg(step)));
            if (tilePair < 0)
                tilePair = f.pairWithCaption(visible.value(0));
            for (const auto &[object, mark] : play.marks)
                if (target < 0 && mark == Mark::Open)
                    target = object;
            QVERIFY(tilePair >= 0 && target >= 0);
            right = f.board()->tile(tilePair)->plainCaption() == captionOf(target);
        }
        wrongDone = true;
        const QString tileCaption = f.board()->tile(tilePair)->plainCaption();
        const QRect targetBefore = f.box(target);

        QVERIFY(f.dropByKeys(tilePair, target));

        if (play.feedbackAtEnd) {
            play.marks[target] = Mark::Assigned;
            play.wrongOn[target] = !right;
            play.tiles.removeOne(tileCaption);
        } else if (right) {
            play.marks[target] = play.placed();
            play.tiles.removeOne(tileCaption);
        } else if (play.onFailed) {
            play.marks[target] = Mark::Cross;
        }
        if (!f.running())
            break;
        // Played from the keyboard, the focus stays on the tiles for the next drop.
        const auto *focused = qobject_cast<const AnswerTile *>(QApplication::focusWidget());
        QVERIFY2(focused && focused->isVisible(),
                 qPrintable(QStringLiteral("Schritt %1: Fokus auf %2").arg(step).arg(
                     QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("nichts"))));
        // The answer changed its own place and, one position asked at a time, the marks
        // of the position asked before and after it: nothing else on the card.
        const QImage after = f.cardShot();
        QList<QRect> changed{targetBefore.adjusted(-2, -2, 2, 2), f.box(target).adjusted(-2, -2, 2, 2)};
        if (play.queryMode == 2) {
            changed << f.box(f.window->engine().askedObject()).adjusted(-2, -2, 2, 2);
        }
        const QString outside = changedOnlyIn(before, after, changed);
        QVERIFY2(outside.isEmpty(), qPrintable(QStringLiteral("Schritt %1: ").arg(step) + outside));
        before = after;
    }
    QVERIFY2(!f.running(), "the quiz ended");
    QVERIFY(closer.shown);
    if (play.feedbackAtEnd)
        for (auto &[object, mark] : play.marks)
            if (mark == Mark::Assigned)
                mark = play.wrongOn[object] ? Mark::Cross : (play.onCorrect ? Mark::Tick : Mark::Shown);
    const QString final = checkMarks(f, closer.lastCard, closer.lastBoxes, play, -1, plainCard);
    QVERIFY2(final.isEmpty(), qPrintable(QStringLiteral("Ende: ") + final));
}

// Plays single questions to the end, the first answer wrong: at every question the card
// shows that question, drawn as the renderer draws it alone, and its answer is a tile.
void playQuestions(Fixture &f, int *asked = nullptr)
{
    FinishedDialogCloser closer(f);
    QSet<int> failed;
    bool wrongDone = false;
    int questions = 0;
    for (int step = 0; f.running() && step < 40; ++step) {
        const int answer = f.window->engine().askedObject();
        QVERIFY(answer >= 0);
        const qint32 number = f.doc().objects.at(answer).FrageNummer;
        const QImage shown = f.cardShot();
        const QImage expected = f.cardWithQuestion(number);
        QVERIFY2(shown == expected,
                 qPrintable(QStringLiteral("Frage %1: die Karte zeigt eine andere Frage").arg(number)));
        // And not the same card for every question: the question text is on it.
        QString questionText;
        for (const DocObject &o : f.doc().objects)
            if (o.Typ == otQuestion && o.FrageNummer == number)
                questionText = CleanCaption(o.Cap);
        QVERIFY(!questionText.isEmpty());

        const QList<AnswerTile *> places = f.board()->answersInPlaceOrder();
        QVERIFY(places.size() >= 2 && places.size() <= 6);
        QStringList captions;
        for (const AnswerTile *t : places)
            captions << t->plainCaption();
        QVERIFY2(captions.contains(CleanCaption(f.doc().objects.at(answer).Cap)), qPrintable(captions.join(u',')));
        QCOMPARE(QSet<QString>(captions.cbegin(), captions.cend()).size(), captions.size());

        // The counter above the answers says which question this is.
        const QString counter = QString::number(step + 1) + QStringLiteral(". Frage")
            + (failed.contains(answer) ? QStringLiteral(" (wiederholte Frage)") : QString());
        bool counterShown = false;
        for (const QLabel *l : f.board()->findChildren<QLabel *>())
            counterShown |= l->isVisible() && l->text() == counter;
        QVERIFY2(counterShown, qPrintable(counter));

        AnswerTile *right = f.board()->tile(f.window->engine().correctTile());
        qsizetype place = places.indexOf(right);
        QVERIFY(place >= 0);
        if (!wrongDone) {
            place = place == 0 ? 1 : 0;
            wrongDone = true;
            failed << answer;
        }
        ++questions;
        if (asked)
            *asked = questions;
        QTest::mouseClick(places.at(place), Qt::LeftButton);
    }
    QVERIFY2(!f.running(), "the quiz ended");
    QVERIFY(closer.shown);
}

QString programThemen()
{
    return QStringLiteral(KAPITOLO_PROGRAM_DIR) + QStringLiteral("/themen");
}

} // namespace

class TestQuizScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void placesAndGaps_data()
    {
        QTest::addColumn<bool>("cloze");
        QTest::addColumn<int>("queryMode");
        QTest::addColumn<bool>("feedbackAtEnd");
        QTest::addColumn<bool>("onFailed");
        QTest::addColumn<bool>("onCorrect");
        for (const bool cloze : {false, true})
            for (int mode = 0; mode < 3; ++mode)
                for (const bool atEnd : {false, true})
                    for (const bool locked : {false, true}) {
                        // The tick takes the place of the caption in every other row.
                        const bool tick = (mode + int(locked)) % 2 == 1;
                        QTest::addRow("%s mode %d%s%s%s", cloze ? "cloze" : "map", mode,
                                      atEnd ? ", feedback at the end" : "", locked ? ", locked" : "",
                                      tick ? ", tick" : "")
                            << cloze << mode << atEnd << locked << tick;
                    }
    }

    // Feedback at the end reaches a pupil only through a teacher's option file; the
    // others are the pupil's own quiz with the options of the settings.
    void placesAndGaps()
    {
        QFETCH(bool, cloze);
        QFETCH(int, queryMode);
        QFETCH(bool, feedbackAtEnd);
        QFETCH(bool, onFailed);
        QFETCH(bool, onCorrect);
        Play play;
        play.queryMode = queryMode;
        play.feedbackAtEnd = feedbackAtEnd;
        play.onFailed = onFailed && !feedbackAtEnd;
        play.onCorrect = onCorrect;
        const TopicDocument d = cloze ? clozeDocument() : placesDocument();
        if (feedbackAtEnd) {
            Fixture f{QByteArray(), QString()};
            NetworkOptionFile options;
            options.initiator = QStringLiteral("localhost");
            options.feedbackAtEnd = 1;
            options.onCorrect = onCorrect;
            options.onFailed = onFailed;
            options.queryMode = queryMode;
            f.joinExercise(d, options);
            QVERIFY2(f.running(), qPrintable(f.messages.texts().join(u'|')));
            QCOMPARE(f.window->engine().options().feedbackAtEnd, 1);
            playPlaces(f, play, true);
        } else {
            Fixture f(QStringLiteral("UebOpt-AbfrageModus=%1\nUebOpt-ZuordnungFalsch=%2\nUebOpt-ZuordnungRichtig=%3\n")
                          .arg(queryMode)
                          .arg(int(onFailed))
                          .arg(int(onCorrect))
                          .toUtf8(),
                      QString(), &d);
            QVERIFY(f.window->UebungStart1Click());
            QCOMPARE(f.window->engine().options().queryMode, queryMode);
            QCOMPARE(f.window->engine().options().onFailed, int(onFailed));
            playPlaces(f, play, true);
        }
    }

    void singleQuestions_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<bool>("onceOnly");
        QTest::newRow("own quiz, asked again") << int(Route::OwnQuiz) << false;
        QTest::newRow("own quiz, asked once") << int(Route::OwnQuiz) << true;
        QTest::newRow("network participant") << int(Route::Participant) << false;
        QTest::newRow("editor's test run") << int(Route::EditorTest) << false;
    }

    // The card shows the question being asked, not the one the learning card showed;
    // afterwards the learning card shows its own question again.
    void singleQuestions()
    {
        QFETCH(int, route);
        QFETCH(bool, onceOnly);
        const TopicDocument d = questionsDocument();
        Fixture f(QStringLiteral("UebOptFragen-ZuordnungFalsch=%1\n").arg(int(onceOnly)).toUtf8(), QString(),
                  route == int(Route::OwnQuiz) ? &d : nullptr);
        if (route == int(Route::OwnQuiz)) {
            f.window->document().currentQuestion = 3;
            QVERIFY(f.window->UebungStart1Click());
        } else if (route == int(Route::Participant)) {
            NetworkOptionFile options;
            options.initiator = QStringLiteral("localhost");
            f.joinExercise(d, options);
        } else {
            f.window->topicEditorController().testTopic(d);
        }
        QVERIFY2(f.running(), qPrintable(f.messages.texts().join(u'|')));
        int asked = 0;
        playQuestions(f, &asked);
        QCOMPARE(asked, onceOnly ? 5 : 6); // the wrong answer comes back unless asked once only
        if (route == int(Route::OwnQuiz))
            QCOMPARE(f.doc().currentQuestion, 3);
    }

    void bundledSamples_data()
    {
        QTest::addColumn<QString>("path");
        QDirIterator it(programThemen(), {QStringLiteral("*.tsr")}, QDir::Files, QDirIterator::Subdirectories);
        QStringList paths;
        while (it.hasNext())
            paths << it.next();
        paths.sort();
        QVERIFY2(paths.size() >= 7, qPrintable(programThemen()));
        for (const QString &p : paths)
            QTest::newRow(qPrintable(QDir(programThemen()).relativeFilePath(p))) << p;
    }

    // Every topic that ships, once to its end, as a pupil plays it first.
    void bundledSamples()
    {
        QFETCH(QString, path);
        Fixture f(QByteArray(), path);
        if (!f.window->UebungStart1Click()) {
            // A topic of links only: nothing to ask, and the pupil is told so.
            QCOMPARE(f.messages.texts().value(0),
                     QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen."));
            return;
        }
        if (f.doc().DokTyp == dtSingleQuestions) {
            playQuestions(f);
        } else {
            Play play;
            play.queryMode = f.window->engine().options().queryMode;
            play.onCorrect = f.window->engine().options().onCorrect == 1;
            play.onFailed = f.window->engine().options().onFailed == 1;
            playPlaces(f, play, false);
        }
    }
};

QTEST_MAIN(TestQuizScreen)
#include "tst_quiz_screen.moc"
