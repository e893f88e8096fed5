#pragma once

#include "quiz/dialog_look.h"
#include "quiz/dialog_rules.h"
#include "quiz/quiz_types.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kapitolo {

class RadioGroup;

// "Teilnehmername eingeben": the learner's name for the protocol and the best list, asked
// before an own quiz. The field keeps the name entered last.
class TNameEingabeForm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kStartQuiz = 1;
    static constexpr int kCancelled = 2;
    static constexpr int kWidth = 430;
    static constexpr int kHeight = 190;
    static constexpr int kMaxNameLength = 30;

    explicit TNameEingabeForm(QWidget *parent = nullptr);

    // The text of TNameEdit as typed.
    QString name() const;

    QLineEdit *nameEdit() const { return m_nameEdit; }
    QLabel *hintLabel() const { return m_hint; }
    static inline const QString kNameHint = nameEntryHint(QString());
    QPushButton *okBtn() const { return m_okBtn; }
    QPushButton *abbrBtn() const { return m_abbrBtn; }

    void applyLook(const DialogLook &look);
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showStoredName();

    QLabel *m_hint;
    QLineEdit *m_nameEdit;
    QPushButton *m_okBtn;
    QPushButton *m_abbrBtn;
};

// "Quiz beendet": the figures of the finished quiz, the rating scale, and the ways on:
// repeat (result 1), back to the learning card (result 2), the protocol and the best list.
// The protocol and best-list windows belong to the main window; the dialog calls the hooks.
class TUebFertigForm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kRepeat = 1;
    static constexpr int kClose = 2;
    static constexpr int kWidth = 587;
    static constexpr int kHeight = 467;
    static constexpr int kScaleWidth = 176;
    static constexpr int kScaleHeight = 236;

    explicit TUebFertigForm(QWidget *parent = nullptr);

    // "Verbliebene Zeit:" with a time limit, "Benötigte Zeit:" without.
    static QString timeCaption(bool withTimeLimit);

    // Fills the dialog at the end of a quiz. The repetition choice is enabled only when
    // offered (see repetitionOffered); otherwise it is disabled and set to "komplett".
    void fill(const QuizScore &score, const QString &timeCaption, const QString &clockText, bool repetitionEnabled,
              BestListState bestList);

    // The WiederholenMode index: the selectionMode of the repetition.
    int repetitionMode() const;

    // "Protokoll...": shows the protocol window; the dialog stays.
    std::function<void()> onShowProtocol;
    // "Bestenliste...": shows the best list (of the network quiz when there is one).
    std::function<void()> onShowBestList;
    // "In Bestenliste eintragen": enters the result; true on success (the caller sets
    // bestListEntered). On failure the dialog calls onChooseResultFolders.
    std::function<bool()> onEnterBestList;
    std::function<void()> onChooseResultFolders;

    // Button handlers, callable as the buttons call them.
    void ProtokollBtnClick();
    void BestListBtnClick();
    void InBestenlisteBtnClick();

    QLabel *richtigLab() const { return m_richtigLab; }
    QLabel *falschLab() const { return m_falschLab; }
    QLabel *quoteLab() const { return m_quoteLab; }
    QLabel *uebNummernOffenLab() const { return m_offenLab; }
    QLabel *zeitArtLab() const { return m_zeitArtLab; }
    QLabel *uebZeitLab() const { return m_uebZeitLab; }
    QLabel *gesamtleistungLab() const { return m_gesamtleistungLab; }
    QLabel *bewertLab() const { return m_bewertLab; }
    QLabel *noteLab() const { return m_noteLab; }
    QLabel *bewertSkalaImg() const { return m_bewertSkalaImg; }
    const QImage &ratingScale() const { return m_ratingScale; }
    RadioGroup *wiederholenMode() const { return m_wiederholenMode; }
    QPushButton *wiederholenBtn() const { return m_wiederholenBtn; }
    QPushButton *lernBtn() const { return m_lernBtn; }
    QPushButton *protokollBtn() const { return m_protokollBtn; }
    QPushButton *bestListBtn() const { return m_bestListBtn; }
    QLabel *bestenlisteLab() const { return m_bestenlisteLab; }
    QPushButton *inBestenlisteBtn() const { return m_inBestenlisteBtn; }

    void applyLook(const DialogLook &look);
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setBestListState(BestListState state);
    void drawScale();

    QColor m_panelColor;
    double m_totalPerformance = 0;
    QImage m_ratingScale;
    QLabel *m_richtigLab;
    QLabel *m_falschLab;
    QLabel *m_quoteLab;
    QLabel *m_offenLab;
    QLabel *m_zeitArtLab;
    QLabel *m_uebZeitLab;
    QLabel *m_gesamtleistungLab;
    QLabel *m_bewertLab;
    QLabel *m_noteLab;
    QLabel *m_bewertSkalaImg;
    RadioGroup *m_wiederholenMode;
    QPushButton *m_wiederholenBtn;
    QPushButton *m_lernBtn;
    QPushButton *m_protokollBtn;
    QPushButton *m_bestListBtn;
    QLabel *m_bestenlisteLab;
    QPushButton *m_inBestenlisteBtn;
};

// "Information zu den Kennzahlen": what the figures of the status panel mean.
class TKennzInfoBox : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 398;

    explicit TKennzInfoBox(QWidget *parent = nullptr);

    QPlainTextEdit *memo() const { return m_memo; }
    QPushButton *okBtn() const { return m_okBtn; }

    void applyLook(const DialogLook &look);

private:
    QPlainTextEdit *m_memo;
    QPushButton *m_okBtn;
};

} // namespace kapitolo
