#include "quiz/quiz_status_panel.h"

#include "controls/hover_panel.h"
#include "quiz/quiz_engine.h"

#include <QAccessible>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

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

QFont valueFont()
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(11);
    f.setBold(true);
    return f;
}

} // namespace

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setMinimumWidth(0);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

bool ElidedLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    painter.drawText(area, int(alignment() | Qt::TextSingleLine),
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

QuizStatusPanel::QuizStatusPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("UebInfoPan"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
}

void QuizStatusPanel::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QFrame::setVisible(visible);
}

void QuizStatusPanel::ensureBuilt() const
{
    if (!m_built)
        const_cast<QuizStatusPanel *>(this)->build();
}

void QuizStatusPanel::build()
{
    m_built = true;
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 3, 8, 3);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(0);

    auto caption = [&](const QString &text, int column) {
        auto *l = new QLabel(text, this);
        l->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt;"));
        grid->addWidget(l, 0, column);
        return l;
    };
    // Each figure keeps the width of the widest text it can show, so the columns stand
    // still while the values change and never run into each other.
    m_status = addValue("UebStatLab", QStringLiteral("Status:"), 0, kNeutralText,
                        {QStringLiteral("warte auf Antwort"), QStringLiteral("Quiz beendet"), QStringLiteral("Richtig"),
                         QStringLiteral("Falsch")});
    m_correct = addValue("RichtigLab", QStringLiteral("Richtig:"), 1, kCorrectText, {QStringLiteral("9999")});
    m_failed = addValue("FalschLab", QStringLiteral("Fehlversuche:"), 2, kFailedText, {QStringLiteral("9999")});
    m_rate = addValue("QuoteLab", QStringLiteral("Erfolgsquote:"), 3, kNeutralText, {QStringLiteral("100.0 %")});
    m_open = addValue("OffenLab", QStringLiteral("Offene Fragen:"), 4, kNeutralText, {QStringLiteral("9999")});
    m_performance =
        addValue("GesamtleistungLab", QStringLiteral("Gesamtleistung:"), 5, kNeutralText, {QStringLiteral("100.0 %")});
    m_clockCaption = caption(QStringLiteral("Benötigte Zeit:"), 6);
    m_clockCaption->setObjectName(QStringLiteral("UebZeitModeLab"));
    QFont captionFont = m_clockCaption->font(); // the style sheet's size applies only once it is polished
    captionFont.setPointSize(8);
    m_clockCaption->setMinimumWidth(QFontMetrics(captionFont).horizontalAdvance(QStringLiteral("Verbleibende Zeit:")) + 2);
    m_clock = addValue("UebZeitLab", QString(), 6, kNeutralText, {QStringLiteral("100:00")});
    m_clock->setProperty(kCaptionProperty, QStringLiteral("Benötigte Zeit"));
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("GesAnzLab"));
    m_total->hide();

    // The name has the bottom row to itself: a name of 30 letters fits beside the note
    // even in the smallest window, where it would crowd the figures out of their row.
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    auto *nameCaption = new QLabel(QStringLiteral("Name:"), this);
    nameCaption->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt;"));
    m_name = new ElidedLabel(this);
    m_name->setObjectName(QStringLiteral("TNameLab"));
    m_name->setProperty(kCaptionProperty, QStringLiteral("Name"));
    m_name->setFont(valueFont());
    m_name->setStyleSheet(colourStyle(kNeutralText));
    m_note = new QLabel(QStringLiteral("Hinweis: Falsch beantwortete Fragen werden später wiederholt."), this);
    m_note->setObjectName(QStringLiteral("HinweisLab"));
    m_note->setStyleSheet(QStringLiteral("color: rgb(111, 111, 106); font-size: 8pt;"));
    // What a keyboard player holds takes the place of the hint.
    m_keyboard = new QLabel(this);
    m_keyboard->setObjectName(QStringLiteral("UebTastaturLab"));
    m_keyboard->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt; font-weight: bold;"));
    m_keyboard->hide();
    bottom->addWidget(nameCaption, 0, Qt::AlignBaseline);
    bottom->addWidget(m_name, 1, Qt::AlignBaseline);
    bottom->addSpacing(12);
    bottom->addWidget(m_note, 0, Qt::AlignBaseline);
    bottom->addWidget(m_keyboard, 0, Qt::AlignBaseline);
    grid->addLayout(bottom, 2, 0, 1, 7);

    m_kennz = new THoverPanel(this);
    m_kennz->setObjectName(QStringLiteral("KennzInfoPan"));
    styleToolButton(*m_kennz);
    m_kennz->setCaption(QStringLiteral("?"));
    m_kennz->setToolTip(QStringLiteral("Information zu den Kennzahlen"));
    m_kennz->setFixedSize(28, 28);
    connect(m_kennz, &THoverPanel::pressed, this, &QuizStatusPanel::keyFiguresRequested);
    grid->addWidget(m_kennz, 0, 7, 2, 1, Qt::AlignVCenter);
    grid->setColumnStretch(8, 1);
}

QLabel *QuizStatusPanel::addValue(const char *name, const QString &captionText, int column, const QColor &colour,
                                  const QStringList &widest)
{
    auto *grid = static_cast<QGridLayout *>(layout());
    if (!captionText.isEmpty()) {
        auto *caption = new QLabel(captionText, this);
        caption->setStyleSheet(colourStyle(kNeutralText) + QStringLiteral(" font-size: 8pt;"));
        grid->addWidget(caption, 0, column);
    }
    auto *value = new QLabel(this);
    value->setObjectName(QLatin1String(name));
    value->setProperty(kCaptionProperty, QString(captionText).remove(QLatin1Char(':')));
    value->setFont(valueFont());
    value->setStyleSheet(colourStyle(colour));
    int width = 0;
    for (const QString &text : widest)
        width = qMax(width, value->fontMetrics().horizontalAdvance(text));
    value->setMinimumWidth(width + 2);
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
    ensureBuilt();
    setValue(m_status, t.status);
    m_status->setStyleSheet(colourStyle(kNeutralText));
    m_total->setText(t.total);
    setValue(m_name, t.name);
    m_name->setToolTip(t.name);
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
    ensureBuilt();
    setValue(m_clock, text);
}

void QuizStatusPanel::showVerdict(bool correct)
{
    ensureBuilt();
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
    ensureBuilt();
    m_keyboard->setText(text);
    m_keyboard->setAccessibleName(text);
    m_keyboard->setVisible(!text.isEmpty());
    m_note->setVisible(text.isEmpty());
    if (!text.isEmpty())
        announce(m_keyboard, QAccessible::NameChanged);
}

QString QuizStatusPanel::labelText(const QString &objectName) const
{
    ensureBuilt();
    const auto *label = findChild<QLabel *>(objectName);
    return label ? label->text() : QString();
}

THoverPanel *QuizStatusPanel::keyFiguresButton() const
{
    ensureBuilt();
    return m_kennz;
}

ElidedLabel *QuizStatusPanel::nameLabel() const
{
    ensureBuilt();
    return m_name;
}

} // namespace kapitolo
