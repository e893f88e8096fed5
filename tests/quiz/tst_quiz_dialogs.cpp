#include "platform/app_settings.h"
#include "platform/settings_store.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_option_forms.h"
#include "quiz/radio_group.h"
#include "quiz/rating_scale.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariantList>
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
    s.queryMode = 2, s.timeLimitOn = 1, s.timeLimitMinutes = QStringLiteral("12"), s.timeLimitSeconds = QStringLiteral("5");
    s.onCorrect = 1, s.onFailed = 1, s.tileOrder = 0, s.positionOrder = 2;
    s.questionsOnFailed = 1, s.questionsTileOrder = 0, s.questionsTimeLimitOn = 1;
    s.questionsTimeLimitMinutes = QStringLiteral("0"), s.questionsTimeLimitSeconds = QStringLiteral("45"), s.questionsPositionOrder = 0;
    return s;
}

// The values the two options dialogs keep, in one list for comparing.
QVariantList optionValues(const AppSettings &s)
{
    return {s.queryMode,          s.timeLimitOn,          s.timeLimitMinutes,        s.timeLimitSeconds,
            s.onCorrect,      s.onFailed,    s.tileOrder,  s.positionOrder,
            s.questionsOnFailed, s.questionsTileOrder, s.questionsTimeLimitOn, s.questionsTimeLimitMinutes,
            s.questionsTimeLimitSeconds,       s.questionsPositionOrder};
}

AppSettings storedFrom(const TUebOptForm &form, const TUebOptFragenForm &fragen)
{
    // Poisoned first: a value storeTo forgets shows.
    AppSettings s;
    s.queryMode = s.timeLimitOn = s.onCorrect = s.onFailed = s.tileOrder = -7;
    s.positionOrder = s.questionsOnFailed = s.questionsTileOrder = s.questionsTimeLimitOn = -7;
    s.questionsPositionOrder = -7;
    s.timeLimitMinutes = s.timeLimitSeconds = s.questionsTimeLimitMinutes = s.questionsTimeLimitSeconds = QStringLiteral("?");
    form.storeTo(s);
    fragen.storeTo(s);
    return s;
}

} // namespace

class TestQuizDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Options dialogs.
    void optionsThroughSettings();
    void readOptionsOfBothForms();
    void timeFields();
    void reducedAndExtendedView();
    void feedbackAtEndLocksFailedAttempts();
    void networkModeAndRestore();
    void showCheckBoxesAgree();
    void keyboardAccess();

    // Name entry.
    void nameEntry();

    // Quiz finished.
    void finishedFigures();
    void repetitionAndBestList();
    void finishedButtons();

    // Key figures.
    void keyFiguresText();
};

void TestQuizDialogs::optionsThroughSettings()
{
    // The controls start where a missing setting leaves them.
    {
        TUebOptForm form;
        TUebOptFragenForm fragen;
        QCOMPARE(optionValues(storedFrom(form, fragen)), optionValues(AppSettings()));
        QCOMPARE(form.readOptions(), QuizOptions());
        QCOMPARE(fragen.readOptions(), QuizOptions());
    }
    // Controls -> settings file -> controls.
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kapitolo.ini"));
    {
        TUebOptForm form;
        TUebOptFragenForm fragen;
        form.loadFrom(changedSettings());
        fragen.loadFrom(changedSettings());
        SettingsStore store(ini);
        storedFrom(form, fragen).write(store);
        QVERIFY(store.sync());
    }
    SettingsStore store(ini);
    AppSettings read;
    read.read(store);
    TUebOptForm form;
    TUebOptFragenForm fragen;
    form.loadFrom(read);
    fragen.loadFrom(read);
    QCOMPARE(optionValues(storedFrom(form, fragen)), optionValues(changedSettings()));

    // A stored index outside the items leaves the choice as it was.
    AppSettings wild = read;
    wild.queryMode = 3, wild.positionOrder = -1, wild.questionsTileOrder = 7;
    form.loadFrom(wild);
    fragen.loadFrom(wild);
    QCOMPARE(form.abfrageModus()->itemIndex(), 2);
    QCOMPARE(form.zuordnungsziele()->itemIndex(), 2);
    QCOMPARE(fragen.zuordnungstexte()->itemIndex(), 0);
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
    // feedbackAtEnd, onCorrect, onFailed, tileOrder, positionOrder, queryMode, limit on, seconds
    const QuizOptions expected{0, 1, 1, 0, 2, 1, 1, 150};
    QCOMPARE(form.readOptions(), expected);

    // Single questions: no query mode, no caption-or-tick choice, no feedback at the end.
    TUebOptFragenForm fragen;
    fragen.show();
    click(fragen.zuordnungFalsch()->button(1));
    click(fragen.zuordnungstexte()->button(0));
    click(fragen.zuordnungsziele()->button(0));
    retype(fragen.zLimitSek(), QStringLiteral("9"));
    const QuizOptions single{0, 0, 1, 0, 0, 0, 1, 3 * 60 + 9};
    QCOMPARE(fragen.readOptions(), single);
}

void TestQuizDialogs::timeFields()
{
    TUebOptForm form;
    TUebOptFragenForm fragen;
    form.show();
    fragen.show();
    // Digits only, two at most, above 59 is 59.
    const std::pair<const char *, const char *> typing[] = {{"45", "45"}, {"75", "59"}, {"a1b", "1"}, {"123", "12"}, {"", ""}};
    for (const auto &[typed, shown] : typing) {
        retype(form.zLimitMin(), QString::fromUtf8(typed));
        QCOMPARE(form.zLimitMin()->text(), QString::fromUtf8(shown));
        QCOMPARE(form.readOptions().timeLimitSeconds, QString::fromUtf8(shown).toInt() * 60);
    }

    // Typing into either field of either form chooses the time limit.
    for (QuizOptionsDialog *dialog : {static_cast<QuizOptionsDialog *>(&form), static_cast<QuizOptionsDialog *>(&fragen)})
        for (TimeField *field : {dialog->zLimitMin(), dialog->zLimitSek()}) {
            click(dialog->zeitlimit()->button(0));
            QCOMPARE(dialog->zeitlimit()->itemIndex(), 0);
            field->setFocus();
            field->selectAll();
            QTest::keyClick(field, Qt::Key_1);
            QCOMPARE(dialog->zeitlimit()->itemIndex(), 1);
        }

    // Loading stored texts is no edit: the stored choice stays, whatever the fields read.
    AppSettings s;
    s.timeLimitOn = 0;
    s.timeLimitMinutes = QStringLiteral(" 1 2");
    s.timeLimitSeconds = QStringLiteral("x");
    form.loadFrom(s);
    QCOMPARE(form.zeitlimit()->itemIndex(), 0);
    // Stored texts are read as the quiz reads them (blanks removed, a non-number is 0), and
    // a text the field could not hold is shown as that number.
    QCOMPARE(form.readOptions().timeLimitSeconds, 12 * 60);
    QCOMPARE(form.zLimitMin()->text(), QStringLiteral("12"));
    QCOMPARE(form.zLimitSek()->text(), QStringLiteral("0"));
    s.questionsTimeLimitMinutes = QStringLiteral("zwei");
    s.questionsTimeLimitSeconds = QStringLiteral("07");
    fragen.loadFrom(s);
    QCOMPARE(fragen.readOptions().timeLimitSeconds, 7);
    QCOMPARE(fragen.zLimitMin()->text(), QStringLiteral("0"));
    QCOMPARE(fragen.zLimitSek()->text(), QStringLiteral("07"));
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
}

void TestQuizDialogs::feedbackAtEndLocksFailedAttempts()
{
    TUebOptForm form;
    form.show();
    form.ErwBtnClick();
    // The label continues the caption of item 1: clicking it chooses the item.
    QTest::mouseClick(form.zf1Lab(), Qt::LeftButton, {}, form.zf1Lab()->rect().center());
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);
    click(form.zuordnungFalsch()->button(0));

    form.riFaRueckmeldung()->button(1)->click();
    QVERIFY(!form.zuordnungFalsch()->isEnabled() && !form.zf1Lab()->isEnabled());
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);
    QCOMPARE(form.readOptions().feedbackAtEnd, 1);
    QCOMPARE(form.readOptions().onFailed, 1);
    // Loading settings cannot undo the lock.
    AppSettings s;
    s.onFailed = 0;
    form.loadFrom(s);
    QCOMPARE(form.zuordnungFalsch()->itemIndex(), 1);

    form.riFaRueckmeldung()->button(0)->click();
    QVERIFY(form.zuordnungFalsch()->isEnabled() && form.zf1Lab()->isEnabled());
}

void TestQuizDialogs::networkModeAndRestore()
{
    QCOMPARE(QuizOptionsDialog::networkHintText(),
             QStringLiteral("Klicken Sie auf \"Übung starten\" um die Netzwerk-Übung zu initiieren.        "
                            "Alle getätigten Einstellungen werden an die Übungsteilnehmer übermittelt."));

    TUebOptForm form;
    TUebOptFragenForm fragen;
    for (QuizOptionsDialog *dialog : {static_cast<QuizOptionsDialog *>(&form), static_cast<QuizOptionsDialog *>(&fragen)}) {
        const QString normal = dialog->windowTitle();
        for (int way = 0; way < 4; ++way) {
            dialog->setNetworkMode(true);
            dialog->show();
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Netzwerk-") + normal);
            QVERIFY(dialog->netzUebInitPan()->isVisible());
            // Each sentence on a line of its own.
            QCOMPARE(dialog->netzUebInitLab()->text(),
                     QStringLiteral("Klicken Sie auf \"Übung starten\" um die Netzwerk-Übung zu initiieren.\n"
                                    "Alle getätigten Einstellungen werden an die Übungsteilnehmer übermittelt."));
            // The start button has the focus at every showing and is the default.
            QCOMPARE(dialog->focusWidget(), dialog->okBtn());
            QSignalSpy finished(dialog, &QDialog::finished);
            if (way == 0)
                QTest::keyClick(dialog->zLimitMin(), Qt::Key_Return);
            else if (way == 1)
                click(dialog->closeBtn());
            else if (way == 2)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                click(dialog->okBtn());
            QCOMPARE(finished.size(), 1);
            QCOMPARE(finished.at(0).at(0).toInt(), way % 3 == 0 ? QuizOptionsDialog::kStartQuiz : QuizOptionsDialog::kClosed);
            QVERIFY(!dialog->isVisible());
            QCOMPARE(dialog->windowTitle(), normal);
            QVERIFY(!dialog->networkMode());
            QVERIFY(dialog->netzUebInitPan()->isHidden());
        }
        for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
            QCOMPARE(b->palette().color(QPalette::Button), QColor(205, 208, 226));
            QCOMPARE(b->cursor().shape(), Qt::ArrowCursor);
        }
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

    // Tab walks the dialog in reading order: from the query mode into the time limit,
    // from the last field to the check box and the buttons.
    QList<QWidget *> reached;
    form.abfrageModus()->button(0)->setFocus();
    for (int i = 0; i < 40 && !reached.contains(QApplication::focusWidget()); ++i) {
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    const QList<QWidget *> order = {form.zeitlimit()->button(0),     form.zLimitMin(),
                                    form.zLimitSek(),                form.zuordnungRichtig()->button(0),
                                    form.zuordnungsziele()->button(1), form.zeigenCheck(),
                                    form.erwBtn(),                   form.okBtn(),
                                    form.closeBtn()};
    for (int i = 0; i < order.size(); ++i)
        QVERIFY2(reached.indexOf(order.at(i)) > (i ? reached.indexOf(order.at(i - 1)) : 0), qPrintable(QString::number(i)));
}

void TestQuizDialogs::nameEntry()
{
    TNameEingabeForm form;
    QCOMPARE(form.size(), QSize(430, 190));
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
    // Letters the best list cannot hold: the pupil sees what it will keep; the protocol
    // gets the name as typed.
    QCOMPARE(form.hintLabel()->text(), QStringLiteral("Bitte Name für Protokoll und Bestenliste eingeben."));
    form.nameEdit()->insert(QStringLiteral("Şule Yılmaz")); // QTest types Latin-1 only
    QCOMPARE(form.name(), QStringLiteral("Şule Yılmaz"));
    QCOMPARE(form.hintLabel()->text(), QStringLiteral("In der Bestenliste steht: Sule Yilmaz"));
    QVERIFY(form.hintLabel()->isVisible());
    form.nameEdit()->selectAll();
    QTest::keyClicks(form.nameEdit(), QStringLiteral("Ben"));
    QCOMPARE(form.name(), QStringLiteral("Ben"));
    QCOMPARE(form.hintLabel()->text(), QStringLiteral("Bitte Name für Protokoll und Bestenliste eingeben."));
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
    score.questionCount = 20, score.correctCount = 15, score.failedCount = 3, score.openCount = 2;
    score.successRate = 15.0 / 18.0, score.totalPerformance = 0.725, score.grade = 2;
    form.fill(score, TUebFertigForm::timeCaption(true), QStringLiteral("03:07"), true, BestListState::Offered);
    const std::pair<QLabel *, const char *> shown[] = {
        {form.richtigLab(), "15  von  20"}, {form.falschLab(), "3"},
        {form.quoteLab(), "83.3 %"},        {form.uebNummernOffenLab(), "2"},
        {form.zeitArtLab(), "Verbliebene Zeit:"}, {form.uebZeitLab(), "03:07"},
        {form.gesamtleistungLab(), "72.5 %"},     {form.bewertLab(), "gut"},
        {form.noteLab(), "2"}};
    for (const auto &[label, text] : shown)
        QCOMPARE(label->text(), QString::fromUtf8(text));
    QCOMPARE(TUebFertigForm::timeCaption(false), QStringLiteral("Benötigte Zeit:"));

    // The image shows the scale for this result on the dialog's panel colour.
    const QImage image = form.bewertSkalaImg()->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image, drawRatingScale(form.bewertSkalaImg()->size(), DialogLook().panelColor, 0.725));
    DialogLook look;
    look.panelColor = QColor(250, 240, 230);
    form.applyLook(look);
    QCOMPARE(form.ratingScale(), drawRatingScale(form.bewertSkalaImg()->size(), look.panelColor, 0.725));
}

void TestQuizDialogs::repetitionAndBestList()
{
    TUebFertigForm form;
    form.show();
    auto fill = [&form](bool repetition, BestListState bestList) {
        form.fill(QuizScore(), TUebFertigForm::timeCaption(false), QStringLiteral("00:10"), repetition, bestList);
    };
    fill(true, BestListState::Entered);
    QVERIFY(form.wiederholenMode()->isEnabled());
    click(form.wiederholenMode()->button(1));
    QCOMPARE(form.repetitionMode(), 1);
    QCOMPARE(form.bestenlisteLab()->text(), QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen."));
    QVERIFY(!form.inBestenlisteBtn()->isVisible());
    // Not offered: disabled and back at "komplett wiederholen", which still repeats.
    fill(false, BestListState::NotOffered);
    QVERIFY(!form.wiederholenMode()->isEnabled());
    QCOMPARE(form.repetitionMode(), 0);
    QVERIFY(form.wiederholenBtn()->isEnabled());
    QVERIFY(form.bestenlisteLab()->text().isEmpty());
    QVERIFY(!form.inBestenlisteBtn()->isVisible());

    // Entering fails: the folders dialog opens and the button stays; then it succeeds.
    int entries = 0;
    int folderDialogs = 0;
    form.onEnterBestList = [&] { return ++entries == 2; };
    form.onChooseResultFolders = [&] { ++folderDialogs; };
    fill(false, BestListState::Offered);
    QVERIFY(form.bestenlisteLab()->text().isEmpty());
    click(form.inBestenlisteBtn());
    QCOMPARE(folderDialogs, 1);
    QVERIFY(form.inBestenlisteBtn()->isVisible());
    QVERIFY(form.bestenlisteLab()->text().isEmpty());
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
                {[&] { QTest::keyClick(&form, Qt::Key_Escape); }, TUebFertigForm::kClose}};
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
    QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
    box.show();
    // Read-only: typing changes nothing.
    box.memo()->setFocus();
    QTest::keyClicks(box.memo(), QStringLiteral("xyz"));
    QCOMPARE(box.memo()->toPlainText().split(QLatin1Char('\n')), keyFigureLines());
    click(box.okBtn());
    QVERIFY(!box.isVisible());
}

QTEST_MAIN(TestQuizDialogs)
#include "tst_quiz_dialogs.moc"
