#include "network/class_report.h"

#include "document/topic_document.h"
#include "network/control_board.h"
#include "network/item_table.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>

#include <functional>

namespace kapitolo {

namespace {

constexpr int kMargin = 30;
constexpr int kWidth = kSheetWidth - 2 * kMargin;
constexpr int kFooter = 50; // room kept for the page number
constexpr int kRowHeight = 26;

QFont reportFont(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

struct Column {
    QString title;
    int width;
    bool right;
};

// Lays the report out page by page: every element asks for its height and moves to a
// new page when the rest of the page is too small.
class ReportWriter
{
public:
    explicit ReportWriter(QList<SheetPicture> &pages)
        : m_pages(pages)
    {
        newPage();
    }
    ~ReportWriter() { finish(); }

    QPainter &painter() { return *m_painter; }
    int y() const { return m_y; }
    int room() const { return kSheetHeight - kFooter - m_y; }

    void ensureRoom(int height)
    {
        if (room() < height)
            newPage();
    }

    void line(const QString &text, const QFont &font, int height)
    {
        ensureRoom(height);
        m_painter->setFont(font);
        m_painter->setPen(Qt::black);
        m_painter->drawText(QRect(kMargin, m_y, kWidth, height), Qt::AlignLeft | Qt::AlignVCenter,
                            QFontMetrics(font, m_recorder.get()).elidedText(text, Qt::ElideRight, kWidth));
        m_y += height;
    }

    void gap(int height) { m_y += height; }

    // A table: the header again on every page it continues on.
    void table(const QList<Column> &columns, int rows, const std::function<QString(int, int)> &cell)
    {
        const QFont headerFont = reportFont(13, true);
        const QFont bodyFont = reportFont(15);
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

    void image(const QImage &image)
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

private:
    void newPage()
    {
        finish();
        m_pages.append(SheetPicture());
        m_recorder = std::make_unique<SheetRecorder>(m_pages.last());
        m_painter = std::make_unique<QPainter>(m_recorder.get());
        m_y = kMargin;
    }
    void finish()
    {
        if (m_painter)
            m_painter->end();
        m_painter.reset();
        m_recorder.reset();
    }

    QList<SheetPicture> &m_pages;
    std::unique_ptr<SheetRecorder> m_recorder;
    std::unique_ptr<QPainter> m_painter;
    int m_y = 0;
};

void addPageNumbers(QList<SheetPicture> &pages)
{
    const QFont font = reportFont(13);
    for (int i = 0; i < pages.size(); ++i) {
        SheetRecorder recorder(pages[i]);
        QPainter painter(&recorder);
        painter.setFont(font);
        painter.setPen(QColor(90, 90, 90));
        painter.drawText(QRect(kMargin, kSheetHeight - kFooter + 10, kWidth, 30), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Seite %1 von %2").arg(i + 1).arg(pages.size()));
    }
}

} // namespace

QList<SheetPicture> buildClassReport(const ClassReport &report)
{
    QList<SheetPicture> pages;
    if (!report.board || !report.document)
        return pages;
    const ControlBoard &board = *report.board;
    {
        ReportWriter out(pages);
        out.line(QStringLiteral("Klassenbericht der Netzwerk-Übung"), reportFont(30, true), 48);
        const QString file = QFileInfo(report.fileName).fileName();
        out.line(QStringLiteral("Übung: ") + report.title + (file.isEmpty() ? QString() : QStringLiteral(" (") + file + QLatin1Char(')')),
                 reportFont(17), kRowHeight + 4);
        out.line(QStringLiteral("Datum: ") + report.when.toString(QStringLiteral("dd.MM.yyyy, hh:mm 'Uhr'")),
                 reportFont(17), kRowHeight + 4);
        out.line(QStringLiteral("Kanal: ") + report.channel, reportFont(17), kRowHeight + 4);
        out.line(board.countsText(), reportFont(17), kRowHeight + 4);
        out.gap(16);

        out.line(QStringLiteral("Teilnehmer"), reportFont(20, true), 36);
        const QList<int> pupilColumns{ControlBoard::ColComputer,   ControlBoard::ColUser,
                                      ControlBoard::ColState,      ControlBoard::ColCorrect,
                                      ControlBoard::ColFailed,     ControlBoard::ColOpen,
                                      ControlBoard::ColSuccessRate, ControlBoard::ColTotalPerformance,
                                      ControlBoard::ColGrade,      ControlBoard::ColClock};
        const int pupilWidths[] = {120, 130, 80, 70, 100, 55, 105, 125, 50, 106};
        QList<Column> columns;
        for (int i = 0; i < pupilColumns.size(); ++i)
            columns.append({ControlBoard::columnTitle(pupilColumns.at(i)), pupilWidths[i], i >= 3});
        out.table(columns, board.joinedCount(),
                  [&](int row, int column) { return board.cellText(row, pupilColumns.at(column)); });

        out.line(QStringLiteral("Aufgaben, die schwersten zuerst"), reportFont(20, true), 36);
        const QList<ItemFigures> items = board.items().rows();
        if (items.isEmpty()) {
            out.line(QStringLiteral("Noch keine Antworten."), reportFont(15), kRowHeight);
        } else {
            const int itemWidths[] = {371, 100, 130, 80, 110, 150};
            QList<Column> itemColumns;
            for (int c = 0; c < ItemTableModel::ColumnCount; ++c)
                itemColumns.append({ItemTableModel::columnTitle(c), itemWidths[c], c > 0});
            out.table(itemColumns, int(items.size()), [&](int row, int column) -> QString {
                const ItemFigures &f = items.at(row);
                switch (column) {
                case ItemTableModel::ColTask: return itemTaskText(*report.document, f.object);
                case ItemTableModel::ColAnswered: return QString::number(f.answeredBy);
                case ItemTableModel::ColRightFirst: return QString::number(f.rightFirst);
                case ItemTableModel::ColSolved: return QString::number(f.solved);
                case ItemTableModel::ColFailed: return QString::number(f.failedAttempts);
                default: return rateText(f.rate());
                }
            });
        }
        if (!report.markedCard.isNull()) {
            out.ensureRoom(400);
            out.line(QStringLiteral("Die Karte: Quote beim ersten Versuch"), reportFont(20, true), 36);
            out.image(report.markedCard);
        }
    }
    addPageNumbers(pages);
    return pages;
}

} // namespace kapitolo
