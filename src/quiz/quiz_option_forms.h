#pragma once

#include "quiz/dialog_look.h"
#include "quiz/quiz_types.h"

#include <QDialog>
#include <QLineEdit>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kapitolo {

struct AppSettings;
class RadioGroup;

// A minutes or seconds field: at most two digits. Other characters cannot be typed, and a
// number above 59 becomes 59 as it is typed, so the field always shows what the quiz uses.
class TimeField : public QLineEdit
{
    Q_OBJECT
public:
    explicit TimeField(QWidget *parent = nullptr);
    // The value the quiz reads (see timeFieldValue).
    int value() const;
    // A stored text: kept when it is what the field could hold (up to two digits, at most
    // 59), otherwise shown as the number the quiz reads from it (" 1 2" as 12, "x" as 0).
    void setStoredText(const QString &text);
};

// What both options dialogs share: the time limit with its two fields, the check box
// "show before every quiz", the buttons and the hint of a network quiz. The dialogs'
// controls are the store of the option values for the whole run of the program.
class QuizOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    // Result codes of exec().
    static constexpr int kStartQuiz = 1;
    static constexpr int kClosed = 2;

    RadioGroup *zeitlimit() const { return m_zeitlimit; }
    TimeField *zLimitMin() const { return m_zLimitMin; }
    TimeField *zLimitSek() const { return m_zLimitSek; }
    QPushButton *okBtn() const { return m_okBtn; }
    QPushButton *closeBtn() const { return m_closeBtn; }
    QCheckBox *zeigenCheck() const { return m_zeigenCheck; }
    QWidget *netzUebInitPan() const { return m_netzUebInitPan; }
    QLabel *netzUebInitLab() const { return m_netzUebInitLab; }

    // Minutes times 60 plus seconds, as the fields read.
    int timeLimitSeconds() const;

    // Before a network quiz is initiated: caption "Netzwerk-" + caption and the hint panel
    // above the bottom row.
    // Closing the dialog returns it to its normal state.
    void setNetworkMode(bool on);
    bool networkMode() const { return m_networkMode; }
    static QString networkHintText();

    // "Dieses Dialogfenster vor jeder Übung anzeigen".
    bool showBeforeEveryQuiz() const;
    void setShowBeforeEveryQuiz(bool on);

    void applyLook(const DialogLook &look);

    void done(int result) override;
    void reject() override;

protected:
    QuizOptionsDialog(const QString &caption, const QString &objectName, const QStringList &zeitlimitItems,
                      const QString &zeitlimitTitle, const QString &checkName, QWidget *parent);

    // Subclasses put their groups here, above the bottom row.
    QVBoxLayout *content() const { return m_content; }
    // Buttons a subclass adds left of "Übung starten".
    void addButton(QPushButton *button);
    // Runs when the user chose a time-limit item; subclasses add their dependencies.
    virtual void zeitlimitClicked() {}
    // Makes the tab order follow the layout; the subclass passes its groups in order.
    void setTabOrderFrom(const QList<QWidget *> &groups);

    void showEvent(QShowEvent *event) override;

private:
    void timeFieldEdited();

    QString m_caption;
    bool m_networkMode = false;
    QVBoxLayout *m_content;
    QHBoxLayout *m_buttonRow;
    RadioGroup *m_zeitlimit;
    TimeField *m_zLimitMin;
    TimeField *m_zLimitSek;
    QPushButton *m_okBtn;
    QPushButton *m_closeBtn;
    QCheckBox *m_zeigenCheck;
    QWidget *m_netzUebInitPan;
    QLabel *m_netzUebInitLab;
};

// "Übungsoptionen für Bildbeschriftung und Lückentext": options of image-labelling and
// cloze quizzes. Opens in the reduced view (query mode and time limit); "Erweitert..."
// shows the four further groups.
class TUebOptForm : public QuizOptionsDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kReducedHeight = 276;
    static constexpr int kExtendedHeight = 514;

    explicit TUebOptForm(QWidget *parent = nullptr);

    static QString caption();

    void loadFrom(const AppSettings &settings);
    void storeTo(AppSettings &settings) const;
    // The option values a quiz starts with. feedbackAtEnd is RiFaRueckmeldung as it stands;
    // an own or initiated quiz sets it to 0 itself.
    QuizOptions readOptions() const;

    // "Erweitert..." / "Reduziert...": switches the view and centres the dialog.
    void ErwBtnClick();

    RadioGroup *abfrageModus() const { return m_abfrageModus; }
    RadioGroup *zuordnungRichtig() const { return m_zuordnungRichtig; }
    RadioGroup *zuordnungFalsch() const { return m_zuordnungFalsch; }
    RadioGroup *zuordnungstexte() const { return m_zuordnungstexte; }
    RadioGroup *zuordnungsziele() const { return m_zuordnungsziele; }
    RadioGroup *riFaRueckmeldung() const { return m_riFaRueckmeldung; }
    QLabel *zf1Lab() const { return m_zf1Lab; }
    QPushButton *erwBtn() const { return m_erwBtn; }

protected:
    void zeitlimitClicked() override { UpdateDependencies(); }
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // ZuordnungFalsch is free only with immediate feedback; feedback at the end locks it
    // at "rotes Kreuz setzen".
    void UpdateDependencies();

    bool m_extended = false;
    RadioGroup *m_abfrageModus;
    RadioGroup *m_zuordnungRichtig;
    RadioGroup *m_zuordnungFalsch;
    RadioGroup *m_zuordnungstexte;
    RadioGroup *m_zuordnungsziele;
    RadioGroup *m_riFaRueckmeldung;
    QWidget *m_riFaPan;
    QWidget *m_extendedPart;
    QLabel *m_zf1Lab;
    QPushButton *m_erwBtn;
};

// "Übungsoptionen für Einzelfragen": options of single-question quizzes. Its check box
// follows the one of TUebOptForm: it takes that state when shown and hands its own back
// when closed.
class TUebOptFragenForm : public QuizOptionsDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 336;

    explicit TUebOptFragenForm(QWidget *parent = nullptr);

    static QString caption();

    void loadFrom(const AppSettings &settings);
    void storeTo(AppSettings &settings) const;
    // feedbackAtEnd, onCorrect and queryMode are always 0 for single questions.
    QuizOptions readOptions() const;

    // The dialog whose check box this one mirrors.
    void shareShowCheckWith(TUebOptForm *form) { m_partner = form; }

    RadioGroup *zuordnungFalsch() const { return m_zuordnungFalsch; }
    RadioGroup *zuordnungstexte() const { return m_zuordnungstexte; }
    RadioGroup *zuordnungsziele() const { return m_zuordnungsziele; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TUebOptForm *m_partner = nullptr;
    RadioGroup *m_zuordnungFalsch;
    RadioGroup *m_zuordnungstexte;
    RadioGroup *m_zuordnungsziele;
};

} // namespace kapitolo
