#include "quiz/quiz_dialogs.h"


#include "quiz/radio_group.h"
#include "quiz/rating_scale.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

QPushButton *dialogButton(const QString &caption, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumWidth(100);
    return button;
}

} // namespace

// ---------------------------------------------------------------------------------------

TNameEingabeForm::TNameEingabeForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TNameEingabeForm"));
    setWindowTitle(QStringLiteral("Teilnehmername eingeben"));
    setModal(true);
    setFont(dialogFont());

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(10);

    auto *group = new QGroupBox(QStringLiteral(" Quizteilnehmer "), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(14, 16, 14, 16);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    auto *label = new QLabel(QStringLiteral("&Name:"), group);
    label->setObjectName(QStringLiteral("NameLab"));
    m_nameEdit = new QLineEdit(group);
    m_nameEdit->setObjectName(QStringLiteral("TNameEdit"));
    m_nameEdit->setMaxLength(kMaxNameLength);
    label->setBuddy(m_nameEdit);
    m_hint = new QLabel(kNameHint, group);
    m_hint->setObjectName(QStringLiteral("HinweisLab"));
    m_hint->setWordWrap(true);
    auto *hint = m_hint;
    // The best list keeps names in Windows-1252: letters it lacks become their nearest
    // Latin letters, and the pupil sees that before the quiz starts.
    connect(m_nameEdit, &QLineEdit::textChanged, this, &TNameEingabeForm::showStoredName);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_nameEdit, 0, 1);
    grid->addWidget(hint, 1, 1);
    grid->setColumnStretch(1, 1);
    outer->addWidget(group);
    outer->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_okBtn = dialogButton(QStringLiteral("Quiz starten"), QStringLiteral("OKBtn"), this);
    m_okBtn->setDefault(true);
    m_abbrBtn = dialogButton(QStringLiteral("Abbrechen"), QStringLiteral("AbbrBtn"), this);
    buttons->addWidget(m_okBtn);
    buttons->addWidget(m_abbrBtn);
    outer->addLayout(buttons);
    connect(m_okBtn, &QPushButton::clicked, this, [this] { done(kStartQuiz); });
    connect(m_abbrBtn, &QPushButton::clicked, this, [this] { done(kCancelled); });

    setFixedSize(kWidth, kHeight);
    applyLook(DialogLook());
}

void TNameEingabeForm::showStoredName()
{
    m_hint->setText(nameEntryHint(m_nameEdit->text()));
}

QString TNameEingabeForm::name() const
{
    return m_nameEdit->text();
}

void TNameEingabeForm::applyLook(const DialogLook &look)
{
    applyDialogLook(this, look);
}

void TNameEingabeForm::reject()
{
    done(kCancelled);
}

void TNameEingabeForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centreOnScreen(this);
    // The last name stays, selected, so that typing replaces it and Enter keeps it.
    m_nameEdit->setFocus(Qt::OtherFocusReason);
    m_nameEdit->selectAll();
}

// ---------------------------------------------------------------------------------------

TUebFertigForm::TUebFertigForm(QWidget *parent)
    : QDialog(parent)
    , m_panelColor(DialogLook().panelColor)
{
    setObjectName(QStringLiteral("TUebFertigForm"));
    setWindowTitle(QStringLiteral("Quiz beendet"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
    setFont(dialogFont());

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);

    // The figures, captions right-aligned against their values.
    auto *stats = new QGroupBox(QStringLiteral(" Statistik "), this);
    stats->setObjectName(QStringLiteral("StatistikGroup"));
    auto *grid = new QGridLayout(stats);
    grid->setContentsMargins(12, 10, 12, 10);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(4);
    QFont valueFont = dialogFont();
    valueFont.setPointSize(10);
    valueFont.setBold(true);
    QFont captionFont = dialogFont();
    captionFont.setPointSize(10);
    int row = 0;
    auto addRow = [&](QLabel *caption, const QString &valueName) {
        caption->setParent(stats);
        caption->setFont(captionFont);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *value = new QLabel(stats);
        value->setObjectName(valueName);
        value->setFont(valueFont);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
        return value;
    };
    m_richtigLab = addRow(new QLabel(QStringLiteral("Richtig beantwortet:")), QStringLiteral("RichtigLab"));
    m_falschLab = addRow(new QLabel(QStringLiteral("Fehlversuche:")), QStringLiteral("FalschLab"));
    m_quoteLab = addRow(new QLabel(QStringLiteral("Erfolgsquote:")), QStringLiteral("QuoteLab"));
    m_offenLab = addRow(new QLabel(QStringLiteral("Offene Fragen:")), QStringLiteral("UebNummernOffenLab"));
    m_zeitArtLab = new QLabel(timeCaption(false));
    m_zeitArtLab->setObjectName(QStringLiteral("ZeitArtLab"));
    m_uebZeitLab = addRow(m_zeitArtLab, QStringLiteral("UebZeitLab"));
    m_gesamtleistungLab = addRow(new QLabel(QStringLiteral("Gesamtleistung:")), QStringLiteral("GesamtleistungLab"));
    m_bewertLab = addRow(new QLabel(QStringLiteral("Bewertung:")), QStringLiteral("BewertLab"));
    m_noteLab = addRow(new QLabel(QStringLiteral("Schulnote:")), QStringLiteral("NoteLab"));
    // The rows share the group's height.
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    auto *scaleGroup = new QGroupBox(QStringLiteral(" Bewertungsskala "), this);
    scaleGroup->setObjectName(QStringLiteral("BewertSkalaGroup"));
    auto *scaleLayout = new QVBoxLayout(scaleGroup);
    scaleLayout->setContentsMargins(6, 4, 6, 6);
    // The scale is drawn on the panel colour; its frame shows that colour around it too.
    auto *scalePanel = new QFrame(scaleGroup);
    scalePanel->setObjectName(QStringLiteral("BewertSkalaPan"));
    scalePanel->setProperty("kapitoloPanel", true);
    scalePanel->setFrameShape(QFrame::StyledPanel);
    auto *scalePanelLayout = new QVBoxLayout(scalePanel);
    scalePanelLayout->setContentsMargins(2, 2, 2, 2);
    m_bewertSkalaImg = new QLabel(scalePanel);
    m_bewertSkalaImg->setObjectName(QStringLiteral("BewertSkalaImg"));
    m_bewertSkalaImg->setFixedSize(kScaleWidth, kScaleHeight);
    scalePanelLayout->addWidget(m_bewertSkalaImg, 0, Qt::AlignCenter);
    scaleLayout->addWidget(scalePanel);

    auto *top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(stats, 1);
    top->addWidget(scaleGroup, 0);
    outer->addLayout(top);

    // Repetition and best list: the choice or the text on the left, the buttons in a column
    // of one width on the right.
    m_wiederholenMode = new RadioGroup(
        QStringLiteral(" Quiz wiederholen "),
        {QStringLiteral(" komplett wiederholen "),
         QStringLiteral(" nur Fragen wiederholen, die nicht auf Anhieb korrekt gelöst wurden")},
        0, this);
    m_wiederholenMode->setObjectName(QStringLiteral("WiederholenMode"));
    m_wiederholenBtn = dialogButton(QStringLiteral("Quiz wiederholen"), QStringLiteral("WiederholenBtn"), this);
    m_bestenlisteLab = new QLabel(this);
    m_bestenlisteLab->setObjectName(QStringLiteral("BestenlisteLab"));
    m_inBestenlisteBtn =
        dialogButton(QStringLiteral("In Bestenliste eintragen"), QStringLiteral("InBestenlisteBtn"), this);
    auto *middle = new QGridLayout;
    middle->setHorizontalSpacing(8);
    middle->setVerticalSpacing(8);
    middle->addWidget(m_wiederholenMode, 0, 0);
    middle->addWidget(m_wiederholenBtn, 0, 1, Qt::AlignBottom);
    middle->addWidget(m_bestenlisteLab, 1, 0);
    middle->addWidget(m_inBestenlisteBtn, 1, 1);
    middle->setColumnStretch(0, 1);
    const int columnWidth = qMax(m_wiederholenBtn->sizeHint().width(), m_inBestenlisteBtn->sizeHint().width());
    m_wiederholenBtn->setFixedWidth(columnWidth);
    m_inBestenlisteBtn->setFixedWidth(columnWidth);
    middle->setColumnMinimumWidth(1, columnWidth);
    // The row keeps its height when the button is hidden, so nothing moves.
    middle->setRowMinimumHeight(1, m_inBestenlisteBtn->sizeHint().height());
    outer->addLayout(middle);
    outer->addStretch(1);

    m_protokollBtn = dialogButton(QStringLiteral("Protokoll..."), QStringLiteral("ProtokollBtn"), this);
    m_bestListBtn = dialogButton(QStringLiteral("Bestenliste..."), QStringLiteral("BestListBtn"), this);
    m_lernBtn = dialogButton(QStringLiteral("Schließen"), QStringLiteral("LernBtn"), this);
    m_lernBtn->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_protokollBtn);
    buttons->addWidget(m_bestListBtn);
    buttons->addStretch(1);
    buttons->addWidget(m_lernBtn);
    outer->addLayout(buttons);

    connect(m_wiederholenBtn, &QPushButton::clicked, this, [this] { done(kRepeat); });
    connect(m_lernBtn, &QPushButton::clicked, this, [this] { done(kClose); });
    connect(m_protokollBtn, &QPushButton::clicked, this, &TUebFertigForm::ProtokollBtnClick);
    connect(m_bestListBtn, &QPushButton::clicked, this, &TUebFertigForm::BestListBtnClick);
    connect(m_inBestenlisteBtn, &QPushButton::clicked, this, &TUebFertigForm::InBestenlisteBtnClick);

    setTabOrder(m_wiederholenMode->button(0), m_wiederholenMode->button(1));
    setTabOrder(m_wiederholenMode->button(1), m_wiederholenBtn);
    setTabOrder(m_wiederholenBtn, m_inBestenlisteBtn);
    setTabOrder(m_inBestenlisteBtn, m_protokollBtn);
    setTabOrder(m_protokollBtn, m_bestListBtn);
    setTabOrder(m_bestListBtn, m_lernBtn);

    setFixedSize(kWidth, kHeight);
    setBestListState(BestListState::NotOffered);
    applyLook(DialogLook());
}

QString TUebFertigForm::timeCaption(bool withTimeLimit)
{
    return withTimeLimit ? QStringLiteral("Verbliebene Zeit:") : QStringLiteral("Benötigte Zeit:");
}

void TUebFertigForm::fill(const QuizScore &score, const QString &timeCaption, const QString &clockText,
                          bool repetitionEnabled, BestListState bestList)
{
    m_richtigLab->setText(correctOfTotalText(score.correctCount, score.questionCount));
    m_falschLab->setText(QString::number(score.failedCount));
    m_quoteLab->setText(percentText(score.successRate));
    m_offenLab->setText(QString::number(score.openCount));
    m_zeitArtLab->setText(timeCaption);
    m_uebZeitLab->setText(clockText);
    m_gesamtleistungLab->setText(percentText(score.totalPerformance));
    m_bewertLab->setText(ratingWord(score.grade));
    m_noteLab->setText(score.grade >= 1 && score.grade <= 6 ? QString::number(score.grade) : QString());
    m_totalPerformance = score.totalPerformance;
    drawScale();

    if (!repetitionEnabled)
        m_wiederholenMode->setItemIndex(0);
    m_wiederholenMode->setEnabled(repetitionEnabled);
    setBestListState(bestList);
}

int TUebFertigForm::repetitionMode() const
{
    return m_wiederholenMode->itemIndex();
}

void TUebFertigForm::setBestListState(BestListState state)
{
    m_bestenlisteLab->setText(state == BestListState::Entered ? bestListEnteredText() : QString());
    m_inBestenlisteBtn->setVisible(state == BestListState::Offered);
}

void TUebFertigForm::drawScale()
{
    m_ratingScale = drawRatingScale(QSize(kScaleWidth, kScaleHeight), m_panelColor, m_totalPerformance);
    m_bewertSkalaImg->setPixmap(QPixmap::fromImage(m_ratingScale));
}

void TUebFertigForm::ProtokollBtnClick()
{
    if (onShowProtocol)
        onShowProtocol();
}

void TUebFertigForm::BestListBtnClick()
{
    if (onShowBestList)
        onShowBestList();
}

void TUebFertigForm::InBestenlisteBtnClick()
{
    if (onEnterBestList && onEnterBestList()) {
        setBestListState(BestListState::Entered);
        m_lernBtn->setFocus(Qt::OtherFocusReason);
    } else if (onChooseResultFolders) {
        onChooseResultFolders();
    }
}

void TUebFertigForm::applyLook(const DialogLook &look)
{
    applyDialogLook(this, look);
    m_panelColor = look.panelColor;
    // The scale is drawn when the dialog is filled at the end of a quiz, not at start-up.
    if (!m_ratingScale.isNull())
        drawScale();
}

void TUebFertigForm::reject()
{
    done(kClose);
}

void TUebFertigForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centreOnScreen(this);
    m_lernBtn->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------

TKennzInfoBox::TKennzInfoBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TKennzInfoBox"));
    setWindowTitle(QStringLiteral("Information zu den Kennzahlen"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
    setFont(dialogFont());

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 6, 8, 8);
    outer->setSpacing(6);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setFrameShape(QFrame::NoFrame);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->document()->setDocumentMargin(3);
    m_memo->setPlainText(keyFigureLines().join(QLatin1Char('\n')));
    outer->addWidget(m_memo, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_okBtn = dialogButton(QStringLiteral("Schließen"), QStringLiteral("OkBtn"), this);
    m_okBtn->setDefault(true);
    buttons->addWidget(m_okBtn);
    outer->addLayout(buttons);
    connect(m_okBtn, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(kWidth, kHeight);
    applyLook(DialogLook());
}

void TKennzInfoBox::applyLook(const DialogLook &look)
{
    applyDialogLook(this, look);
    // The text reads as part of the dialog: no frame, the panel colour behind it.
    QPalette p = m_memo->palette();
    p.setColor(QPalette::Base, look.panelColor);
    m_memo->setPalette(p);
}

} // namespace kapitolo
