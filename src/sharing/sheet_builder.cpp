#include "sharing/sheet_builder.h"

#include "platform/german.h"
#include "platform/messages.h"
#include "platform/nearest.h"
#include "quiz/quiz_engine.h"
#include "view/canvas_text.h"
#include "view/card_renderer.h"
#include "view/markup_layout.h"
#include "view/view_state.h"

#include <QCollator>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kapitolo {

namespace {

constexpr int W = 1000;
constexpr int H = kSheetHeight;

class SheetBuilder
{
public:
    SheetBuilder(const TopicDocument &document, const SheetOptions &options)
        : m_document(document)
        , m_options(options)
        , m_recorder(m_picture)
        , m_painter(&m_recorder)
    {
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }

    SheetPicture build()
    {
        header();
        title();
        task();
        answerTexts();
        body();
        footer();
        m_painter.end();
        return std::move(m_picture);
    }

private:
    bool baseContent() const { return m_options.kind != skOverlay; }
    bool solutions() const { return m_options.kind != skWorksheet; }
    int mode() const { return sheetDrawMode(m_options.kind); }

    // Sets the font and returns its line height s, the height of "X".
    int useFont(int height, bool bold = false)
    {
        m_painter.setFont(arialFont(-height, bold));
        return textHeight(m_painter.fontMetrics());
    }

    void blackPen() { m_painter.setPen(QPen(Qt::black, 1)); }

    // A frame from corner to corner.
    void frame(int left, int top, int right, int bottom)
    {
        blackPen();
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(QRectF(left, top, right - left, bottom - top));
    }

    void header()
    {
        m_headerS = useFont(18);
        struct Field {
            bool on;
            const char *label;
            int x;
            int length;
        };
        const Field fields[] = {{m_options.nameField, "Name:", 0, 500},
                                {m_options.classField, "Klasse:", 500, 250},
                                {m_options.dateField, "Datum:", 750, 250}};
        bool any = false;
        const int s = m_headerS;
        for (const Field &f : fields) {
            if (!f.on)
                continue;
            any = true;
            if (!baseContent())
                continue;
            // The label stands on its write-in line.
            blackPen();
            m_painter.drawText(QPoint(f.x, s), QString::fromUtf8(f.label));
            m_painter.drawLine(f.x, s, f.x + f.length, s);
        }
        if (any)
            m_y += nearest(2.5 * s);
    }

    void title()
    {
        const QString text = m_options.title.trimmed();
        if (text.isEmpty())
            return;
        m_y += nearest(0.5 * m_headerS);
        const int s = useFont(30, true);
        if (baseContent()) {
            frame(0, m_y - nearest(0.3 * s), W, m_y + nearest(1.3 * s));
            // A title too long for the frame is set smaller, centred in the same line.
            int height = 30;
            int top = m_y;
            while (height > 10 && m_painter.fontMetrics().horizontalAdvance(text) > W - 20) {
                const int smaller = useFont(--height, true);
                top = m_y + (s - smaller) / 2;
            }
            drawTextCentredTop(m_painter, W / 2, top, text);
        }
        m_y += nearest(2 * s);
    }

    void task()
    {
        QString text = boxText(m_options.task);
        if (text.trimmed().isEmpty())
            return;
        useFont(25);
        const QRect area(0, m_y, W, qMax(0, H - m_y));
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const QRect used = m_painter.boundingRect(area, flags, text);
        if (baseContent()) {
            blackPen();
            m_painter.drawText(area, flags, text);
        }
        m_y += used.height();
    }

    void answerTexts()
    {
        if (!m_options.answerTexts)
            return;
        const QStringList texts = sheetAnswerTexts(m_document, m_options.fromQuestion);
        if (texts.isEmpty())
            return;
        const int s = useFont(22);
        const QFontMetrics metrics = m_painter.fontMetrics();
        QStringList lines;
        QString line;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QString piece = i + 1 < texts.size() ? texts.at(i) + QStringLiteral(" - ") : texts.at(i);
            if (!line.isEmpty() && metrics.horizontalAdvance(line + piece) > W) {
                lines << line;
                line.clear();
            }
            line += piece;
        }
        lines << line;
        for (const QString &l : lines) {
            if (baseContent()) {
                blackPen();
                drawTextTopLeft(m_painter, 0, m_y, l);
            }
            m_y += nearest(1.25 * s);
        }
        m_y += s;
    }

    void body()
    {
        m_bodyS = useFont(25);
        m_footerS = [this] {
            useFont(15);
            const int s = textHeight(m_painter.fontMetrics());
            useFont(25);
            return s;
        }();
        switch (m_document.DokTyp) {
        case dtCloze:
            clozeBody();
            break;
        case dtSingleQuestions:
            questionsBody();
            break;
        default:
            imageBody();
            break;
        }
    }

    // Where a body must end so that it stays clear of the footer.
    int bodyLimit() const { return H - m_footerS - nearest(0.5 * m_bodyS); }

    void imageBody()
    {
        const QSize cardSize = sheetCardSize(m_document.baseImage.size(), m_document.RandErw);
        if (cardSize.isEmpty())
            return;
        TopicDocument work = m_document;
        QImage card;
        if (!ScaleBaseImage(card, work.baseImage, work.RandErw, cardSize.width(), cardSize.height(), 1.0)
            || card.isNull())
            return;
        ViewState view;
        view.controlSize = card.size();
        view.textScale = card.width() / 870.0;
        view.viewAspect = double(card.width()) / card.height();
        if (!work.lueckentext.isEmpty())
            LayoutCloze(card, work, view.textScale, true, false);
        view.marks = ObjectMarks(work.objects.size(), ObjectMark{csUncovered}); // every object open
        work.normaliseAfterRebuild(false, view.marks);

        CardBitmaps bitmaps;
        NullLearningViewHost host;
        SilentMessages messages;
        CardRenderer renderer(work, view, bitmaps, host, messages);
        const QList<int> numbered = crowdedAnswers(renderer, work, card.size());
        const NumberedList list = numberedListLayout(work, numbered);

        int x = 0;
        int width = W;
        int height = nearest(double(card.height()) * W / card.width());
        // A picture taller than the room above the footer is made smaller rather than cut.
        const int room = bodyLimit() - m_y - (list.height > 0 ? list.height + nearest(1.5 * m_bodyS) : 0);
        if (height > room && room >= 100) {
            height = room;
            width = qMin(W, nearest(double(room) * card.width() / card.height()));
            x = (W - width) / 2;
        }
        const QRect target(x, m_y, width, height);
        if (baseContent()) {
            m_painter.drawImage(target, card);
            frame(x, m_y, x + width, m_y + height);
        }

        m_painter.save();
        m_painter.translate(target.topLeft());
        m_painter.scale(double(width) / card.width(), double(height) / card.height());
        // The solution sheet draws all frames before all solutions: drawn object by
        // object, a neighbour's frame would hide part of a solution word.
        const QList<int> passes = m_options.kind == skSolutionSheet ? QList<int>{mmWorksheetBlank, mmWorksheetSolution}
                                                                    : QList<int>{mode()};
        for (int pass : passes)
            for (int i = 0; i < work.objects.size(); ++i)
                if (!numbered.contains(i))
                    renderer.DrawObject(m_painter, card.size(), i, pass, true);
        m_painter.restore();
        if (!numbered.isEmpty() && baseContent())
            numberPoints(work, numbered, target);
        m_y += height + nearest(1.5 * m_bodyS);
        if (!numbered.isEmpty())
            numberedAnswerList(work, numbered, list);
    }

    // Where the answer frames of a map would overlap, the pupil could not write in
    // them: the answers are then asked by numbered points on the map and numbered lines
    // under it. Returns the labels and gaps to number, in reading order (top to bottom,
    // left to right by their spots); empty when every frame has room of its own.
    static QList<int> crowdedAnswers(CardRenderer &renderer, const TopicDocument &work, const QSize &cardSize)
    {
        QList<int> answers;
        QList<QRect> frames;
        for (int i = 0; i < work.objects.size(); ++i) {
            const QRect f = renderer.WorksheetFrame(cardSize, i);
            if (f.isEmpty())
                continue;
            answers << i;
            frames << f;
        }
        bool crowded = false;
        for (qsizetype a = 0; a < frames.size() && !crowded; ++a)
            for (qsizetype b = a + 1; b < frames.size() && !crowded; ++b)
                crowded = frames.at(a).intersects(frames.at(b));
        if (!crowded)
            return {};
        std::stable_sort(answers.begin(), answers.end(), [&work](int a, int b) {
            const DocObject &oa = work.objects.at(a);
            const DocObject &ob = work.objects.at(b);
            return oa.Sy != ob.Sy ? oa.Sy < ob.Sy : oa.Sx < ob.Sx;
        });
        return answers;
    }

    struct NumberedList {
        int columns = 1;
        int rows = 0;
        int rowHeight = 0;
        int numberWidth = 0;
        int height = 0; // room the list takes under the picture, 0 without one
    };

    // Columns as wide as the longest answer allows, at most four.
    NumberedList numberedListLayout(const TopicDocument &work, const QList<int> &numbered)
    {
        NumberedList list;
        if (numbered.isEmpty())
            return list;
        m_painter.save();
        const int s = useFont(22);
        const QFontMetrics metrics = m_painter.fontMetrics();
        m_painter.restore();
        list.numberWidth = metrics.horizontalAdvance(QString::number(numbered.size()) + QStringLiteral(". "));
        int widest = metrics.horizontalAdvance(QStringLiteral("Mmmmmmmm"));
        for (int i : numbered)
            widest = qMax(widest, metrics.horizontalAdvance(CleanCaption(work.objects.at(i).Cap)));
        list.columns = std::clamp(W / (list.numberWidth + widest + 30), 1, 4);
        list.rows = int((numbered.size() + list.columns - 1) / list.columns);
        list.rowHeight = nearest(1.8 * s);
        list.height = list.rows * list.rowHeight;
        return list;
    }

    // A small numbered disc on each spot; the solutions go into the list, not here. A
    // disc that would cover one placed before it moves aside, as little as it must,
    // and a thin line leads from the spot to it.
    void numberPoints(const TopicDocument &work, const QList<int> &numbered, const QRect &target)
    {
        m_painter.save();
        m_painter.setRenderHint(QPainter::Antialiasing);
        const int d = 22;
        m_painter.setFont(arialFont(-13, true));
        QList<QPointF> placed;
        for (qsizetype n = 0; n < numbered.size(); ++n) {
            const DocObject &o = work.objects.at(numbered.at(n));
            const QPointF spot(target.left() + o.Sx * target.width(), target.top() + o.Sy * target.height());
            QPointF centre = spot;
            for (int round = 0; round < 30; ++round) {
                bool moved = false;
                for (const QPointF &other : std::as_const(placed)) {
                    QPointF away = centre - other;
                    const double distance = std::hypot(away.x(), away.y());
                    if (distance >= d + 1)
                        continue;
                    // On the very same spot the disc steps to the right.
                    away = distance < 0.01 ? QPointF(1, 0) : away / distance;
                    centre = other + away * (d + 1);
                    moved = true;
                }
                centre.setX(std::clamp(centre.x(), target.left() + d / 2.0, target.right() - d / 2.0));
                centre.setY(std::clamp(centre.y(), target.top() + d / 2.0, target.bottom() - d / 2.0));
                if (!moved)
                    break;
            }
            placed << centre;
            const QPoint c(nearest(centre.x()), nearest(centre.y()));
            if (QLineF(spot, centre).length() > d / 2.0) {
                m_painter.setPen(QPen(Qt::black, 1));
                const QPointF edge = centre + (spot - centre) * (d / 2.0 / QLineF(spot, centre).length());
                m_painter.drawLine(spot, edge);
                m_painter.setBrush(Qt::black);
                m_painter.drawEllipse(spot, 2.0, 2.0);
                m_painter.setBrush(Qt::NoBrush);
            }
            m_painter.setPen(Qt::black);
            DrawBadge(m_painter, QRect(c.x() - d / 2, c.y() - d / 2, d, d), Qt::black, QString::number(n + 1), Qt::white);
        }
        m_painter.restore();
    }

    // "1. ____" lines column by column; the solution sheet and the overlay write the
    // answer in red on its line, at the same place on both.
    void numberedAnswerList(const TopicDocument &work, const QList<int> &numbered, const NumberedList &list)
    {
        const int s = useFont(22);
        const int columnWidth = W / list.columns;
        for (qsizetype n = 0; n < numbered.size(); ++n) {
            const int column = int(n) / list.rows;
            const int row = int(n) % list.rows;
            const int x = column * columnWidth;
            const int top = m_y + row * list.rowHeight;
            const int lineY = top + nearest(1.25 * s);
            const int lineLeft = x + list.numberWidth;
            if (baseContent()) {
                blackPen();
                drawTextTopLeft(m_painter, x, top, QString::number(n + 1) + QStringLiteral("."));
                m_painter.drawLine(lineLeft, lineY, x + columnWidth - 20, lineY);
            }
            if (solutions()) {
                m_painter.setPen(QColor(255, 0, 0));
                drawTextTopLeft(m_painter, lineLeft + 4, top, CleanCaption(work.objects.at(numbered.at(n)).Cap));
            }
        }
        m_y += list.height + nearest(0.5 * s);
        useFont(25);
    }

    // Lays the cloze text out from y with the given font height; returns the final y.
    int layCloze(QPainter &painter, int fontHeight, int y)
    {
        MarkupLayout layout(painter, nearest(W * 0.97), Qt::black, mode(), -fontHeight, 0, nearest(W * 0.02));
        for (const QString &line : sourceLines(m_document.lueckentext))
            y = layout.LayoutMarkupLine(line, y);
        return y;
    }

    void clozeBody()
    {
        const int top = m_y;
        // A text longer than the sheet is set smaller until it fits above the footer.
        int fontHeight = 30;
        while (fontHeight > 16) {
            SheetPicture scratch;
            SheetRecorder recorder(scratch);
            QPainter measure(&recorder);
            if (layCloze(measure, fontHeight, top) <= bodyLimit())
                break;
            --fontHeight;
        }
        m_y = layCloze(m_painter, fontHeight, top);
        if (baseContent())
            frame(0, top, W, m_y);
        m_y += nearest(1.5 * m_bodyS);
    }

    // The question and its answer below it, laid out from y; returns the final y.
    int layQuestion(const SheetQuestion &q, int y, int questionMode, int answerMode)
    {
        const int left = nearest(W * 0.02);
        const int right = nearest(W * 0.97);
        MarkupLayout question(m_painter, right, Qt::black, questionMode, -25, 0, left);
        y = question.LayoutMarkupLine(QString::number(q.number) + QStringLiteral(". ") + q.question, y);
        MarkupLayout answer(m_painter, right, QColor(255, 0, 0), answerMode, -25, 0, left);
        return answer.LayoutMarkupLine(q.answer, y);
    }

    void questionsBody()
    {
        const int frameTop = m_y;
        const double full = H - 1.5 * m_bodyS;
        bool placed = false;
        for (const SheetQuestion &q : sheetQuestions(m_document.fragentext)) {
            if (q.number < m_options.fromQuestion)
                continue;
            // A question that does not fit ends the sheet; the first one is always
            // placed, or its sheet could never be made.
            if (placed && layQuestion(q, m_y, mmMeasure, mmMeasure) >= full) {
                m_picture.nextQuestion = q.number;
                break;
            }
            m_y = layQuestion(q, m_y, baseContent() ? mmInfoText : mmMeasure, solutions() ? mmInfoText : mmMeasure);
            placed = true;
            if (baseContent()) {
                blackPen();
                m_painter.drawLine(0, m_y, W, m_y);
            }
        }
        if (baseContent())
            frame(0, frameTop, W, m_y + 1);
        m_y += nearest(1.5 * m_bodyS);
    }

    void footer()
    {
        const int s = useFont(15);
        const int y = H - s;
        if (!baseContent())
            return;
        blackPen();
        m_painter.drawLine(0, y, W, y);
        drawTextTopLeft(m_painter, 0, y, sheetFooterText());
        const QString address = m_options.footerAddress;
        drawTextTopLeft(m_painter, W - m_painter.fontMetrics().horizontalAdvance(address), y, address);
    }

    const TopicDocument &m_document;
    const SheetOptions &m_options;
    SheetPicture m_picture;
    SheetRecorder m_recorder;
    QPainter m_painter;
    int m_y = 0;
    int m_headerS = 0;
    int m_bodyS = 0;
    int m_footerS = 0;
};

} // namespace

int sheetDrawMode(int kind)
{
    switch (kind) {
    case skSolutionSheet:
        return mmWorksheetBoth;
    case skOverlay:
        return mmWorksheetSolution;
    default:
        return mmWorksheetBlank;
    }
}

QString defaultSheetTask()
{
    return QStringLiteral("Aufgabe: Fülle die freien Felder aus!");
}

QString sheetFooterText()
{
    return QStringLiteral("erstellt mit TSR - Tessaro für interaktive Übungen");
}

QString sheetFooterAddress()
{
    return QStringLiteral("www.ostrabel.de");
}

QList<SheetQuestion> sheetQuestions(const QString &fragentext)
{
    QList<SheetQuestion> questions;
    int number = 0;
    for (const QString &line : sourceLines(fragentext)) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        SheetQuestion q;
        q.number = ++number;
        const qsizetype split = trimmed.indexOf(QLatin1String("//"));
        if (split < 0) {
            q.question = trimmed;
            q.answer = QStringLiteral("---");
        } else {
            q.question = trimmed.left(split).trimmed();
            q.answer = trimmed.mid(split + 2).trimmed();
        }
        questions << q;
    }
    return questions;
}

QStringList sheetAnswerTexts(const TopicDocument &document, int fromQuestion)
{
    QStringList texts;
    for (const DocObject &o : document.objects) {
        const bool listed = (document.DokTyp == dtImageLabelling && o.Typ == otLabel)
            || (document.DokTyp == dtCloze && o.Typ == otGap)
            || (document.DokTyp == dtSingleQuestions && o.Typ == otAnswer && o.FrageNummer >= fromQuestion);
        if (!listed)
            continue;
        const QString text = CleanCaption(o.Cap);
        if (!text.isEmpty())
            texts << text;
    }
    QCollator collator(germanLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(texts.begin(), texts.end(),
                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    return texts;
}

QSize sheetCardSize(const QSize &baseSize, const RectD &margins)
{
    const ScaleGeometry g = scaleGeometry(baseSize, margins, 1, 1, 1.0);
    if (!g.valid)
        return QSize();
    const double ew = g.extendedWidth;
    const double eh = g.extendedHeight;
    int width = qBound(870, g.extendedWidth, 1600);
    int height = qMax(1, nearest(width * eh / ew));
    // A very tall picture: its height decides, the sheet can show no more.
    if (height > 2600) {
        height = 2600;
        width = qMax(1, nearest(height * ew / eh));
    }
    return QSize(width, height);
}

SheetPicture BuildSheet(const TopicDocument &document, const SheetOptions &options)
{
    return SheetBuilder(document, options).build();
}

} // namespace kapitolo
