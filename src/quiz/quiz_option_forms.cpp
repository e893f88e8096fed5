#include "quiz/quiz_option_forms.h"

#include "platform/app_settings.h"
#include "quiz/dialog_rules.h"
#include "quiz/radio_group.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QValidator>
#include <QVBoxLayout>

#include <functional>

namespace kapitolo {

namespace {

// Digits only, at most 59; a larger number is replaced by 59 as it is typed.
class TimeValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        for (QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        if (!input.isEmpty() && input.toInt() > 59) {
            input = QStringLiteral("59");
            pos = qMin(pos, int(input.size()));
        }
        return Acceptable;
    }
};

const QColor kExampleText(81, 81, 78);

QLabel *exampleLabel(const QString &text, const QString &name)
{
    auto *label = new QLabel(text);
    label->setObjectName(name);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kExampleText);
    label->setPalette(p);
    return label;
}

QPixmap drawnPixmap(int w, int h, const std::function<void(QPainter &)> &draw)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    draw(p);
    p.end();
    return QPixmap::fromImage(image);
}

QLabel *imageLabel(const QPixmap &pixmap, const QString &name)
{
    auto *label = new QLabel;
    label->setObjectName(name);
    label->setPixmap(pixmap);
    return label;
}

QPixmap tickPixmap()
{
    return drawnPixmap(16, 16, [](QPainter &p) {
        p.setPen(QPen(QColor(0, 170, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12.5), QPointF(13, 3.5)}));
    });
}

QPixmap crossPixmap()
{
    return drawnPixmap(16, 16, [](QPainter &p) {
        p.setPen(QPen(QColor(220, 0, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    });
}

// A small card with three positions and the answer tiles beside it: all tiles at once
// (free assignment) or one tile for one marked position (single query).
QPixmap queryModePixmap(bool single)
{
    return drawnPixmap(64, 44, [single](QPainter &p) {
        p.setPen(QPen(QColor(120, 120, 114), 1));
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(0.5, 0.5, 38, 42));
        const QPointF spots[3] = {{10, 10}, {27, 19}, {13, 33}};
        p.setBrush(QColor(90, 110, 180));
        p.setPen(Qt::NoPen);
        for (const QPointF &s : spots)
            p.drawEllipse(s, 3, 3);
        if (single) {
            p.setPen(QPen(QColor(220, 0, 0), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(spots[1], 6, 6);
        }
        p.setPen(QPen(QColor(120, 120, 114), 1));
        p.setBrush(QColor(205, 208, 226));
        const int tiles = single ? 1 : 3;
        for (int i = 0; i < tiles; ++i)
            p.drawRect(QRectF(44.5, 6.5 + i * 12 + (single ? 10 : 0), 18, 8));
    });
}

QWidget *timeFieldsRow(TimeField *minutes, TimeField *seconds)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *minLabel = new QLabel(QStringLiteral("Min."), row);
    auto *secLabel = new QLabel(QStringLiteral("Sek."), row);
    minLabel->setBuddy(minutes);
    secLabel->setBuddy(seconds);
    layout->addWidget(minutes);
    layout->addWidget(minLabel);
    layout->addSpacing(8);
    layout->addWidget(seconds);
    layout->addWidget(secLabel);
    return row;
}

} // namespace

// ---------------------------------------------------------------------------------------

TimeField::TimeField(QWidget *parent)
    : QLineEdit(parent)
{
    setMaxLength(2);
    setValidator(new TimeValidator(this));
    setAlignment(Qt::AlignRight);
    setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + 10);
}

int TimeField::value() const
{
    return timeFieldValue(text());
}

void TimeField::setStoredText(const QString &stored)
{
    QString copy = stored;
    int pos = 0;
    const bool fits = stored.size() <= maxLength()
        && validator()->validate(copy, pos) == QValidator::Acceptable && copy == stored;
    setText(fits ? stored : QString::number(timeFieldValue(stored)));
}

// ---------------------------------------------------------------------------------------

QuizOptionsDialog::QuizOptionsDialog(const QString &caption, const QString &objectName,
                                     const QStringList &zeitlimitItems, const QString &zeitlimitTitle,
                                     const QString &checkName, QWidget *parent)
    : QDialog(parent)
    , m_caption(caption)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    setFont(dialogFont());

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(6);
    m_content = new QVBoxLayout;
    m_content->setSpacing(6);
    outer->addLayout(m_content);
    outer->addStretch(1);

    m_zeitlimit = new RadioGroup(zeitlimitTitle, zeitlimitItems, 0, this);
    m_zeitlimit->setObjectName(QStringLiteral("Zeitlimit"));
    m_zLimitMin = new TimeField;
    m_zLimitMin->setObjectName(QStringLiteral("ZLimitMin"));
    m_zLimitMin->setText(QStringLiteral("3"));
    m_zLimitSek = new TimeField;
    m_zLimitSek->setObjectName(QStringLiteral("ZLimitSek"));
    m_zLimitSek->setText(QStringLiteral("0"));
    m_zeitlimit->setItemExtra(1, timeFieldsRow(m_zLimitMin, m_zLimitSek));
    connect(m_zLimitMin, &QLineEdit::textEdited, this, &QuizOptionsDialog::timeFieldEdited);
    connect(m_zLimitSek, &QLineEdit::textEdited, this, &QuizOptionsDialog::timeFieldEdited);
    connect(m_zeitlimit, &RadioGroup::itemClicked, this, [this] { zeitlimitClicked(); });

    // Before a network quiz a hint panel stands above the bottom row, across the dialog.
    auto *hintPanel = new QFrame(this);
    m_netzUebInitPan = hintPanel;
    hintPanel->setObjectName(QStringLiteral("NetzUebInitPan"));
    hintPanel->setProperty("kapitoloPanel", true);
    hintPanel->setFrameShape(QFrame::StyledPanel);
    auto *panLayout = new QVBoxLayout(hintPanel);
    panLayout->setContentsMargins(8, 4, 8, 4);
    // The run of blanks between the two sentences put the second one on a line of its own
    // in a panel of fixed width; a line break does that at any width.
    QString shownHint = networkHintText();
    shownHint.replace(QRegularExpression(QStringLiteral(" {2,}")), QStringLiteral("\n"));
    m_netzUebInitLab = new QLabel(shownHint, hintPanel);
    m_netzUebInitLab->setObjectName(QStringLiteral("NetzUebInitLab"));
    m_netzUebInitLab->setWordWrap(true);
    panLayout->addWidget(m_netzUebInitLab);
    hintPanel->hide();
    outer->addWidget(hintPanel);

    // The bottom row: the check box on the left, the buttons on the right.
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    m_zeigenCheck = new QCheckBox(QStringLiteral(" &Dieses Dialogfenster vor jeder Übung anzeigen "), this);
    m_zeigenCheck->setObjectName(checkName);
    m_zeigenCheck->setChecked(true);
    bottom->addWidget(m_zeigenCheck, 1, Qt::AlignLeft | Qt::AlignVCenter);

    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(6);
    m_okBtn = new QPushButton(QStringLiteral("Übung starten"), this);
    m_okBtn->setObjectName(QStringLiteral("OkBtn"));
    m_okBtn->setDefault(true);
    m_okBtn->setAutoDefault(true);
    m_closeBtn = new QPushButton(QStringLiteral("Schließen"), this);
    m_closeBtn->setObjectName(QStringLiteral("CloseBtn"));
    m_closeBtn->setAutoDefault(false);
    m_buttonRow->addWidget(m_okBtn);
    m_buttonRow->addWidget(m_closeBtn);
    bottom->addLayout(m_buttonRow);
    outer->addLayout(bottom);

    connect(m_okBtn, &QPushButton::clicked, this, [this] { done(kStartQuiz); });
    connect(m_closeBtn, &QPushButton::clicked, this, [this] { done(kClosed); });
}

QString QuizOptionsDialog::networkHintText()
{
    return QStringLiteral("Klicken Sie auf \"Übung starten\" um die Netzwerk-Übung zu initiieren.        "
                          "Alle getätigten Einstellungen werden an die Übungsteilnehmer übermittelt.");
}

void QuizOptionsDialog::addButton(QPushButton *button)
{
    button->setParent(this);
    button->setAutoDefault(false);
    m_buttonRow->insertWidget(0, button);
}

void QuizOptionsDialog::setTabOrderFrom(const QList<QWidget *> &groups)
{
    QList<QWidget *> chain;
    for (QWidget *group : groups)
        for (QWidget *w : group->findChildren<QWidget *>())
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w;
    chain << m_zeigenCheck;
    for (int i = 0; i < m_buttonRow->count(); ++i)
        if (QWidget *w = m_buttonRow->itemAt(i)->widget())
            chain << w;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

int QuizOptionsDialog::timeLimitSeconds() const
{
    return m_zLimitMin->value() * 60 + m_zLimitSek->value();
}

void QuizOptionsDialog::timeFieldEdited()
{
    // Typing a time means the user wants the limit.
    m_zeitlimit->setItemIndex(1);
    zeitlimitClicked();
}

void QuizOptionsDialog::setNetworkMode(bool on)
{
    m_networkMode = on;
    setWindowTitle(on ? QStringLiteral("Netzwerk-") + m_caption : m_caption);
    m_netzUebInitPan->setVisible(on);
}

bool QuizOptionsDialog::showBeforeEveryQuiz() const
{
    return m_zeigenCheck->isChecked();
}

void QuizOptionsDialog::setShowBeforeEveryQuiz(bool on)
{
    m_zeigenCheck->setChecked(on);
}

void QuizOptionsDialog::applyLook(const DialogLook &look)
{
    applyDialogLook(this, look);
}

void QuizOptionsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_okBtn->setFocus(Qt::OtherFocusReason);
}

void QuizOptionsDialog::done(int result)
{
    if (m_networkMode)
        setNetworkMode(false);
    QDialog::done(result);
}

void QuizOptionsDialog::reject()
{
    done(kClosed);
}

// ---------------------------------------------------------------------------------------

QString TUebOptForm::caption()
{
    return QStringLiteral("Übungsoptionen für Bildbeschriftung und Lückentext");
}

TUebOptForm::TUebOptForm(QWidget *parent)
    : QuizOptionsDialog(caption(), QStringLiteral("TUebOptForm"),
                        {QStringLiteral(" ohne Zeitlimit"), QStringLiteral(" mit Zeitlimit:")},
                        QStringLiteral(" &Zeitlimit "), QStringLiteral("UebOptZeigenCheck"), parent)
{
    // Query mode with its explanations, the time limit below it.
    m_abfrageModus = new RadioGroup(QStringLiteral(" &Abfragemodus "),
                                    {QStringLiteral(" freie Zuordnung "), QStringLiteral(" Einzelabfrage Texte "),
                                     QStringLiteral(" Einzelabfrage Positionen ")},
                                    0, this);
    m_abfrageModus->setObjectName(QStringLiteral("AbfrageModus"));

    auto *explanation = new QFrame(this);
    explanation->setObjectName(QStringLiteral("AbfrageModusInfoPan"));
    explanation->setProperty("kapitoloPanel", true);
    explanation->setFrameShape(QFrame::StyledPanel);
    auto *explGrid = new QGridLayout(explanation);
    explGrid->setContentsMargins(8, 6, 8, 6);
    explGrid->setHorizontalSpacing(10);
    auto *freeText = new QLabel(QStringLiteral("Texte in beliebiger Reihenfolge zuordnen"), explanation);
    auto *singleText = new QLabel(
        QStringLiteral("Bei der Einzelabfrage werden Texte bzw. Positionen einzeln vorgegeben."), explanation);
    freeText->setWordWrap(true);
    singleText->setWordWrap(true);
    explGrid->addWidget(imageLabel(queryModePixmap(false), QStringLiteral("FreiImg")), 0, 0);
    explGrid->addWidget(freeText, 0, 1);
    explGrid->addWidget(imageLabel(queryModePixmap(true), QStringLiteral("EinzelImg")), 1, 0);
    explGrid->addWidget(singleText, 1, 1);
    explGrid->setColumnStretch(1, 1);

    auto *top = new QGridLayout;
    top->setHorizontalSpacing(8);
    top->setVerticalSpacing(6);
    top->addWidget(m_abfrageModus, 0, 0);
    top->addWidget(zeitlimit(), 1, 0);
    top->addWidget(explanation, 0, 1, 2, 1);
    top->setColumnStretch(0, 1);
    top->setColumnStretch(1, 1);
    content()->addLayout(top);

    // The extended view's four groups.
    m_extendedPart = new QWidget(this);
    auto *ext = new QGridLayout(m_extendedPart);
    ext->setContentsMargins(0, 0, 0, 0);
    ext->setHorizontalSpacing(8);
    ext->setVerticalSpacing(6);

    m_zuordnungRichtig = new RadioGroup(QStringLiteral(" Verhalten bei &richtiger Zuordnung "),
                                        {QStringLiteral(" Beschriftung einblenden "),
                                         QStringLiteral(" grünes Häkchen setzen ")},
                                        0, m_extendedPart);
    m_zuordnungRichtig->setObjectName(QStringLiteral("ZuordnungRichtig"));
    m_zuordnungRichtig->setItemExtra(0, exampleLabel(QStringLiteral("Text"), QStringLiteral("RichtigTextLab")));
    m_zuordnungRichtig->setItemExtra(1, imageLabel(tickPixmap(), QStringLiteral("HaekchenImg")));

    m_zuordnungFalsch = new RadioGroup(QStringLiteral(" Verhalten bei &falscher Zuordnung (Fehlversuch) "),
                                       {QStringLiteral(" beliebig viele Zuordnungsversuche erlaubt "),
                                        QStringLiteral(" rotes Kreuz setzen,  ")},
                                       0, m_extendedPart);
    m_zuordnungFalsch->setObjectName(QStringLiteral("ZuordnungFalsch"));
    m_zuordnungFalsch->setItemExtra(0, exampleLabel(QStringLiteral("  -"), QStringLiteral("FalschTextLab")));
    m_zuordnungFalsch->setItemExtra(1, imageLabel(crossPixmap(), QStringLiteral("KreuzImg")));
    m_zf1Lab = new QLabel(QStringLiteral("keine erneute Zuordnung an dieser Position"));
    m_zf1Lab->setObjectName(QStringLiteral("ZF1Lab"));
    m_zuordnungFalsch->addBelowItem(1, m_zf1Lab);
    m_zf1Lab->installEventFilter(this);

    m_zuordnungstexte = new RadioGroup(QStringLiteral(" Zuordnungs&texte "),
                                       {QStringLiteral(" alphabetisch geordnet "), QStringLiteral(" zufällig gemischt ")},
                                       1, m_extendedPart);
    m_zuordnungstexte->setObjectName(QStringLiteral("Zuordnungstexte"));
    m_zuordnungstexte->setItemExtra(0, exampleLabel(QStringLiteral("A B C D ..."), QStringLiteral("TexteGeordnetLab")));
    m_zuordnungstexte->setItemExtra(1, exampleLabel(QStringLiteral("B D A C ..."), QStringLiteral("TexteGemischtLab")));

    m_zuordnungsziele = new RadioGroup(QStringLiteral(" Zuordnungsziele (&Positionen) "),
                                       {QStringLiteral(" geordnet nummeriert "),
                                        QStringLiteral(" zufällig gemischt nummeriert "),
                                        QStringLiteral(" Fragezeichen ")},
                                       1, m_extendedPart);
    m_zuordnungsziele->setObjectName(QStringLiteral("Zuordnungsziele"));
    m_zuordnungsziele->setItemExtra(0, exampleLabel(QStringLiteral("1 2 3 4 ..."), QStringLiteral("ZieleGeordnetLab")));
    m_zuordnungsziele->setItemExtra(1, exampleLabel(QStringLiteral("2 4 1 3 ..."), QStringLiteral("ZieleGemischtLab")));
    m_zuordnungsziele->setItemExtra(2, exampleLabel(QStringLiteral("?"), QStringLiteral("ZieleFragezeichenLab")));

    // Feedback at the end exists only for quizzes received from a network initiator: the
    // group and its notes stay hidden here, but the dependency on it is kept.
    m_riFaRueckmeldung = new RadioGroup(QStringLiteral(" Richtig-/Falsch-Rückmeldung "),
                                        {QStringLiteral(" sofort bei jeder Zuordnung "),
                                         QStringLiteral(" erst am Ende der Übung ")},
                                        0, this);
    m_riFaRueckmeldung->setObjectName(QStringLiteral("RiFaRueckmeldung"));
    m_riFaRueckmeldung->hide();
    m_riFaPan = new QWidget(this);
    m_riFaPan->setObjectName(QStringLiteral("RiFaPan"));
    auto *riFaLayout = new QVBoxLayout(m_riFaPan);
    riFaLayout->addWidget(new QLabel(QStringLiteral("(interaktive Übung)"), m_riFaPan));
    riFaLayout->addWidget(new QLabel(QStringLiteral("(Übung mit Testcharakter)"), m_riFaPan));
    m_riFaPan->hide();

    ext->addWidget(m_zuordnungRichtig, 0, 0);
    ext->addWidget(m_zuordnungFalsch, 0, 1);
    ext->addWidget(m_zuordnungstexte, 1, 0);
    ext->addWidget(m_zuordnungsziele, 1, 1);
    ext->setColumnStretch(0, 1);
    ext->setColumnStretch(1, 1);
    content()->addWidget(m_extendedPart);
    m_extendedPart->hide();

    m_erwBtn = new QPushButton(QStringLiteral("&Erweitert..."));
    m_erwBtn->setObjectName(QStringLiteral("ErwBtn"));
    addButton(m_erwBtn);
    connect(m_erwBtn, &QPushButton::clicked, this, &TUebOptForm::ErwBtnClick);

    connect(m_riFaRueckmeldung, &RadioGroup::itemClicked, this, &TUebOptForm::UpdateDependencies);
    connect(m_abfrageModus, &RadioGroup::itemClicked, this, &TUebOptForm::UpdateDependencies);

    setTabOrderFrom({m_abfrageModus, zeitlimit(), m_zuordnungRichtig, m_zuordnungFalsch, m_zuordnungstexte,
                     m_zuordnungsziele});
    setFixedSize(kWidth, kReducedHeight);
    UpdateDependencies();
    applyLook(DialogLook());
}

bool TUebOptForm::eventFilter(QObject *watched, QEvent *event)
{
    // The label continues the caption of "rotes Kreuz setzen": a click on it chooses that item.
    if (watched == m_zf1Lab && event->type() == QEvent::MouseButtonRelease && m_zf1Lab->isEnabled())
        m_zuordnungFalsch->button(1)->click();
    return QuizOptionsDialog::eventFilter(watched, event);
}

void TUebOptForm::UpdateDependencies()
{
    const bool immediateFeedback = m_riFaRueckmeldung->itemIndex() == 0;
    m_zuordnungFalsch->setEnabled(immediateFeedback);
    m_zf1Lab->setEnabled(immediateFeedback);
    if (!immediateFeedback)
        m_zuordnungFalsch->setItemIndex(1);
}

void TUebOptForm::ErwBtnClick()
{
    m_extended = !m_extended;
    m_extendedPart->setVisible(m_extended);
    // Alt+E both ways.
    m_erwBtn->setText(m_extended ? QStringLiteral("R&eduziert...") : QStringLiteral("&Erweitert..."));
    setFixedSize(kWidth, m_extended ? kExtendedHeight : kReducedHeight);
    centreOnScreen(this);
}

void TUebOptForm::loadFrom(const AppSettings &s)
{
    m_abfrageModus->setItemIndex(s.queryMode);
    zeitlimit()->setItemIndex(s.timeLimitOn);
    zLimitMin()->setStoredText(s.timeLimitMinutes);
    zLimitSek()->setStoredText(s.timeLimitSeconds);
    m_zuordnungRichtig->setItemIndex(s.onCorrect);
    m_zuordnungFalsch->setItemIndex(s.onFailed);
    m_zuordnungstexte->setItemIndex(s.tileOrder);
    m_zuordnungsziele->setItemIndex(s.positionOrder);
    UpdateDependencies();
}

void TUebOptForm::storeTo(AppSettings &s) const
{
    s.queryMode = m_abfrageModus->itemIndex();
    s.timeLimitOn = zeitlimit()->itemIndex();
    s.timeLimitMinutes = zLimitMin()->text();
    s.timeLimitSeconds = zLimitSek()->text();
    s.onCorrect = m_zuordnungRichtig->itemIndex();
    s.onFailed = m_zuordnungFalsch->itemIndex();
    s.tileOrder = m_zuordnungstexte->itemIndex();
    s.positionOrder = m_zuordnungsziele->itemIndex();
}

QuizOptions TUebOptForm::readOptions() const
{
    QuizOptions o;
    o.feedbackAtEnd = m_riFaRueckmeldung->itemIndex();
    o.onCorrect = m_zuordnungRichtig->itemIndex();
    o.onFailed = m_zuordnungFalsch->itemIndex();
    o.tileOrder = m_zuordnungstexte->itemIndex();
    o.positionOrder = m_zuordnungsziele->itemIndex();
    o.queryMode = m_abfrageModus->itemIndex();
    o.timeLimitOn = zeitlimit()->itemIndex();
    o.timeLimitSeconds = timeLimitSeconds();
    return o;
}

// ---------------------------------------------------------------------------------------

QString TUebOptFragenForm::caption()
{
    return QStringLiteral("Übungsoptionen für Einzelfragen");
}

TUebOptFragenForm::TUebOptFragenForm(QWidget *parent)
    : QuizOptionsDialog(caption(), QStringLiteral("TUebOptFragenForm"),
                        {QStringLiteral(" ohne Zeitlimit "), QStringLiteral(" Zeitlimit von: ")},
                        QStringLiteral(" &Zeitlimit "), QStringLiteral("UebOptFragenZeigenCheck"), parent)
{
    m_zuordnungFalsch = new RadioGroup(QStringLiteral(" &Abfragemodus "),
                                       {QStringLiteral(" solange wiederholen, bis jede Frage richtig beantwortet wurde "),
                                        QStringLiteral(" jede Frage nur einmal stellen ")},
                                       0, this);
    m_zuordnungFalsch->setObjectName(QStringLiteral("ZuordnungFalsch"));

    m_zuordnungstexte = new RadioGroup(QStringLiteral(" Antwort&möglichkeiten "),
                                       {QStringLiteral(" alphabetisch geordnet "), QStringLiteral(" zufällig gemischt ")},
                                       1, this);
    m_zuordnungstexte->setObjectName(QStringLiteral("Zuordnungstexte"));
    m_zuordnungstexte->setItemExtra(0, exampleLabel(QStringLiteral("A B C D ..."), QStringLiteral("TexteGeordnetLab")));
    m_zuordnungstexte->setItemExtra(1, exampleLabel(QStringLiteral("B D A C ..."), QStringLiteral("TexteGemischtLab")));

    m_zuordnungsziele = new RadioGroup(QStringLiteral(" &Reihenfolge der Fragen "),
                                       {QStringLiteral(" geordnet "), QStringLiteral(" zufällig gemischt ")}, 1, this);
    m_zuordnungsziele->setObjectName(QStringLiteral("Zuordnungsziele"));
    m_zuordnungsziele->setItemExtra(0, exampleLabel(QStringLiteral("1 2 3 4 ..."), QStringLiteral("ZieleGeordnetLab")));
    m_zuordnungsziele->setItemExtra(1, exampleLabel(QStringLiteral("2 4 1 3 ..."), QStringLiteral("ZieleGemischtLab")));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(m_zuordnungFalsch, 0, 0, 1, 2);
    grid->addWidget(m_zuordnungstexte, 1, 0);
    grid->addWidget(m_zuordnungsziele, 1, 1);
    grid->addWidget(zeitlimit(), 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    content()->addLayout(grid);

    setTabOrderFrom({m_zuordnungFalsch, m_zuordnungstexte, m_zuordnungsziele, zeitlimit()});
    setFixedSize(kWidth, kHeight);
    applyLook(DialogLook());
}

void TUebOptFragenForm::showEvent(QShowEvent *event)
{
    if (m_partner)
        setShowBeforeEveryQuiz(m_partner->showBeforeEveryQuiz());
    QuizOptionsDialog::showEvent(event);
}

void TUebOptFragenForm::done(int result)
{
    if (m_partner)
        m_partner->setShowBeforeEveryQuiz(showBeforeEveryQuiz());
    QuizOptionsDialog::done(result);
}

void TUebOptFragenForm::loadFrom(const AppSettings &s)
{
    m_zuordnungFalsch->setItemIndex(s.questionsOnFailed);
    m_zuordnungstexte->setItemIndex(s.questionsTileOrder);
    zeitlimit()->setItemIndex(s.questionsTimeLimitOn);
    zLimitMin()->setStoredText(s.questionsTimeLimitMinutes);
    zLimitSek()->setStoredText(s.questionsTimeLimitSeconds);
    m_zuordnungsziele->setItemIndex(s.questionsPositionOrder);
}

void TUebOptFragenForm::storeTo(AppSettings &s) const
{
    s.questionsOnFailed = m_zuordnungFalsch->itemIndex();
    s.questionsTileOrder = m_zuordnungstexte->itemIndex();
    s.questionsTimeLimitOn = zeitlimit()->itemIndex();
    s.questionsTimeLimitMinutes = zLimitMin()->text();
    s.questionsTimeLimitSeconds = zLimitSek()->text();
    s.questionsPositionOrder = m_zuordnungsziele->itemIndex();
}

QuizOptions TUebOptFragenForm::readOptions() const
{
    QuizOptions o;
    o.feedbackAtEnd = fbImmediate;
    o.onCorrect = cmCaption;
    o.onFailed = m_zuordnungFalsch->itemIndex();
    o.tileOrder = m_zuordnungstexte->itemIndex();
    o.positionOrder = m_zuordnungsziele->itemIndex();
    o.queryMode = qmFree;
    o.timeLimitOn = zeitlimit()->itemIndex();
    o.timeLimitSeconds = timeLimitSeconds();
    return o;
}

} // namespace kapitolo
