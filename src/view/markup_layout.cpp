#include "view/markup_layout.h"

#include "platform/nearest.h"
#include "view/canvas_text.h"

#include <QPainter>
#include <QRegularExpression>

namespace kapitolo {

namespace {

enum class TagKind {
    None,
    BoldOn,
    BoldOff,
    ItalicOn,
    ItalicOff,
    UnderlineOn,
    UnderlineOff,
    GapOpen,
    GapClose,
    Colour,
    ColourEnd,
    Rule,
    PositionX,
    RightAlign,
};

enum class Normalise { None, HexDigits, DecimalDigits };

struct Tag {
    const char *pattern;
    TagKind kind;
    Normalise normalise;
};

// Tried in this order at every position.
const Tag kTags[] = {
    {"<B>", TagKind::BoldOn, Normalise::None},
    {"</B>", TagKind::BoldOff, Normalise::None},
    {"<I>", TagKind::ItalicOn, Normalise::None},
    {"</I>", TagKind::ItalicOff, Normalise::None},
    {"<U>", TagKind::UnderlineOn, Normalise::None},
    {"</U>", TagKind::UnderlineOff, Normalise::None},
    {"<<", TagKind::GapOpen, Normalise::None},
    {">>", TagKind::GapClose, Normalise::None},
    {"<@COL=000000>", TagKind::Colour, Normalise::HexDigits},
    {"</@COL>", TagKind::ColourEnd, Normalise::None},
    {"<@LINIE>", TagKind::Rule, Normalise::None},
    {"<@POSX=00%>", TagKind::PositionX, Normalise::DecimalDigits},
    {"<@REB=00>", TagKind::RightAlign, Normalise::DecimalDigits},
};

// Candidate and pattern are compared in upper case with their digits replaced by
// "0", so that "<@col=ff8000>" is the colour tag and "<@POSX=25%>" the position tag.
QString normalised(const QString &text, Normalise how)
{
    QString s = text.toUpper();
    for (QChar &c : s) {
        const char16_t u = c.unicode();
        const bool decimal = u >= u'0' && u <= u'9';
        const bool hexLetter = u >= u'A' && u <= u'F';
        if ((how == Normalise::DecimalDigits && decimal) || (how == Normalise::HexDigits && (decimal || hexLetter)))
            c = QLatin1Char('0');
    }
    return s;
}

int digitValue(QChar c)
{
    return c.isDigit() ? c.digitValue() : 0;
}

} // namespace

struct MarkupLayout::Run {
    QString t;       // the trimmed line plus one blank
    qsizetype q = 1; // segment start (positions count from 1)
    qsizetype r = 0; // last break candidate
    qsizetype p = 1; // current position
    int x = 0;
    int y = 0;
    int lh = 0;
    int h0 = 0;
    bool insideGap = false;

    QChar at(qsizetype pos) const { return pos >= 1 && pos <= t.size() ? t.at(pos - 1) : QChar(); }
    QString mid(qsizetype from, qsizetype to) const
    {
        from = qMax<qsizetype>(from, 1);
        to = qMin(to, t.size());
        return to >= from ? t.mid(from - 1, to - from + 1) : QString();
    }
};

MarkupLayout::MarkupLayout(QPainter &painter, int rightEdge, QColor baseColour, int mode, int fontHeight,
                           int fontSize, int leftX)
    : m_painter(painter)
    , m_rightEdge(rightEdge)
    , m_baseColour(baseColour)
    , m_mode(mode)
    , m_fontHeight(fontHeight)
    , m_fontSize(fontSize)
    , m_leftX(leftX)
{
}

void MarkupLayout::setGapObjects(QList<DocObject> *objects, int cardHeight)
{
    m_objects = objects;
    m_cardHeight = qMax(cardHeight, 1);
    m_gapCursor = 0;
}

void MarkupLayout::applyFont()
{
    const int height = m_fontHeight != 0 ? m_fontHeight : -pointsToPixels(m_fontSize);
    m_painter.setFont(canvasFont(QStringLiteral("Arial"), height, m_bold, m_italic, m_underline));
}

int MarkupLayout::width(const QString &text) const
{
    return m_painter.fontMetrics().horizontalAdvance(text);
}

bool MarkupLayout::drawsPlainText() const
{
    switch (m_mode) {
    case mmInfoText:
    case mmWorksheetBlank:
    case mmWorksheetBoth:
        return true;
    case mmCardCloze:
        return m_illustrationOn || m_quizRunning;
    default:
        return m_quizRunning;
    }
}

void MarkupLayout::writeSegment(Run &run, qsizetype from, qsizetype to, bool lineAdvance)
{
    const QString text = run.mid(from, to);
    if (!text.isEmpty()) {
        if (drawsPlainText()) {
            m_painter.setPen(m_baseColour);
            drawTextTopLeft(m_painter, run.x, run.y, text);
        }
        run.x += width(text);
    }
    if (lineAdvance) {
        run.x = m_leftX;
        run.y += run.lh;
        while (run.at(run.p + 1) == QLatin1Char(' '))
            ++run.p;
    }
}

void MarkupLayout::writeGap(Run &run, const QString &word)
{
    if (m_mode == mmCardCloze) {
        const int w = qMax(width(QLatin1Char(' ') + word), width(QStringLiteral(" XX")));
        if (m_objects) {
            while (m_gapCursor < m_objects->size() && m_objects->at(m_gapCursor).Typ != otGap)
                ++m_gapCursor;
            if (m_gapCursor < m_objects->size()) {
                DocObject &gap = (*m_objects)[m_gapCursor];
                const int hX = textHeight(m_painter.fontMetrics());
                gap.Kx = (run.x + w / 2.0) / qMax(m_rightEdge, 1);
                gap.Ky = double(run.y + hX + 4) / m_cardHeight;
                gap.Sx = gap.Kx;
                gap.Sy = gap.Ky;
                ++m_gapCursor;
            }
        }
        run.x += w;
        return;
    }
    const QString blanks = QStringLiteral("   ");
    const int w = qMax(width(blanks + word + blanks), width(QStringLiteral(" XX")));
    if (m_mode == mmWorksheetBlank || m_mode == mmWorksheetBoth) {
        m_painter.setPen(QPen(Qt::black, 1));
        m_painter.drawLine(run.x, run.y + run.h0, run.x + w, run.y + run.h0);
    }
    if (m_mode == mmWorksheetSolution || m_mode == mmWorksheetBoth) {
        m_painter.setPen(QColor(255, 0, 0));
        drawTextTopLeft(m_painter, run.x, run.y, blanks + word);
    }
    run.x += w;
}

int MarkupLayout::LayoutMarkupLine(const QString &line, int y)
{
    Run run;
    const QString trimmed = line.trimmed();
    run.t = trimmed + QLatin1Char(' ');
    run.x = m_leftX;
    run.y = y;
    m_bold = m_italic = m_underline = false;
    applyFont();
    m_painter.setBrush(Qt::NoBrush);
    run.h0 = textHeight(m_painter.fontMetrics());
    run.lh = nearest(run.h0 * 1.25);
    run.y += nearest(run.h0 * 1.25 * 0.02 / 0.055);
    if (m_mode > 0)
        run.lh = nearest(run.lh * 1.1);

    if (trimmed.isEmpty()) {
        writeSegment(run, 1, 0, true);
        return run.y;
    }

    const qsizetype length = run.t.size();
    while (run.p <= length) {
        const qsizetype p = run.p;
        TagKind kind = TagKind::None;
        qsizetype tagLength = 0;
        for (const Tag &tag : kTags) {
            const qsizetype n = qsizetype(qstrlen(tag.pattern));
            if (p + n - 1 > length)
                continue;
            if (normalised(run.t.mid(p - 1, n), tag.normalise)
                != normalised(QLatin1String(tag.pattern), tag.normalise))
                continue;
            if (tag.kind == TagKind::GapOpen && m_mode <= 0)
                continue;
            // A ">>" that closes no gap is text ("a >> b"), not the end of a gap word.
            if (tag.kind == TagKind::GapClose && (m_mode <= 0 || !run.insideGap))
                continue;
            kind = tag.kind;
            tagLength = n;
            break;
        }

        switch (kind) {
        case TagKind::BoldOn:
        case TagKind::BoldOff:
        case TagKind::ItalicOn:
        case TagKind::ItalicOff:
        case TagKind::UnderlineOn:
        case TagKind::UnderlineOff:
            writeSegment(run, run.q, p - 1, false);
            if (kind == TagKind::BoldOn || kind == TagKind::BoldOff)
                m_bold = kind == TagKind::BoldOn;
            else if (kind == TagKind::ItalicOn || kind == TagKind::ItalicOff)
                m_italic = kind == TagKind::ItalicOn;
            else
                m_underline = kind == TagKind::UnderlineOn;
            applyFont();
            run.q = p + tagLength;
            run.r = run.q - 1;
            break;
        case TagKind::GapOpen:
            writeSegment(run, run.q, p - 1, false);
            run.q = p + 2;
            run.r = p + 1;
            run.insideGap = true;
            break;
        case TagKind::GapClose: {
            writeGap(run, run.mid(run.q, p - 1));
            run.q = p + 2;
            run.r = p + 1;
            static const QString punctuation = QStringLiteral("!,.:;?");
            const QChar next = run.at(run.q);
            if (!next.isNull() && punctuation.contains(next)) {
                writeSegment(run, run.q, run.q, false);
                run.q += 1;
                run.r = run.q - 1;
            }
            run.insideGap = false;
            break;
        }
        case TagKind::Colour:
        case TagKind::ColourEnd:
            writeSegment(run, run.q, p - 1, false);
            run.q = p + tagLength;
            run.r = run.q - 1;
            break;
        case TagKind::Rule: {
            writeSegment(run, run.q, p - 1, false);
            run.q = p + 8;
            run.r = p + 7;
            if (drawsPlainText()) {
                m_painter.setPen(QPen(m_baseColour, 1, Qt::SolidLine));
                const int ly = run.y + run.lh / 2 - 1;
                m_painter.drawLine(run.x, ly, m_rightEdge, ly);
            }
            run.x = m_rightEdge;
            break;
        }
        case TagKind::PositionX: {
            const int nn = digitValue(run.at(p + 7)) * 10 + digitValue(run.at(p + 8));
            writeSegment(run, run.q, p - 1, false);
            run.q = p + 11;
            run.r = p + 10;
            run.x = nearest(nn / 100.0 * m_rightEdge);
            break;
        }
        case TagKind::RightAlign: {
            const int nn = digitValue(run.at(p + 6)) * 10 + digitValue(run.at(p + 7));
            writeSegment(run, run.q, p - 1, false);
            run.q = p + 9;
            const qsizetype fieldEnd = qMin<qsizetype>(run.q + nn - 1, length);
            run.x += nn * width(QStringLiteral("0")) - width(run.mid(run.q, fieldEnd));
            writeSegment(run, run.q, fieldEnd, false);
            run.q = qMax(run.q, fieldEnd + 1);
            run.r = run.q - 1;
            break;
        }
        case TagKind::None: {
            const int w = width(run.mid(run.q, p));
            if (run.x + w > m_rightEdge) {
                // Break at the last blank; a break candidate just before the segment
                // helps only when something stands before it on this line, else the
                // line is broken after the overflowing character.
                if (run.r > 0 && (run.r >= run.q || run.x > m_leftX))
                    run.p = run.r;
                // What follows the break decides about the line advance; the character
                // at the break itself is written on this line (or is the blank).
                bool restEmpty = run.t.mid(run.p, 999).trimmed().isEmpty();
                if (restEmpty && run.p < run.q) {
                    // Only blanks are left and the segment would be empty: nothing
                    // moves to a new line, so the segment simply ends here.
                    run.p = p;
                    restEmpty = true;
                }
                writeSegment(run, run.q, run.p, !restEmpty);
                run.q = run.p + 1;
                run.r = run.p;
            } else if (run.at(p) == QLatin1Char(' ') && !run.insideGap) {
                run.r = p;
            }
            break;
        }
        }
        run.p = run.p < run.q ? run.q : run.p + 1;
    }
    writeSegment(run, run.q, length, true);
    return run.y;
}

QStringList sourceLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.split(breaks);
}

void RenderInfoText(QImage &target, const QStringList &lines, int width, int fontSize, QColor background)
{
    // The window never gets wider than a screen; anything else is a caller's mistake
    // that must not turn into a giant allocation.
    width = qBound(0, width, 16384);
    if (width < 1) {
        target = QImage();
        return;
    }
    QImage work(width, kInfoTextMaxHeight, QImage::Format_RGB32);
    work.fill(background);
    int y = 0;
    {
        QPainter painter(&work);
        painter.setRenderHint(QPainter::TextAntialiasing);
        MarkupLayout layout(painter, width, Qt::black, mmInfoText, 0, fontSize, 0);
        for (const QString &line : lines) {
            y = layout.LayoutMarkupLine(line, y);
            if (y >= kInfoTextMaxHeight)
                break;
        }
    }
    target = work.copy(0, 0, width, qBound(0, y, kInfoTextMaxHeight));
}

void LayoutCloze(QImage &cardBitmap, TopicDocument &document, double textScale, bool illustrationOn,
                 bool quizRunning)
{
    if (cardBitmap.isNull())
        return;
    QPainter painter(&cardBitmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    LayoutCloze(painter, cardBitmap.size(), document, textScale, illustrationOn, quizRunning);
}

void LayoutCloze(QPainter &painter, const QSize &cardSize, TopicDocument &document, double textScale,
                 bool illustrationOn, bool quizRunning)
{
    const int w = cardSize.width();
    const int h = cardSize.height();
    if (w < 1 || h < 1)
        return;
    MarkupLayout layout(painter, w, Qt::black, mmCardCloze, nearest(-22 * textScale), 0, nearest(w * 0.035));
    layout.setIllustrationOn(illustrationOn);
    layout.setQuizRunning(quizRunning);
    layout.setGapObjects(&document.objects, h);
    int y = nearest(h * 0.01);
    for (const QString &line : sourceLines(document.lueckentext))
        y = layout.LayoutMarkupLine(line, y);
}

} // namespace kapitolo
