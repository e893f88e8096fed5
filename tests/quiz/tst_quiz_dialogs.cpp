#include "app/app_settings.h"
#include "platform/settings_store.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_option_forms.h"
#include "quiz/radio_group.h"
#include "quiz/rating_scale.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;

namespace {

QString plain(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

void click(QAbstractButton *button)
{
    QVERIFY(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// Replaces the field's text by typing, as the user would.
void retype(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

// The dialog's frame centred on the screen's available area (one pixel for odd halves).
bool centredOnScreen(const QWidget &w)
{
    const QRect area = w.screen()->availableGeometry();
    const QPoint d = w.frameGeometry().center() - area.center();
    return qAbs(d.x()) <= 1 && qAbs(d.y()) <= 1;
}

AppSettings changedSettings()
{
    AppSettings s;
    s.abfrageModus = 2;
    s.zeitLimit = 1;
    s.zLimitMin = QStringLiteral("12");
    s.zLimitSek = QStringLiteral("5");
    s.zuordnungRichtig = 1;
    s.zuordnungFalsch = 1;
    s.zuordnungstexte = 0;
    s.zuordnungsziele = 2;
    s.fragenZuordnungFalsch = 1;
    s.fragenZuordnungstexte = 0;
    s.fragenZeitlimit = 1;
    s.fragenZLimitMin = QStringLiteral("0");
    s.fragenZLimitSek = QStringLiteral("45");
    s.fragenZuordnungsziele = 0;
    return s;
}

void compareOptionFields(const AppSettings &a, const AppSettings &b)
{
    QCOMPARE(a.abfrageModus, b.abfrageModus);
    QCOMPARE(a.zeitLimit, b.zeitLimit);
    QCOMPARE(a.zLimitMin, b.zLimitMin);
    QCOMPARE(a.zLimitSek, b.zLimitSek);
    QCOMPARE(a.zuordnungRichtig, b.zuordnungRichtig);
    QCOMPARE(a.zuordnungFalsch, b.zuordnungFalsch);
    QCOMPARE(a.zuordnungstexte, b.zuordnungstexte);
    QCOMPARE(a.zuordnungsziele, b.zuordnungsziele);
    QCOMPARE(a.fragenZuordnungFalsch, b.fragenZuordnungFalsch);
    QCOMPARE(a.fragenZuordnungstexte, b.fragenZuordnungstexte);
    QCOMPARE(a.fragenZeitlimit, b.fragenZeitlimit);
    QCOMPARE(a.fragenZLimitMin, b.fragenZLimitMin);
    QCOMPARE(a.fragenZLimitSek, b.fragenZLimitSek);
    QCOMPARE(a.fragenZuordnungsziele, b.fragenZuordnungsziele);
}

QStringList plainItems(const RadioGroup *group)
{
    QStringList items;
    for (const QString &c : group->itemCaptions())
        items << plain(c);
    return items;
}

} // namespace

class TestQuizDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Options dialogs.
    void optionDefaultsAreTheSettingsDefaults();
    void optionsRoundTripThroughSettings();
    void storedIndexOutOfRangeKeepsDefault();
    void readOptionsOfBothForms();
    void timeFields_data();
    void timeFields();
    void editingTimeSelectsLimit();
    void captions();
    void reducedAndExtendedView();
    void feedbackAtEndLocksFailedAttempts();
    void networkModeAndRestore();
    void resultCodesAndFocus();
    void showCheckBoxesAgree();
    void keyboardAccess();

    // Name entry.
    void nameEntry();

    // Quiz finished.
    void finishedFigures();
    void repetitionChoice();
    void bestListLineAndButton();
    void finishedButtons();

    // Key figures.
    void keyFiguresText();
};

void TestQuizDialogs::optionDefaultsAreTheSettingsDefaults()
{
    // The controls start where a missing setting leaves them.
    TUebOptForm form;
    TUebOptFragenForm fragen;
    AppSettings stored = changedSettings();
    form.storeTo(stored);
    fragen.storeTo(stored);
    compareOptionFields(stored, AppSettings());
    QCOMPARE(form.readOptions(), QuizOptions());
    QCOMPARE(fragen.readOptions(), QuizOptions());
}

void TestQuizDialogs::optionsRoundTripThroughSettings()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kapitolo.ini"));
    {
        TUebOptForm form;
        TUebOptFragenForm fragen;
        form.loadFrom(changedSettings());
        fragen.loadFrom(changedSettings());
        AppSettings out;
        form.storeTo(out);
        fragen.storeTo(out);
        SettingsStore store(ini);
        out.write(store);
        QVERIFY(store.sync());
    }
    SettingsStore store(ini);
    AppSettings in;
    in.read(store);
    compareOptionFields(in, changedSettings());

    TUebOptForm form;
    TUebOptFragenForm fragen;
    form.loadFrom(in);
    fragen.loadFrom(in);
    AppSettings again;
    form.storeTo(again);
    fragen.storeTo(again);
    compareOptionFields(again, changedSettings());
}

void TestQuizDialogs::storedIndexOutOfRangeKeepsDefault()
{
    AppSettings s;
    s.abfrageModus = 3;
    s.zuordnungsziele = -1;
    s.fragenZuordnungstexte = 7;
    TUebOptForm form;
    TUebOptFragenForm fragen;
    form.loadFrom(s);
    fragen.loadFrom(s);
    QCOMPARE(form.abfrageModus()->itemIndex(), 0);
    QCOMPARE(form.zuordnungsziele()->itemIndex(), 1);
    QCOMPARE(fragen.zuordnungstexte()->itemIndex(), 1);
}

void TestQuizDialogs::readOptionsOfBothForms()
{
    TUebOptForm form;
    form.show();
    form.ErwBtnClick();
    click(form.abfrageModus()->button(1));
    click(form.zuordnungRichtig()->button(1));
    click(form.zuordnungFalsch()->button(1));
    click(form.zuordnungstexte()->button(0));
    click(form.zuordnungsziele()->button(2));
    click(form.zeitlimit()->button(1));
    retype(form.zLimitMin(), QStringLiteral("2"));
    retype(form.zLimitSek(), QStringLiteral("30"));
    QuizOptions expected;
    expected.feedbackAtEnd = 0;
    expected.onCorrect = 1;
    expected.onFailed = 1;
    expected.tileOrder = 0;
    expected.positionOrder = 2;
    expected.queryMode = 1;
    expected.timeLimitOn = 1;
    expected.timeLimitSeconds = 150;
    QCOMPARE(form.readOptions(), expected);

    // Single questions: no query mode, no caption-or-tick choice, no feedback at the end.
    TUebOptFragenForm fragen;
    fragen.show();
    click(fragen.zuordnungFalsch()->button(1));
    click(fragen.zuordnungstexte()->button(0));
    click(fragen.zuordnungsziele()->button(0));
    retype(fragen.zLimitSek(), QStringLiteral("9"));
    QuizOptions single;
    single.onFailed = 1;
    single.tileOrder = 0;
    single.positionOrder = 0;
    single.timeLimitOn = 1;
    single.timeLimitSeconds = 3 * 60 + 9;
    QCOMPARE(fragen.readOptions(), single);
}

void TestQuizDialogs::timeFields_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    QTest::newRow("one digit") << "7" << "7" << 7;
    QTest::newRow("two digits") << "45" << "45" << 45;
    QTest::newRow("above 59 becomes 59") << "75" << "59" << 59;
    QTest::newRow("letters are refused") << "a1b" << "1" << 1;
    QTest::newRow("blank refused") << "1 2" << "12" << 12;
    QTest::newRow("third digit refused") << "123" << "12" << 12;
    QTest::newRow("emptied") << "" << "" << 0;
}

void TestQuizDialogs::timeFields()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, value);
    TUebOptForm form;
    form.show();
    retype(form.zLimitMin(), typed);
    QCOMPARE(form.zLimitMin()->text(), shown);
    QCOMPARE(form.zLimitMin()->value(), value);
    QCOMPARE(form.readOptions().timeLimitSeconds, value * 60);
}

void TestQuizDialogs::editingTimeSelectsLimit()
{
    // Typing into either field of either form chooses the time limit.
    TUebOptForm form;
    TUebOptFragenForm fragen;
    form.show();
    fragen.show();
    for (QuizOptionsDialog *dialog : {static_cast<QuizOptionsDialog *>(&form), static_cast<QuizOptionsDialog *>(&fragen)})
        for (TimeField *field : {dialog->zLimitMin(), dialog->zLimitSek()}) {
            click(dialog->zeitlimit()->button(0));
            QCOMPARE(dialog->zeitlimit()->itemIndex(), 0);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_End);
            QTest::keyClick(field, Qt::Key_Backspace);
            QCOMPARE(dialog->zeitlimit()->itemIndex(), 1);
        }

    // Loading stored texts is no edit: the stored choice stays, whatever the fields read.
    AppSettings s;
    s.zeitLimit = 0;
    s.zLimitMin = QStringLiteral(" 1 2");
    s.zLimitSek = QStringLiteral("x");
    form.loadFrom(s);
    QCOMPARE(form.zeitlimit()->itemIndex(), 0);
    // Stored texts are read as the quiz reads them (blanks removed, a non-number is 0), and
    // a text the field could not hold is shown as that number.
    QCOMPARE(form.readOptions().timeLimitSeconds, 12 * 60);
    QCOMPARE(form.zLimitMin()->text(), QStringLiteral("12"));
    QCOMPARE(form.zLimitSek()->text(), QStringLiteral("0"));
    s.fragenZLimitMin = QStringLiteral("zwei");
    s.fragenZLimitSek = QStringLiteral("07");
    fragen.loadFrom(s);
    QCOMPARE(fragen.readOptions().timeLimitSeconds, 7);
    QCOMPARE(fragen.zLimitMin()->text(), QStringLiteral("0"));
    QCOMPARE(fragen.zLimitSek()->text(), QStringLiteral("07"));
    s.fragenZLimitMin = QStringLiteral("2.6");
    s.fragenZLimitSek = QStringLiteral("99");
    fragen.loadFrom(s);
    QCOMPARE(fragen.readOptions().timeLimitSeconds, 3 * 60 + 59);
}

void TestQuizDialogs::captions()
{
    TUebOptForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Übungsoptionen für Bildbeschriftung und Lückentext"));
    QCOMPARE(plain(form.abfrageModus()->title()), QStringLiteral(" Abfragemodus "));
    QCOMPARE(plainItems(form.abfrageModus()),
             QStringList({" freie Zuordnung ", " Einzelabfrage Texte ", " Einzelabfrage Positionen "}));
    QCOMPARE(plain(form.zeitlimit()->title()), QStringLiteral(" Zeitlimit "));
    QCOMPARE(plainItems(form.zeitlimit()), QStringList({" ohne Zeitlimit", " mit Zeitlimit:"}));
    QCOMPARE(plain(form.zuordnungRichtig()->title()), QStringLiteral(" Verhalten bei richtiger Zuordnung "));
    QCOMPARE(plainItems(form.zuordnungRichtig()),
             QStringList({" Beschriftung einblenden ", " grünes Häkchen setzen "}));
    QCOMPARE(plain(form.zuordnungFalsch()->title()),
             QStringLiteral(" Verhalten bei falscher Zuordnung (Fehlversuch) "));
    QCOMPARE(plainItems(form.zuordnungFalsch()),
             QStringList({" beliebig viele Zuordnungsversuche erlaubt ", " rotes Kreuz setzen,  "}));
    QCOMPARE(form.zf1Lab()->text(), QStringLiteral("keine erneute Zuordnung an dieser Position"));
    QCOMPARE(plain(form.zuordnungstexte()->title()), QStringLiteral(" Zuordnungstexte "));
    QCOMPARE(plainItems(form.zuordnungstexte()), QStringList({" alphabetisch geordnet ", " zufällig gemischt "}));
    QCOMPARE(plain(form.zuordnungsziele()->title()), QStringLiteral(" Zuordnungsziele (Positionen) "));
    QCOMPARE(plainItems(form.zuordnungsziele()),
             QStringList({" geordnet nummeriert ", " zufällig gemischt nummeriert ", " Fragezeichen "}));
    QCOMPARE(plain(form.riFaRueckmeldung()->title()), QStringLiteral(" Richtig-/Falsch-Rückmeldung "));
    QCOMPARE(plainItems(form.riFaRueckmeldung()),
             QStringList({" sofort bei jeder Zuordnung ", " erst am Ende der Übung "}));
    QCOMPARE(plain(form.zeigenCheck()->text()), QStringLiteral(" Dieses Dialogfenster vor jeder Übung anzeigen "));
    QCOMPARE(plain(form.okBtn()->text()), QStringLiteral("Übung starten"));
    QCOMPARE(plain(form.closeBtn()->text()), QStringLiteral("Schließen"));

    TUebOptFragenForm fragen;
    QCOMPARE(fragen.windowTitle(), QStringLiteral("Übungsoptionen für Einzelfragen"));
    QCOMPARE(plain(fragen.zuordnungFalsch()->title()), QStringLiteral(" Abfragemodus "));
    QCOMPARE(plainItems(fragen.zuordnungFalsch()),
             QStringList({" solange wiederholen, bis jede Frage richtig beantwortet wurde ",
                          " jede Frage nur einmal stellen "}));
    QCOMPARE(plain(fragen.zuordnungstexte()->title()), QStringLiteral(" Antwortmöglichkeiten "));
    QCOMPARE(plainItems(fragen.zuordnungstexte()), QStringList({" alphabetisch geordnet ", " zufällig gemischt "}));
    QCOMPARE(plain(fragen.zuordnungsziele()->title()), QStringLiteral(" Reihenfolge der Fragen "));
    QCOMPARE(plainItems(fragen.zuordnungsziele()), QStringList({" geordnet ", " zufällig gemischt "}));
    QCOMPARE(plainItems(fragen.zeitlimit()), QStringList({" ohne Zeitlimit ", " Zeitlimit von: "}));
    QCOMPARE(fragen.findChild<QPushButton *>(QStringLiteral("ErwBtn")), nullptr);
}

void TestQuizDialogs::reducedAndExtendedView()
{
    TUebOptForm form;
    form.show();
    const QList<QWidget *> extended = {form.zuordnungRichtig(), form.zuordnungFalsch(), form.zuordnungstexte(),
                                       form.zuordnungsziele()};
    auto checkView = [&](bool isExtended) {
        QCOMPARE(form.size(), QSize(TUebOptForm::kWidth, isExtended ? 514 : 276));
        QCOMPARE(plain(form.erwBtn()->text()), isExtended ? QStringLiteral("Reduziert...") : QStringLiteral("Erweitert..."));
        for (QWidget *group : extended)
            QCOMPARE(group->isVisible(), isExtended);
        QVERIFY(form.abfrageModus()->isVisible());
        QVERIFY(form.zeitlimit()->isVisible());
        // Every control lies inside the dialog: nothing is cut off at the bottom.
        for (QWidget *w : form.findChildren<QWidget *>())
            if (w->isVisible())
                QVERIFY2(form.rect().contains(QRect(w->mapTo(&form, QPoint(0, 0)), w->size())),
                         qPrintable(w->objectName()));
    };
    checkView(false);
    click(form.erwBtn());
    checkView(true);
    QVERIFY(centredOnScreen(form));
    click(form.erwBtn());
    checkView(false);
    QVERIFY(centredOnScreen(form));
    // The hidden feedback group never shows.
    QVERIFY(!form.riFaRueckmeldung()->isVisible());
}

void TestQuizDialogs::feedbackAtEndLocksFailedAttempts()
{
    TUebOptForm form;
    form.show();
    form.ErwBtnClick();
    QVERIFY(form.zuordnungFalsch()->isEnabled());
    QVERIFY(form.zf1Lab()->isEnabled());
    // The label continues the caption of item 1: clicking it chooses the item.
    QTest::mouseClick(form.zf1Lab(), Qt::LeftButton, {}, form.zf1Lab()->rect().center());
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);
    click(form.zuordnungFalsch()->button(0));

    form.riFaRueckmeldung()->button(1)->click();
    QVERIFY(!form.zuordnungFalsch()->isEnabled());
    QVERIFY(!form.zf1Lab()->isEnabled());
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);
    QCOMPARE(form.readOptions().feedbackAtEnd, 1);
    QCOMPARE(form.readOptions().onFailed, 1);
    // A disabled label does not choose anything; loading settings cannot undo the lock.
    AppSettings s;
    s.zuordnungFalsch = 0;
    form.loadFrom(s);
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);

    form.riFaRueckmeldung()->button(0)->click();
    QVERIFY(form.zuordnungFalsch()->isEnabled());
    QVERIFY(form.zf1Lab()->isEnabled());
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);
    click(form.zuordnungFalsch()->button(0));
    QCOMPARE(form.readOptions().onFailed, 0);
}

void TestQuizDialogs::networkModeAndRestore()
{
    const QString hint = QStringLiteral(
        "Klicken Sie auf \"Übung starten\", um die Netzwerk-Übung zu initiieren.        "
        "Alle getätigten Einstellungen werden an die Übungsteilnehmer übermittelt.");
    QCOMPARE(QuizOptionsDialog::networkHintText(), hint);

    TUebOptForm form;
    TUebOptFragenForm fragen;
    for (QuizOptionsDialog *dialog : {static_cast<QuizOptionsDialog *>(&form), static_cast<QuizOptionsDialog *>(&fragen)}) {
        const QString normal = dialog->windowTitle();
        for (int way = 0; way < 3; ++way) {
            dialog->setNetworkMode(true);
            dialog->show();
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Netzwerk-") + normal);
            QVERIFY(dialog->netzUebInitPan()->isVisible());
            // Each sentence on a line of its own.
            QCOMPARE(dialog->netzUebInitLab()->text(),
                     QStringLiteral("Klicken Sie auf \"Übung starten\", um die Netzwerk-Übung zu initiieren.\n"
                                    "Alle getätigten Einstellungen werden an die Übungsteilnehmer übermittelt."));
            QSignalSpy finished(dialog, &QDialog::finished);
            if (way == 0)
                click(dialog->okBtn());
            else if (way == 1)
                click(dialog->closeBtn());
            else
                QTest::keyClick(dialog, Qt::Key_Escape);
            QCOMPARE(finished.size(), 1);
            QCOMPARE(finished.at(0).at(0).toInt(), way == 0 ? 1 : 2);
            QVERIFY(!dialog->isVisible());
            QCOMPARE(dialog->windowTitle(), normal);
            QVERIFY(!dialog->networkMode());
            QVERIFY(dialog->netzUebInitPan()->isHidden());
        }
    }
}

void TestQuizDialogs::resultCodesAndFocus()
{
    TUebOptForm form;
    form.show();
    QCOMPARE(form.focusWidget(), form.okBtn());
    QVERIFY(form.okBtn()->isDefault());
    // Enter in a time field starts the quiz through the default button.
    retype(form.zLimitMin(), QStringLiteral("4"));
    QSignalSpy finished(&form, &QDialog::finished);
    QTest::keyClick(form.zLimitMin(), Qt::Key_Return);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(form.result(), QuizOptionsDialog::kStartQuiz);
    // Shown again, the button has the focus again.
    form.show();
    QCOMPARE(form.focusWidget(), form.okBtn());

    // The buttons carry the dialog look.
    for (QPushButton *b : form.findChildren<QPushButton *>()) {
        QCOMPARE(b->palette().color(QPalette::Button), QColor(205, 208, 226));
        QCOMPARE(b->cursor().shape(), Qt::ArrowCursor);
    }
}

void TestQuizDialogs::showCheckBoxesAgree()
{
    TUebOptForm form;
    TUebOptFragenForm fragen;
    fragen.shareShowCheckWith(&form);
    QVERIFY(form.showBeforeEveryQuiz());
    form.show();
    click(form.zeigenCheck());
    click(form.closeBtn());
    QVERIFY(!form.showBeforeEveryQuiz());

    fragen.show();
    QVERIFY(!fragen.showBeforeEveryQuiz());
    click(fragen.zeigenCheck());
    click(fragen.okBtn());
    QVERIFY(form.showBeforeEveryQuiz());
}

void TestQuizDialogs::keyboardAccess()
{
    TUebOptForm form;
    form.show();
    form.ErwBtnClick();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Alt + the group's access key puts the focus on its chosen item.
    const struct {
        Qt::Key key;
        RadioGroup *group;
    } keys[] = {{Qt::Key_A, form.abfrageModus()},      {Qt::Key_Z, form.zeitlimit()},
                {Qt::Key_R, form.zuordnungRichtig()},  {Qt::Key_F, form.zuordnungFalsch()},
                {Qt::Key_T, form.zuordnungstexte()},   {Qt::Key_P, form.zuordnungsziele()}};
    for (const auto &k : keys) {
        QTest::keyClick(&form, k.key, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), k.group->button(k.group->itemIndex()));
    }

    // Arrow keys choose within a group.
    form.abfrageModus()->button(0)->setFocus();
    QTest::keyClick(form.abfrageModus()->button(0), Qt::Key_Down);
    QCOMPARE(form.abfrageModus()->itemIndex(), 1);

    // Tab walks the dialog in reading order: from the query mode into the time limit,
    // from the last field to the check box and the buttons.
    QList<QWidget *> reached;
    form.abfrageModus()->button(1)->setFocus();
    for (int i = 0; i < 40 && !reached.contains(QApplication::focusWidget()); ++i) {
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    auto position = [&reached](QWidget *w) { return reached.indexOf(w); };
    QVERIFY(position(form.zeitlimit()->button(0)) > 0);
    QVERIFY(position(form.zLimitMin()) > position(form.zeitlimit()->button(0)));
    QVERIFY(position(form.zLimitSek()) > position(form.zLimitMin()));
    QVERIFY(position(form.zuordnungRichtig()->button(0)) > position(form.zLimitSek()));
    QVERIFY(position(form.zuordnungsziele()->button(1)) > position(form.zuordnungRichtig()->button(0)));
    QVERIFY(position(form.zeigenCheck()) > position(form.zuordnungsziele()->button(1)));
    QVERIFY(position(form.erwBtn()) > position(form.zeigenCheck()));
    QVERIFY(position(form.okBtn()) > position(form.erwBtn()));
    QVERIFY(position(form.closeBtn()) > position(form.okBtn()));
}

void TestQuizDialogs::nameEntry()
{
    TNameEingabeForm form;
    QCOMPARE(form.size(), QSize(430, 190));
    QCOMPARE(form.windowTitle(), QStringLiteral("Teilnehmername eingeben"));
    form.show();
    QCOMPARE(form.focusWidget(), form.nameEdit());
    QVERIFY(centredOnScreen(form));

    // Thirty characters are taken, the thirty-first is not.
    const QString thirty = QStringLiteral("Anna-Lena Schmidt-Überlingen A");
    QCOMPARE(thirty.size(), 30);
    QTest::keyClicks(form.nameEdit(), thirty + QStringLiteral("Z"));
    QCOMPARE(form.name(), thirty);

    // Enter starts the quiz (the default button).
    QSignalSpy finished(&form, &QDialog::finished);
    QTest::keyClick(form.nameEdit(), Qt::Key_Return);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(form.result(), TNameEingabeForm::kStartQuiz);

    // The name stays for the next quiz, selected so that typing replaces it.
    form.show();
    QCOMPARE(form.name(), thirty);
    QCOMPARE(form.nameEdit()->selectedText(), thirty);
    QTest::keyClicks(form.nameEdit(), QStringLiteral("Ben"));
    QCOMPARE(form.name(), QStringLiteral("Ben"));
    click(form.abbrBtn());
    QCOMPARE(form.result(), TNameEingabeForm::kCancelled);
    form.show();
    QTest::keyClick(form.nameEdit(), Qt::Key_Escape);
    QCOMPARE(form.result(), TNameEingabeForm::kCancelled);
    QCOMPARE(form.name(), QStringLiteral("Ben"));
}

void TestQuizDialogs::finishedFigures()
{
    TUebFertigForm form;
    QCOMPARE(form.size(), QSize(587, 467));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    QuizScore score;
    score.questionCount = 20;
    score.correctCount = 15;
    score.failedCount = 3;
    score.openCount = 2;
    score.successRate = 15.0 / 18.0;
    score.totalPerformance = 0.725;
    score.grade = 2;
    form.fill(score, TUebFertigForm::timeCaption(true), QStringLiteral("03:07"), true, BestListState::Offered);
    QCOMPARE(form.richtigLab()->text(), QStringLiteral("15  von  20"));
    QCOMPARE(form.falschLab()->text(), QStringLiteral("3"));
    QCOMPARE(form.quoteLab()->text(), QStringLiteral("83.3 %"));
    QCOMPARE(form.uebNummernOffenLab()->text(), QStringLiteral("2"));
    QCOMPARE(form.zeitArtLab()->text(), QStringLiteral("Verbliebene Zeit:"));
    QCOMPARE(form.uebZeitLab()->text(), QStringLiteral("03:07"));
    QCOMPARE(form.gesamtleistungLab()->text(), QStringLiteral("72.5 %"));
    QCOMPARE(form.bewertLab()->text(), QStringLiteral("gut"));
    QCOMPARE(form.noteLab()->text(), QStringLiteral("2"));
    QCOMPARE(TUebFertigForm::timeCaption(false), QStringLiteral("Benötigte Zeit:"));

    // The image shows the scale for this result on the dialog's panel colour.
    const QImage shown = form.bewertSkalaImg()->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor panel = DialogLook().panelColor;
    QCOMPARE(shown, drawRatingScale(form.bewertSkalaImg()->size(), panel, 0.725));
    DialogLook look;
    look.panelColor = QColor(250, 240, 230);
    form.applyLook(look);
    QCOMPARE(form.ratingScale().pixelColor(0, 0), look.panelColor);
    QCOMPARE(form.ratingScale(), drawRatingScale(form.bewertSkalaImg()->size(), look.panelColor, 0.725));
}

void TestQuizDialogs::repetitionChoice()
{
    TUebFertigForm form;
    form.show();
    QuizScore score;
    form.fill(score, TUebFertigForm::timeCaption(false), QStringLiteral("00:10"), true, BestListState::NotOffered);
    QVERIFY(form.wiederholenMode()->isEnabled());
    click(form.wiederholenMode()->button(1));
    QCOMPARE(form.repetitionMode(), 1);
    // Offered again, the choice stays.
    form.fill(score, TUebFertigForm::timeCaption(false), QStringLiteral("00:10"), true, BestListState::NotOffered);
    QCOMPARE(form.repetitionMode(), 1);
    // Not offered: disabled and back at "komplett wiederholen", which still repeats.
    form.fill(score, TUebFertigForm::timeCaption(false), QStringLiteral("00:10"), false, BestListState::NotOffered);
    QVERIFY(!form.wiederholenMode()->isEnabled());
    QCOMPARE(form.repetitionMode(), 0);
    QVERIFY(form.wiederholenBtn()->isEnabled());
    QTest::mouseClick(form.wiederholenMode()->button(1), Qt::LeftButton);
    QCOMPARE(form.repetitionMode(), 0);
}

void TestQuizDialogs::bestListLineAndButton()
{
    TUebFertigForm form;
    form.show();
    const QuizScore score;
    auto fillWith = [&](BestListState state) {
        form.fill(score, TUebFertigForm::timeCaption(false), QStringLiteral("00:10"), false, state);
    };
    fillWith(BestListState::Entered);
    QCOMPARE(form.bestenlisteLab()->text(), QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen."));
    QVERIFY(!form.inBestenlisteBtn()->isVisible());
    fillWith(BestListState::NotOffered);
    QVERIFY(form.bestenlisteLab()->text().isEmpty());
    QVERIFY(!form.inBestenlisteBtn()->isVisible());

    // Entering fails: the folders dialog opens, the button stays.
    int entries = 0;
    int folderDialogs = 0;
    bool succeed = false;
    form.onEnterBestList = [&] {
        ++entries;
        return succeed;
    };
    form.onChooseResultFolders = [&] { ++folderDialogs; };
    fillWith(BestListState::Offered);
    QVERIFY(form.bestenlisteLab()->text().isEmpty());
    click(form.inBestenlisteBtn());
    QCOMPARE(entries, 1);
    QCOMPARE(folderDialogs, 1);
    QVERIFY(form.inBestenlisteBtn()->isVisible());
    QVERIFY(form.bestenlisteLab()->text().isEmpty());
    // Entering succeeds: the text, no button; the dialog stays open.
    succeed = true;
    click(form.inBestenlisteBtn());
    QCOMPARE(entries, 2);
    QCOMPARE(folderDialogs, 1);
    QVERIFY(!form.inBestenlisteBtn()->isVisible());
    QCOMPARE(form.bestenlisteLab()->text(), QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen."));
    QVERIFY(form.isVisible());
}

void TestQuizDialogs::finishedButtons()
{
    TUebFertigForm form;
    int protocols = 0;
    int bestLists = 0;
    form.onShowProtocol = [&] { ++protocols; };
    form.onShowBestList = [&] { ++bestLists; };
    form.fill(QuizScore(), TUebFertigForm::timeCaption(false), QStringLiteral("00:01"), true,
              BestListState::NotOffered);
    form.show();
    QCOMPARE(form.focusWidget(), form.lernBtn());
    QVERIFY(centredOnScreen(form));

    // Protocol and best list open their windows; the dialog stays.
    click(form.protokollBtn());
    click(form.bestListBtn());
    QCOMPARE(protocols, 1);
    QCOMPARE(bestLists, 1);
    QVERIFY(form.isVisible());

    const struct {
        std::function<void()> act;
        int result;
    } ways[] = {{[&] { click(form.wiederholenBtn()); }, TUebFertigForm::kRepeat},
                {[&] { click(form.lernBtn()); }, TUebFertigForm::kClose},
                {[&] { QTest::keyClick(&form, Qt::Key_Escape); }, TUebFertigForm::kClose},
                {[&] { QTest::keyClick(form.lernBtn(), Qt::Key_Return); }, TUebFertigForm::kClose}};
    for (const auto &way : ways) {
        // Moved away, it comes back to the centre when shown again.
        form.hide();
        form.move(0, 0);
        form.show();
        QVERIFY(centredOnScreen(form));
        QCOMPARE(form.focusWidget(), form.lernBtn());
        way.act();
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), way.result);
    }
}

void TestQuizDialogs::keyFiguresText()
{
    TKennzInfoBox box;
    QCOMPARE(box.size(), QSize(540, 398));
    QCOMPARE(box.windowTitle(), QStringLiteral("Information zu den Kennzahlen"));
    QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(box.memo()->isReadOnly());
    QCOMPARE(box.memo()->frameShape(), QFrame::NoFrame);
    QCOMPARE(box.memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const QStringList lines = box.memo()->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines, keyFigureLines());
    QCOMPARE(plain(box.okBtn()->text()), QStringLiteral("Schließen"));

    // Typing changes nothing.
    box.show();
    box.memo()->setFocus();
    QTest::keyClicks(box.memo(), QStringLiteral("xyz"));
    QCOMPARE(box.memo()->toPlainText().split(QLatin1Char('\n')), keyFigureLines());
    click(box.okBtn());
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestQuizDialogs)
#include "tst_quiz_dialogs.moc"
