#include "controls/hover_panel.h"

#include "platform/nearest.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRegularExpression>

#include <algorithm>

namespace kapitolo {

namespace {

int lineWidth(const QFontMetrics &metrics, const QString &line)
{
    if (line.isEmpty())
        return 0;
    return metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs, line).width();
}

// Right-trims blanks only: a line broken at a blank does not keep the blank.
QString withoutTrailingBlanks(QString line)
{
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

void fillOutline(QPainter &painter, const QRect &r, const QColor &color)
{
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), color);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), color);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), color);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), color);
}

} // namespace

QColor mixColors(const QColor &a, const QColor &b, double x)
{
    const QColor p = a.toRgb();
    const QColor q = b.toRgb();
    auto channel = [x](int u, int v) { return std::clamp(nearest((1.0 - x) * u + x * v), 0, 255); };
    return QColor(channel(p.red(), q.red()), channel(p.green(), q.green()), channel(p.blue(), q.blue()));
}

CaptionLines breakCaption(const QString &text, const QFontMetrics &metrics, int width, bool wordWrap)
{
    CaptionLines result;
    if (text.isEmpty())
        return result;

    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList paragraphs = text.split(lineBreak);
    for (const QString &paragraph : paragraphs) {
        if (!wordWrap) {
            result.lines.append(paragraph);
            continue;
        }
        // Greedy, at blanks only; blanks where a line is broken disappear.
        QString current;
        bool started = false;
        for (const QString &word : paragraph.split(QLatin1Char(' '))) {
            if (!started) {
                current = word;
                started = true;
                continue;
            }
            const QString candidate = current + QLatin1Char(' ') + word;
            if (lineWidth(metrics, candidate) <= width) {
                current = candidate;
            } else if (!word.isEmpty()) {
                result.lines.append(withoutTrailingBlanks(current));
                current = word;
            }
        }
        result.lines.append(current);
    }

    int widest = 0;
    for (const QString &line : std::as_const(result.lines))
        widest = std::max(widest, lineWidth(metrics, line));
    result.size = QSize(widest, int(result.lines.size()) * metrics.lineSpacing());
    return result;
}

FittedCaption fitCaption(const QString &text, const QFont &font, QSize available, bool wordWrap,
                         int minPointSize, const QPaintDevice *device)
{
    FittedCaption out{font, text};
    if (text.isEmpty())
        return out;

    auto fits = [&]() {
        const QFontMetrics metrics = device ? QFontMetrics(out.font, device) : QFontMetrics(out.font);
        const QSize size = breakCaption(out.text, metrics, available.width(), wordWrap).size;
        return size.width() <= available.width() && size.height() <= available.height();
    };
    // A font sized in pixels has no point size (-1) and is left as it is.
    auto shrink = [&]() {
        bool ok = fits();
        while (!ok && out.font.pointSize() > minPointSize) {
            out.font.setPointSize(out.font.pointSize() - 1);
            ok = fits();
        }
        return ok;
    };

    if (shrink())
        return out;

    // Lines break only at blanks: give every hyphen inside the text one to break at.
    QString hyphenated;
    hyphenated.reserve(out.text.size() + 8);
    for (qsizetype i = 0; i < out.text.size(); ++i) {
        hyphenated.append(out.text.at(i));
        if (out.text.at(i) == QLatin1Char('-') && i + 1 < out.text.size() && out.text.at(i + 1) != QLatin1Char(' '))
            hyphenated.append(QLatin1Char(' '));
    }
    out.text = hyphenated;
    if (shrink())
        return out;

    QString rest = out.text;
    for (;;) {
        rest = rest.trimmed();
        const qsizetype blank = rest.lastIndexOf(QLatin1Char(' '));
        rest = blank < 0 ? QString() : rest.left(blank).trimmed();
        out.text = rest.isEmpty() ? QStringLiteral("...") : rest + QStringLiteral(" ...");
        if (rest.isEmpty() || fits())
            return out;
    }
}

namespace {

// Screen readers meet the panel as a push button: named by its caption (a caption of
// symbols alone, such as the drawing tools' pen or the arrows, says nothing, so the
// hint names those), the hint as description, pressed like a click.
class HoverPanelAccessible : public QAccessibleWidget
{
public:
    explicit HoverPanelAccessible(THoverPanel *panel)
        : QAccessibleWidget(panel, QAccessible::Button)
    {
    }

    THoverPanel *panel() const { return static_cast<THoverPanel *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return accessibleCaptionName(*panel());
        case QAccessible::Description: {
            if (!widget()->accessibleDescription().isEmpty())
                return widget()->accessibleDescription();
            const QString hint = widget()->toolTip();
            return hint == accessibleCaptionName(*panel()) ? QString() : hint;
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = panel()->tabStop();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString &name) override
    {
        if (name != pressAction() || !widget()->isEnabled())
            return;
        // The buttons answer either the press (the quiz start) or the click.
        QMetaObject::invokeMethod(panel(), "pressed");
        QMetaObject::invokeMethod(panel(), "clicked");
    }
};

QAccessibleInterface *hoverPanelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("kapitolo::THoverPanel") && object && object->isWidgetType())
        return new HoverPanelAccessible(static_cast<THoverPanel *>(object));
    return nullptr;
}

} // namespace

QString accessibleCaptionName(const THoverPanel &panel)
{
    if (!panel.accessibleName().isEmpty())
        return panel.accessibleName();
    const QString caption = panel.caption().simplified(); // line breaks become blanks
    const bool words = std::any_of(caption.cbegin(), caption.cend(), [](QChar c) { return c.isLetterOrNumber(); });
    return words || panel.toolTip().isEmpty() ? caption : panel.toolTip();
}

THoverPanel::THoverPanel(QWidget *parent)
    : QWidget(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(hoverPanelFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    m_normColor = QApplication::palette().color(QPalette::Button).toRgb();
    m_color = m_normColor;
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFocusPolicy(Qt::NoFocus);
}

void THoverPanel::updateBackground()
{
    if (m_hoverActive && m_hover)
        m_color = m_hoverColor;
    else
        m_color = m_checked ? m_checkColor : m_normColor;
    update();
}

void THoverPanel::setNormColor(const QColor &color)
{
    m_normColor = color.toRgb();
    updateBackground();
}

void THoverPanel::setHoverColor(const QColor &color)
{
    m_hoverColor = color.toRgb();
    updateBackground();
}

void THoverPanel::setCheckColor(const QColor &color)
{
    m_checkColor = color.toRgb();
    updateBackground();
}

void THoverPanel::setNormFontColor(const QColor &color)
{
    m_normFontColor = color.toRgb();
    updateBackground();
}

void THoverPanel::setCheckFontColor(const QColor &color)
{
    m_checkFontColor = color.toRgb();
    updateBackground();
}

void THoverPanel::setCheckFontBold(bool on)
{
    m_checkFontBold = on;
}

void THoverPanel::setChecked(bool on)
{
    if (on == m_checked)
        return;
    m_checked = on;
    m_fontColor = on ? m_checkFontColor : m_normFontColor;
    if (m_checkFontBold) {
        QFont f = font();
        f.setBold(on);
        setFont(f);
    }
    updateBackground();
}

void THoverPanel::setHoverActive(bool on)
{
    m_hoverActive = on;
    updateBackground();
}

void THoverPanel::setXPCheck(bool on)
{
    if (on == m_xpCheck)
        return;
    m_xpCheck = on;
    update();
}

void THoverPanel::setBorderColor(const QColor &color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color.toRgb();
    update();
}

void THoverPanel::setWordWrap(bool on)
{
    if (on == m_wordWrap)
        return;
    m_wordWrap = on;
    update();
}

void THoverPanel::setFontAutoSize(bool on)
{
    if (on == m_fontAutoSize)
        return;
    m_fontAutoSize = on;
    update();
}

void THoverPanel::setMinFontSize(int points)
{
    if (points == m_minFontSize)
        return;
    m_minFontSize = points;
    update();
}

void THoverPanel::setCaptionLayout(CaptionLayout layout)
{
    if (layout == m_captionLayout)
        return;
    m_captionLayout = layout;
    update();
}

void THoverPanel::setPadding(const QMargins &padding)
{
    m_padding = padding;
    update();
}

void THoverPanel::setBitmap(const QImage &bitmap)
{
    m_bitmap = bitmap.copy();
    update();
}

void THoverPanel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateGeometry();
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void THoverPanel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void THoverPanel::setBorderWidth(int width)
{
    m_borderWidth = std::max(0, width);
    update();
}

void THoverPanel::setBevelOuter(Bevel bevel)
{
    m_bevelOuter = bevel;
    update();
}

void THoverPanel::setBevelWidth(int width)
{
    m_bevelWidth = std::max(0, width);
    update();
}

void THoverPanel::setTabStop(bool on)
{
    m_tabStop = on;
    setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
    update();
}

void THoverPanel::setFontColor(const QColor &color)
{
    m_fontColor = color.toRgb();
    update();
}

void THoverPanel::setBackgroundColor(const QColor &color)
{
    m_color = color.toRgb();
    update();
}

QSize THoverPanel::sizeHint() const
{
    // Layouts ask often; measuring the caption is the expensive part.
    const QString key = m_caption + QLatin1Char('\x1f') + font().key() + QLatin1Char('\x1f')
        + QString::number(m_borderWidth) + QLatin1Char(',') + QString::number(m_bevelWidth) + QLatin1Char(',')
        + QString::number(int(m_bevelOuter)) + QLatin1Char(',') + QString::number(m_padding.left()) + QLatin1Char(',')
        + QString::number(m_padding.right()) + QLatin1Char(',') + QString::number(m_padding.top()) + QLatin1Char(',')
        + QString::number(m_padding.bottom());
    if (key == m_sizeHintKey)
        return m_sizeHint;
    m_sizeHintKey = key;
    m_sizeHint = measureSizeHint();
    return m_sizeHint;
}

QSize THoverPanel::measureSizeHint() const
{
    const QFontMetrics metrics(font(), this);
    const CaptionLines lines = breakCaption(m_caption, metrics, 0, false);
    const int frame = 2 * (m_borderWidth + (m_bevelOuter == Bevel::Raised ? m_bevelWidth : 0));
    return QSize(std::max(75, lines.size.width() + frame + m_padding.left() + m_padding.right() + 8),
                 std::max(25, lines.size.height() + frame + m_padding.top() + m_padding.bottom() + 6));
}

void THoverPanel::drawBevel(QPainter &painter, QRect &r) const
{
    const QColor light = mixColors(Qt::white, m_color, 0.2);
    const QColor dark = mixColors(Qt::black, m_color, 0.75);
    for (int k = 0; k < m_bevelWidth && r.width() > 0 && r.height() > 0; ++k) {
        // Top and left light, bottom and right dark; the two far corners belong to the dark side.
        painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), light);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), light);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), dark);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dark);
        r.adjust(1, 1, -1, -1);
    }
}

void THoverPanel::drawFocusRect(QPainter &painter) const
{
    const QRect f = rect().adjusted(2, 2, -2, -2);
    if (f.width() <= 0 || f.height() <= 0)
        return;
    // A dotted frame that inverts every other pixel, visible on any background.
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    auto dot = [&](int x, int y) {
        if ((x + y) % 2 == 0)
            painter.fillRect(QRect(x, y, 1, 1), Qt::black);
    };
    for (int x = f.left(); x <= f.right(); ++x) {
        dot(x, f.top());
        if (f.bottom() != f.top())
            dot(x, f.bottom());
    }
    for (int y = f.top() + 1; y < f.bottom(); ++y) {
        dot(f.left(), y);
        if (f.right() != f.left())
            dot(f.right(), y);
    }
    painter.restore();
}

void THoverPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const int bw = m_borderWidth;

    // Border rings, outermost first.
    for (int i = 0; i < bw; ++i) {
        const QRect ring(i, i, w - 2 * i, h - 2 * i);
        if (ring.width() <= 0 || ring.height() <= 0)
            break;
        fillOutline(painter, ring, m_borderColor);
    }
    QRect r = rect().adjusted(bw, bw, -bw, -bw);

    if (m_bevelOuter == Bevel::Raised && m_bevelWidth > 0)
        drawBevel(painter, r);

    if (r.width() > 0 && r.height() > 0) {
        const QRect source(bw, bw, r.width(), r.height());
        const bool covered = !m_bitmap.isNull() && m_bitmap.rect().contains(source) && !m_bitmap.hasAlphaChannel();
        if (!covered)
            painter.fillRect(r, m_color);
        if (!m_bitmap.isNull()) {
            const QRect part = source & m_bitmap.rect();
            if (!part.isEmpty())
                painter.drawImage(r.topLeft() + (part.topLeft() - source.topLeft()), m_bitmap, part);
        }
    }

    QRect captionRect = r.adjusted(m_padding.left(), m_padding.top(), -m_padding.right(), -m_padding.bottom());
    const QSize available(std::max(0, captionRect.width()), std::max(0, captionRect.height()));
    FittedCaption caption{font(), m_caption};
    if (m_fontAutoSize)
        caption = fitCaption(m_caption, font(), available, m_wordWrap, m_minFontSize, this);

    if (!caption.text.isEmpty() && available.width() > 0 && available.height() > 0) {
        const QFontMetrics metrics(caption.font, this);
        const CaptionLines lines = breakCaption(caption.text, metrics, available.width(), m_wordWrap);
        const int spare = available.height() - lines.size.height();
        if (m_captionLayout == CaptionLayout::Bottom)
            captionRect.translate(0, std::max(0, spare));
        else if (m_captionLayout == CaptionLayout::Center)
            captionRect.translate(0, std::max(0, spare / 2));

        painter.save();
        painter.setClipRect(captionRect);
        painter.setFont(caption.font);
        painter.setPen(m_fontColor);
        int y = captionRect.top();
        for (const QString &line : lines.lines) {
            const int lw = lineWidth(metrics, line);
            int x = captionRect.left();
            if (m_alignment & Qt::AlignRight)
                x = captionRect.left() + captionRect.width() - lw;
            else if (m_alignment & Qt::AlignHCenter)
                x = captionRect.left() + (captionRect.width() - lw) / 2;
            painter.drawText(QRect(x, y, std::max(lw, 1), metrics.lineSpacing()),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs | Qt::TextDontClip,
                             line);
            y += metrics.lineSpacing();
        }
        painter.restore();
    }

    if (m_checked) {
        const int left = bw;
        const int length = w - 2 * bw;
        if (length > 0) {
            if (m_xpCheck) {
                painter.fillRect(QRect(left, bw, length, 1), QColor(230, 139, 44));
                painter.fillRect(QRect(left, bw + 1, length, 1), QColor(255, 199, 60));
                painter.fillRect(QRect(left, bw + 2, length, 1), QColor(255, 199, 60));
            } else {
                const QColor line = mixColors(m_normColor, Qt::white, 0.5);
                painter.fillRect(QRect(left, bw, length, 1), line);
                painter.fillRect(QRect(left, bw + 1, length, 1), line);
            }
        }
    }

    if (m_focused && m_tabStop && isEnabled())
        drawFocusRect(painter);
}

void THoverPanel::enterEvent(QEnterEvent *event)
{
    if (m_hoverActive) {
        m_hover = true;
        m_color = m_hoverColor;
        update();
    }
    Q_EMIT mouseEntered();
    QWidget::enterEvent(event);
}

void THoverPanel::leaveEvent(QEvent *event)
{
    m_hover = false;
    m_color = m_checked ? m_checkColor : m_normColor;
    update();
    Q_EMIT mouseLeft();
    QWidget::leaveEvent(event);
}

void THoverPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (m_tabStop)
            setFocus(Qt::MouseFocusReason);
        m_pressed = true;
        Q_EMIT pressed();
    }
    event->accept();
}

void THoverPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        if (rect().contains(event->position().toPoint()))
            Q_EMIT clicked();
    }
    event->accept();
}

void THoverPanel::keyPressEvent(QKeyEvent *event)
{
    const bool activationKey =
        event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space;
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    if (m_tabStop && activationKey && plain) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void THoverPanel::focusInEvent(QFocusEvent *event)
{
    m_focused = true;
    update();
    QWidget::focusInEvent(event);
}

void THoverPanel::focusOutEvent(QFocusEvent *event)
{
    m_focused = false;
    update();
    QWidget::focusOutEvent(event);
}

void styleToolButton(THoverPanel &button)
{
    button.setHoverActive(true);
    button.setBorderWidth(1);
    button.setBorderColor(QColor(162, 162, 154));
    button.setNormColor(QColor(236, 236, 232));
    button.setHoverColor(QColor(254, 254, 248));
    button.setCheckColor(QColor(255, 255, 255));
    button.setNormFontColor(QColor(81, 81, 78));
    button.setCheckFontColor(QColor(0, 0, 0));
    button.setCheckFontBold(false);
    button.setXPCheck(false);
    // The font colour follows the two font colours only when the checked state changes:
    // bring it in line with the state the button is in now.
    button.setFontColor(button.isChecked() ? button.checkFontColor() : button.normFontColor());
    if (button.isChecked() && button.font().bold()) {
        QFont f = button.font();
        f.setBold(false);
        button.setFont(f);
    }
}

} // namespace kapitolo
