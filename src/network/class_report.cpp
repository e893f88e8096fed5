#include "network/class_report.h"

#include "document/topic_document.h"
#include "network/control_board.h"
#include "network/item_table.h"
#include "network/report_writer.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>

#include <functional>

namespace kapitolo {

QList<SheetPicture> buildClassReport(const ClassReport &report)
{
    QList<SheetPicture> pages;
    if (!report.board || !report.document)
        return pages;
    const ControlBoard &board = *report.board;
    {
        reporting::Writer out(pages);
        out.line(QStringLiteral("Klassenbericht der Netzwerk-Übung"), reporting::font(30, true), 48);
        const QString file = QFileInfo(report.fileName).fileName();
        out.line(QStringLiteral("Übung: ") + report.title + (file.isEmpty() ? QString() : QStringLiteral(" (") + file + QLatin1Char(')')),
                 reporting::font(17), reporting::kRowHeight + 4);
        out.line(QStringLiteral("Datum: ") + report.when.toString(QStringLiteral("dd.MM.yyyy, hh:mm 'Uhr'")),
                 reporting::font(17), reporting::kRowHeight + 4);
        out.line(QStringLiteral("Kanal: ") + report.channel, reporting::font(17), reporting::kRowHeight + 4);
        out.line(board.countsText(), reporting::font(17), reporting::kRowHeight + 4);
        out.gap(16);

        out.line(QStringLiteral("Teilnehmer"), reporting::font(20, true), 36);
        const QList<int> pupilColumns{ControlBoard::ColComputer,   ControlBoard::ColUser,
                                      ControlBoard::ColState,      ControlBoard::ColCorrect,
                                      ControlBoard::ColFailed,     ControlBoard::ColOpen,
                                      ControlBoard::ColSuccessRate, ControlBoard::ColTotalPerformance,
                                      ControlBoard::ColGrade,      ControlBoard::ColClock};
        const int pupilWidths[] = {120, 130, 80, 70, 100, 55, 105, 125, 50, 106};
        QList<reporting::Column> columns;
        for (int i = 0; i < pupilColumns.size(); ++i)
            columns.append({ControlBoard::columnTitle(pupilColumns.at(i)), pupilWidths[i], i >= 3});
        out.table(columns, board.joinedCount(),
                  [&](int row, int column) { return board.cellText(row, pupilColumns.at(column)); });

        out.line(QStringLiteral("Aufgaben, die schwersten zuerst"), reporting::font(20, true), 36);
        const QList<ItemFigures> items = board.items().rows();
        if (items.isEmpty()) {
            out.line(QStringLiteral("Noch keine Antworten."), reporting::font(15), reporting::kRowHeight);
        } else {
            const int itemWidths[] = {371, 100, 130, 80, 110, 150};
            QList<reporting::Column> itemColumns;
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
            out.line(QStringLiteral("Die Karte: Quote beim ersten Versuch"), reporting::font(20, true), 36);
            out.image(report.markedCard);
        }
    }
    reporting::addPageNumbers(pages);
    return pages;
}

} // namespace kapitolo
