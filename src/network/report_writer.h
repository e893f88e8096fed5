#pragma once

#include "sharing/sheet_picture.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>

#include <functional>
#include <memory>

namespace kapitolo {

// The pages of a teacher's report (the class report, the class history), laid out in
// sheet units so that the worksheets' printing and PDF code serves them.
namespace reporting {

constexpr int kMargin = 30;
constexpr int kWidth = kSheetWidth - 2 * kMargin;
constexpr int kFooter = 50; // room kept for the page number
constexpr int kRowHeight = 26;

QFont font(int pixels, bool bold = false);

struct Column {
    QString title;
    int width;
    bool right;
};

// Lays a report out page by page: every element asks for its height and moves to a new
// page when the rest of the page is too small.
class Writer
{
public:
    explicit Writer(QList<SheetPicture> &pages);
    ~Writer();

    QPainter &painter() { return *m_painter; }
    int y() const { return m_y; }
    int room() const { return kSheetHeight - kFooter - m_y; }

    void ensureRoom(int height);
    void line(const QString &text, const QFont &font, int height);
    void gap(int height) { m_y += height; }
    // A table: the header again on every page it continues on.
    void table(const QList<Column> &columns, int rows, const std::function<QString(int, int)> &cell);
    void image(const QImage &image);

private:
    void newPage();
    void finish();

    QList<SheetPicture> &m_pages;
    std::unique_ptr<SheetRecorder> m_recorder;
    std::unique_ptr<QPainter> m_painter;
    int m_y = 0;
};

// "Seite n von m" at the foot of each page.
void addPageNumbers(QList<SheetPicture> &pages);

} // namespace reporting
} // namespace kapitolo
