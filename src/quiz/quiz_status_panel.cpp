#include "quiz/quiz_status_panel.h"

#include "controls/hover_panel.h"
#include "quiz/quiz_engine.h"

#include <QAccessible>
#include <QGridLayout>
#include <QLabel>

namespace kapitolo {

namespace {

const QColor kCorrectText(0, 140, 0);
const QColor kFailedText(200, 0, 0);
const QColor kNeutralText(81, 81, 78);

QString colourStyle(const QColor &c)
{
    return QStringLiteral("color: %1;").arg(c.name());
}

const char *const kCaptionProperty = "kapitoloCaption";

void announce(QLabel *label, QAccessible::Event kind)
{
    QAccessibleEvent event(label, kind);
    QAccessible::updateAccessibility(&event);
}

} // namespace

QuizStatusPanel::QuizStatusPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("UebInfoPan"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 3, 8, 3);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(0);

    QFont valueFont(QStringLiteral("Arial"));
    valueFont.setPointSize(11);
    valueFont.setBold(true);

    auto caption = [&](const QString &text, int column) {
        auto *l = new QLabel(text, this);
        l->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt;"));
        grid->addWidget(l, 0, column);
        return l;
    };
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("UebStatLab"));
    m_status->setFont(valueFont);
    m_status->setMinimumWidth(140);
    m_status->setProperty(kCaptionProperty, QStringLiteral("Status"));
    caption(QStringLiteral("Status:"), 0);
    grid->addWidget(m_status, 1, 0);
    m_name = addValue("TNameLab", QStringLiteral("Name:"), 1, kNeutralText);
    m_correct = addValue("RichtigLab", QStringLiteral("Richtig:"), 2, kCorrectText);
    m_failed = addValue("FalschLab", QStringLiteral("Fehlversuche:"), 3, kFailedText);
    m_rate = addValue("QuoteLab", QStringLiteral("Erfolgsquote:"), 4, kNeutralText);
    m_open = addValue("OffenLab", QStringLiteral("Offene Fragen:"), 5, kNeutralText);
    m_performance = addValue("GesamtleistungLab", QStringLiteral("Gesamtleistung:"), 6, kNeutralText);
    m_clockCaption = caption(QStringLiteral("Benötigte Zeit:"), 7);
    m_clockCaption->setObjectName(QStringLiteral("UebZeitModeLab"));
    m_clock = new QLabel(this);
    m_clock->setObjectName(QStringLiteral("UebZeitLab"));
    m_clock->setFont(valueFont);
    m_clock->setStyleSheet(colourStyle(kNeutralText));
    m_clock->setProperty(kCaptionProperty, QStringLiteral("Benötigte Zeit"));
    grid->addWidget(m_clock, 1, 7);
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("GesAnzLab"));
    m_total->hide();

    m_note = new QLabel(QStringLiteral("Hinweis: Falsch beantwortete Fragen werden später wiederholt."), this);
    m_note->setStyleSheet(QStringLiteral("color: rgb(111, 111, 106); font-size: 8pt;"));
    grid->addWidget(m_note, 2, 0, 1, 8);
    m_keyboard = new QLabel(this);
    m_keyboard->setObjectName(QStringLiteral("UebTastaturLab"));
    m_keyboard->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt; font-weight: bold;"));
    m_keyboard->hide();
    grid->addWidget(m_keyboard, 2, 0, 1, 8);

    m_kennz = new THoverPanel(this);
    m_kennz->setObjectName(QStringLiteral("KennzInfoPan"));
    styleToolButton(*m_kennz);
    m_kennz->setCaption(QStringLiteral("?"));
    m_kennz->setToolTip(QStringLiteral("Information zu den Kennzahlen"));
    m_kennz->setFixedSize(28, 28);
    connect(m_kennz, &THoverPanel::pressed, this, &QuizStatusPanel::keyFiguresRequested);
    grid->addWidget(m_kennz, 0, 8, 2, 1, Qt::AlignVCenter);
    grid->setColumnStretch(9, 1);
}

QLabel *QuizStatusPanel::addValue(const char *name, const QString &captionText, int column, const QColor &colour)
{
    auto *grid = static_cast<QGridLayout *>(layout());
    auto *caption = new QLabel(captionText, this);
    caption->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt;"));
    grid->addWidget(caption, 0, column);
    auto *value = new QLabel(this);
    value->setObjectName(QLatin1String(name));
    value->setProperty(kCaptionProperty, QString(captionText).remove(QLatin1Char(':')));
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(11);
    f.setBold(true);
    value->setFont(f);
    value->setStyleSheet(colourStyle(colour));
    grid->addWidget(value, 1, column);
    return value;
}

void QuizStatusPanel::setValue(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setAccessibleName(label->property(kCaptionProperty).toString() + QStringLiteral(": ") + text);
}

void QuizStatusPanel::showTexts(const QuizStatusTexts &t)
{
    setValue(m_status, t.status);
    m_status->setStyleSheet(colourStyle(kNeutralText));
    m_total->setText(t.total);
    setValue(m_name, t.name);
    setValue(m_correct, t.correct);
    setValue(m_failed, t.failed);
    setValue(m_rate, t.successRate);
    setValue(m_open, t.open);
    setValue(m_performance, t.totalPerformance);
    m_clockCaption->setText(t.clockCaption);
    m_clock->setProperty(kCaptionProperty, QString(t.clockCaption).remove(QLatin1Char(':')));
}

void QuizStatusPanel::showClock(const QString &text)
{
    setValue(m_clock, text);
}

void QuizStatusPanel::showVerdict(bool correct)
{
    setValue(m_status, correct ? QStringLiteral("Richtig") : QStringLiteral("Falsch"));
    m_status->setStyleSheet(colourStyle(correct ? kCorrectText : kFailedText));
    m_status->repaint();
    // Heard at once, whatever has the focus.
    announce(m_status, QAccessible::NameChanged);
    announce(m_status, QAccessible::Alert);
    Q_EMIT announced(m_status->text());
}

void QuizStatusPanel::showKeyboardStatus(const QString &text)
{
    m_keyboard->setText(text);
    m_keyboard->setAccessibleName(text);
    m_keyboard->setVisible(!text.isEmpty());
    m_note->setVisible(text.isEmpty());
    if (!text.isEmpty())
        announce(m_keyboard, QAccessible::NameChanged);
}

QString QuizStatusPanel::labelText(const QString &objectName) const
{
    const auto *label = findChild<QLabel *>(objectName);
    return label ? label->text() : QString();
}

} // namespace kapitolo
