#include "quiz/tile_layout.h"

#include "platform/nearest.h"
#include "platform/random.h"
#include "quiz/quiz_types.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kapitolo {

QList<QPoint> stackSlots(int slots, QSize panel, int *tileAreaLeft)
{
    QList<QPoint> result;
    result.reserve(qMax(0, slots));
    int x = panel.width() - kTileWidth;
    int y = panel.height() - kTileHeight;
    int column = 0;
    for (int s = 0; s < slots; ++s) {
        result.append(QPoint(x, y));
        y -= 48;
        if (y < 35) {
            ++column;
            y = (panel.height() - kTileHeight) - 7 * column;
            x -= 12;
        }
    }
    if (tileAreaLeft)
        *tileAreaLeft = x - 5;
    return result;
}

int stackCapacity(QSize panel, int count)
{
    // The same walk as stackSlots, stopping before a tile would push the tile area's
    // left edge beyond the middle of the panel.
    int x = panel.width() - kTileWidth;
    int y = panel.height() - kTileHeight;
    int column = 0;
    for (int k = 1; k <= count; ++k) {
        y -= 48;
        int nextX = x;
        if (y < 35) {
            ++column;
            y = (panel.height() - kTileHeight) - 7 * column;
            nextX -= 12;
        }
        if (2 * (nextX - 5) < panel.width())
            return qMax(1, k - 1);
        x = nextX;
    }
    return qMax(0, count);
}

TilePlacement stackedTilePlacement(int count, QSize panel)
{
    TilePlacement result;
    result.positions = QList<QPoint>(qMax(0, count), QPoint(-1, -1));
    result.stacked = qMin(count, stackCapacity(panel, count));
    const QList<QPoint> slots = stackSlots(result.stacked, panel, &result.tileAreaLeft);
    for (int k = 0; k < result.stacked; ++k)
        result.positions[k] = slots.at(result.stacked - 1 - k);
    return result;
}

TilePlacement arrangeVisibleTiles(const QList<int> &visible, int count, QSize tile, QSize panel, int queryMode)
{
    TilePlacement result;
    result.positions = QList<QPoint>(count, QPoint(-1, -1));
    result.tileAreaLeft = panel.width() - 155;
    if (visible.isEmpty())
        return result;
    const int w = tile.width();
    const int h = tile.height();
    const int y0 = queryMode == qmSingleText ? (panel.height() - h) / 2 : panel.height() - h;
    int x = panel.width() - w;
    int y = y0;
    int column = 0;
    for (qsizetype i = visible.size() - 1; i >= 0; --i) {
        const int k = visible.at(i);
        if (k >= 0 && k < count)
            result.positions[k] = QPoint(x, y);
        y -= h + 2;
        if (y < 35) {
            ++column;
            y = y0 - 7 * column;
            x -= 12;
        }
    }
    result.tileAreaLeft = x - 5;
    return result;
}

QList<QPoint> singleQuestionGrid(const QList<int> &visible, int count, QPoint origin, QSize tile, bool randomSlots,
                                 Random &random)
{
    QList<QPoint> positions(count, QPoint(-1, -1));
    const int k = int(qMin<qsizetype>(visible.size(), 6));
    QList<bool> taken(k + 1, false);
    int nextSlot = 1;
    for (qsizetype i = 0; i < visible.size(); ++i) {
        int slot;
        if (i >= k)
            break; // never more than six answers
        if (randomSlots) {
            QList<int> free;
            for (int j = 1; j <= k; ++j)
                if (!taken[j])
                    free.append(j);
            slot = free.at(random.below(int(free.size())));
        } else {
            slot = nextSlot++;
        }
        taken[slot] = true;
        const int index = visible.at(i);
        if (index >= 0 && index < count)
            positions[index] = origin + QPoint(((slot - 1) % 3) * (tile.width() + 20), ((slot - 1) / 3) * (tile.height() + 20));
    }
    return positions;
}

namespace {

bool contains(const RectD &box, double x, double y)
{
    return box.left <= x && x < box.right && box.top <= y && y < box.bottom;
}

} // namespace

bool isOpenTarget(const DocObject &o, const ObjectMark &mark, int currentQuestionNo)
{
    if (o.Typ != otLabel && o.Typ != otGap && o.Typ != otAnswer)
        return false;
    if (mark.displayNo < 0 || mark.coverState != csOpenQuestion)
        return false;
    return o.Typ != otAnswer || o.FrageNummer == currentQuestionNo;
}

int quizHitTest(const TopicDocument &document, const ObjectMarks &marks, const CardLayout &layout, const RectD &tile,
                int currentQuestionNo, int onlyObject)
{
    // It runs on every mouse move of a drag: the boxes are looked at first (one array, read
    // in order), the object and its mark only where a box is hit.
    const DocObject *objects = document.objects.constData();
    const ObjectMark *mark = marks.constData();
    const ObjectBox *box = layout.boxes().constData();
    const qsizetype n = qMin(qMin(document.objects.size(), marks.size()), layout.size());
    auto candidate = [&](qsizetype i) {
        return (onlyObject < 0 || i == onlyObject) && isOpenTarget(objects[i], mark[i], currentQuestionNo);
    };
    const double middle = (tile.top + tile.bottom) / 2;
    for (qsizetype i = 0; i < n; ++i)
        if (contains(box[i].hitBox, tile.left, middle) && candidate(i))
            return int(i);
    for (qsizetype i = 0; i < n; ++i) {
        const RectD &b = box[i].hitBox;
        if ((contains(b, tile.left, tile.top) || contains(b, tile.right, tile.top) || contains(b, tile.left, tile.bottom)
             || contains(b, tile.right, tile.bottom) || contains(tile, b.left, b.top) || contains(tile, b.right, b.top)
             || contains(tile, b.left, b.bottom) || contains(tile, b.right, b.bottom))
            && candidate(i))
            return int(i);
    }
    return -1;
}

QList<KeyboardTarget> keyboardTargets(const TopicDocument &document, const ObjectMarks &marks, int currentQuestionNo,
                                      int onlyObject)
{
    QList<int> objects;
    const qsizetype n = qMin(document.objects.size(), marks.size());
    for (qsizetype i = 0; i < n; ++i)
        if ((onlyObject < 0 || i == onlyObject) && isOpenTarget(document.objects.at(i), marks.at(i), currentQuestionNo))
            objects.append(int(i));
    std::stable_sort(objects.begin(), objects.end(), [&](int a, int b) {
        const qint32 na = marks.at(a).displayNo;
        const qint32 nb = marks.at(b).displayNo;
        return (na > 0 ? na : INT_MAX) < (nb > 0 ? nb : INT_MAX);
    });
    QList<KeyboardTarget> targets;
    targets.reserve(objects.size());
    for (int i : std::as_const(objects))
        targets.append({i, document.displayNumberText(marks.at(i).displayNo)});
    return targets;
}

int targetByNumber(const QList<KeyboardTarget> &targets, const QString &typed)
{
    const QString wanted = typed.trimmed();
    if (wanted.isEmpty() || wanted == QLatin1String("?"))
        return -1;
    for (const KeyboardTarget &t : targets)
        if (t.number.compare(wanted, Qt::CaseInsensitive) == 0)
            return t.object;
    return -1;
}

QList<QPoint> flightPath(QPoint from, QPoint home)
{
    const double dx = home.x() - from.x();
    const double dy = home.y() - from.y();
    const int steps = nearest(0.5 * std::sqrt(dx * dx + dy * dy));
    QList<QPoint> path;
    path.reserve(steps);
    for (int i = 1; i <= steps; ++i)
        path.append(QPoint(from.x() + nearest(dx * i / steps), from.y() + nearest(dy * i / steps)));
    return path;
}

QPoint clampIntoPanel(QRect &tile, QSize panel)
{
    const QPoint before = tile.topLeft();
    if (tile.right() >= panel.width())
        tile.moveRight(panel.width() - 1);
    if (tile.bottom() >= panel.height())
        tile.moveBottom(panel.height() - 1);
    if (tile.left() < 0)
        tile.moveLeft(0);
    if (tile.top() < 0)
        tile.moveTop(0);
    return tile.topLeft() - before;
}

} // namespace kapitolo
