#include "network/report_writer.h"

#include "sharing/sheet_picture.h"

#include <QFontMetrics>

namespace kapitolo::reporting {

QFont font(int pixels, bool bold)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

Writer::Writer(QList<SheetPicture> &pages)
    : m_pages(pages)
{
    newPage();
}

Writer::~Writer()
{
    finish();
}

void Writer::ensureRoom(int height)
{
    if (room() < height)
        newPage();
}

void Writer::line(const QString &text, const QFont &font, int height)
{
    ensureRoom(height);
    m_painter->setFont(font);
    m_painter->setPen(Qt::black);
    m_painter->drawText(QRect(kMargin, m_y, kWidth, height), Qt::AlignLeft | Qt::AlignVCenter,
                        QFontMetrics(font, m_recorder.get()).elidedText(text, Qt::ElideRight, kWidth));
    m_y += height;
}

void Writer::table(const QList<Column> &columns, int rows, const std::function<QString(int, int)> &cell)
{
    const QFont headerFont = font(13, true);
    const QFont bodyFont = font(15);
    const int headerHeight = 2 * kRowHeight;
    auto header = [&] {
        ensureRoom(headerHeight + kRowHeight);
        m_painter->setPen(QPen(Qt::black, 1));
        m_painter->setBrush(QColor(225, 225, 225));
        m_painter->drawRect(QRect(kMargin, m_y, kWidth, headerHeight));
        m_painter->setFont(headerFont);
        int x = kMargin;
        for (const Column &c : columns) {
            m_painter->drawText(QRect(x + 4, m_y, c.width - 8, headerHeight),
                                Qt::TextWordWrap | Qt::AlignVCenter | (c.right ? Qt::AlignRight : Qt::AlignLeft),
                                c.title);
            x += c.width;
        }
        m_y += headerHeight;
    };
    header();
    for (int r = 0; r < rows; ++r) {
        if (room() < kRowHeight) {
            newPage();
            header();
        }
        m_painter->setPen(QPen(QColor(160, 160, 160), 1));
        m_painter->drawLine(kMargin, m_y + kRowHeight, kMargin + kWidth, m_y + kRowHeight);
        m_painter->setPen(Qt::black);
        m_painter->setFont(bodyFont);
        const QFontMetrics metrics(bodyFont, m_recorder.get());
        int x = kMargin;
        for (int c = 0; c < columns.size(); ++c) {
            const Column &column = columns.at(c);
            m_painter->drawText(QRect(x + 4, m_y, column.width - 8, kRowHeight),
                                Qt::AlignVCenter | (column.right ? Qt::AlignRight : Qt::AlignLeft),
                                metrics.elidedText(cell(r, c), Qt::ElideRight, column.width - 8));
            x += column.width;
        }
        m_y += kRowHeight;
    }
    m_y += kRowHeight / 2;
}

void Writer::image(const QImage &image)
{
    if (image.isNull())
        return;
    QSize size = image.size().scaled(kWidth, kSheetHeight - kFooter - 2 * kMargin, Qt::KeepAspectRatio);
    ensureRoom(size.height());
    if (room() < size.height())
        size = image.size().scaled(kWidth, room(), Qt::KeepAspectRatio);
    m_painter->drawImage(QRect(QPoint(kMargin + (kWidth - size.width()) / 2, m_y), size), image);
    m_y += size.height();
}

void Writer::newPage()
{
    finish();
    m_pages.append(SheetPicture());
    m_recorder = std::make_unique<SheetRecorder>(m_pages.last());
    m_painter = std::make_unique<QPainter>(m_recorder.get());
    m_y = kMargin;
}

void Writer::finish()
{
    if (m_painter)
        m_painter->end();
    m_painter.reset();
    m_recorder.reset();
}

void addPageNumbers(QList<SheetPicture> &pages)
{
    const QFont pageFont = font(13);
    for (int i = 0; i < pages.size(); ++i) {
        SheetRecorder recorder(pages[i]);
        QPainter painter(&recorder);
        painter.setFont(pageFont);
        painter.setPen(QColor(90, 90, 90));
        painter.drawText(QRect(kMargin, kSheetHeight - kFooter + 10, kWidth, 30), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Seite %1 von %2").arg(i + 1).arg(pages.size()));
    }
}

} // namespace kapitolo::reporting
