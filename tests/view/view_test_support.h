#pragma once

#include "view/view_state.h"

#include <QImage>
#include <QRect>
#include <QStringList>

namespace kapitolo::test {

// Records what the learning view asks of the main window.
class FakeViewHost : public LearningViewHost
{
public:
    QuizDisplay quiz;
    int repaints = 0;
    int panelRedraws = 0;
    int controlChanges = 0;
    int keywordHides = 0;
    int keywordClears = 0;
    QList<QPoint> keywordShownAt;
    QList<QRect> repaintedAreas;
    QRect marker;
    bool markerVisible = false;
    CardCursor cursor = CardCursor::Default;
    bool shellSucceeds = true;
    QStringList shellOpened;
    QStringList infoTexts;
    DocumentLinkFolders folders;
    QStringList topicFolders;
    QStringList linkedDocuments;

    QuizDisplay quizDisplay() const override { return quiz; }
    void repaintCard() override { ++repaints; }
    void redrawQuizPanel() override { ++panelRedraws; }
    void placePositionMarker(const QRect &rect, bool visible) override
    {
        marker = rect;
        markerVisible = visible;
    }
    void setCardCursor(CardCursor c) override { cursor = c; }
    void viewControlsChanged() override { ++controlChanges; }
    void hideKeywordEdit() override { ++keywordHides; }
    void showKeywordEdit(const QPoint &click) override { keywordShownAt.append(click); }
    void clearHiddenKeywordEdit() override { ++keywordClears; }
    void repaintCardArea(const QRect &rect) override { repaintedAreas.append(rect); }
    bool shellOpen(const QString &target) override
    {
        shellOpened.append(target);
        return shellSucceeds;
    }
    void showInfoText(const QString &caption) override { infoTexts.append(caption); }
    DocumentLinkFolders documentLinkFolders() const override { return folders; }
    void openTopicFolder(const QString &folder) override { topicFolders.append(folder); }
    void openLinkedDocument(const QString &path) override { linkedDocuments.append(path); }
};

// The smallest rectangle holding every pixel that differs from the colour (empty when none).
inline QRect inkBounds(const QImage &image, const QRect &area, QRgb background)
{
    QRect bounds;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Horizontal bands of rows that hold ink: one per display line of text.
inline QList<QPair<int, int>> inkBands(const QImage &image, QRgb background)
{
    QList<QPair<int, int>> bands;
    int start = -1;
    for (int y = 0; y <= image.height(); ++y) {
        bool ink = false;
        for (int x = 0; y < image.height() && x < image.width() && !ink; ++x)
            ink = (image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF);
        if (ink && start < 0)
            start = y;
        if (!ink && start >= 0) {
            bands.append({start, y - 1});
            start = -1;
        }
    }
    return bands;
}

// Pictures match when they have the same size and almost every pixel is within a
// small distance: antialiasing of another FreeType build may move an edge pixel.
inline QString compareImages(const QImage &actualIn, const QImage &expectedIn)
{
    const QImage actual = actualIn.convertToFormat(QImage::Format_RGB32);
    const QImage expected = expectedIn.convertToFormat(QImage::Format_RGB32);
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    qint64 far = 0;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            const int d = qMax(qAbs(qRed(a) - qRed(e)), qMax(qAbs(qGreen(a) - qGreen(e)), qAbs(qBlue(a) - qBlue(e))));
            if (d > 40)
                ++far;
        }
    const qint64 allowed = qint64(actual.width()) * actual.height() / 500; // 0.2 %
    if (far > allowed)
        return QStringLiteral("%1 pixels differ (at most %2 may)").arg(far).arg(allowed);
    return QString();
}

} // namespace kapitolo::test
