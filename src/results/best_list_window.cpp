#include "results/best_list_window.h"

#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/save_path.h"
#include "platform/nearest.h"
#include "platform/services.h"
#include "quiz/protocol.h"
#include "quiz/protocol_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace kapitolo {

namespace {

constexpr int kRowHeight = 19;

Qt::Alignment cellAlignment(int alignment)
{
    if (alignment < 0)
        return Qt::AlignLeft | Qt::AlignVCenter;
    if (alignment > 0)
        return Qt::AlignRight | Qt::AlignVCenter;
    return Qt::AlignHCenter | Qt::AlignVCenter;
}

} // namespace

TBestListForm::TBestListForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_fileDialogs(fileDialogs)
{
    setObjectName(QStringLiteral("TBestListForm"));
    setWindowTitle(QStringLiteral("Bestenliste"));

    const QList<int> widths = bestListColumnWidths();
    Grid1 = new QTableWidget(1, int(widths.size()), this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setMinimumSectionSize(kRowHeight);
    Grid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1->horizontalHeader()->setMinimumSectionSize(10);
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Grid1->horizontalHeader()->setFixedHeight(kRowHeight);
    Grid1->horizontalHeader()->setHighlightSections(false);
    Grid1->setHorizontalHeaderLabels(bestListHeader());

    HinweisLab = new QLabel(QStringLiteral("Teil-Wiederholungen werden nicht berücksichtigt."), this);
    HinweisLab->setObjectName(QStringLiteral("HinweisLab"));

    auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    DruckBtn = button(QStringLiteral("Drucken..."), "DruckBtn");
    SaveBtn = button(QStringLiteral("Speichern..."), "SaveBtn");
    ClipBtn = button(QStringLiteral("In Zwischenablage"), "ClipBtn");
    CloseBtn = button(QStringLiteral("Schließen"), "CloseBtn");
    CloseBtn->setDefault(true);
    connect(DruckBtn, &QPushButton::clicked, this, &TBestListForm::DruckBtnClick);
    connect(SaveBtn, &QPushButton::clicked, this, &TBestListForm::SaveBtnClick);
    connect(ClipBtn, &QPushButton::clicked, this, &TBestListForm::ClipBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(DruckBtn);
    buttons->addWidget(SaveBtn);
    buttons->addWidget(ClipBtn);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Grid1, 1);
    layout->addWidget(HinweisLab);
    layout->addLayout(buttons);

    ShowList(QString(), BestList());
}

void TBestListForm::fitColumns()
{
    // The designed widths are for the original's small dialog font: a column takes
    // more where its header or a value needs it, so that nothing is cut ("Zeit (Min:Sek)").
    const QList<int> designed = bestListColumnWidths();
    QHeaderView *header = Grid1->horizontalHeader();
    int total = 0;
    for (int c = 0; c < Grid1->columnCount(); ++c) {
        const QAbstractItemView *view = Grid1; // the table view keeps the measure protected
        const int width = std::max({designed.value(c), header->sectionSizeHint(c), view->sizeHintForColumn(c)});
        Grid1->setColumnWidth(c, width);
        total += width;
    }
    // The dialog takes the grid's width, and keeps it, as far as the screen allows.
    const QMargins margins = layout()->contentsMargins();
    int width = total + 2 * Grid1->frameWidth() + Grid1->verticalScrollBar()->sizeHint().width() + 2 + margins.left()
        + margins.right();
    if (const QScreen *s = screen())
        width = qMin(width, s->availableGeometry().width());
    setFixedSize(width, 420);
}

void TBestListForm::ShowList(const QString &title, const BestList &list)
{
    setWindowTitle(QStringLiteral("Bestenliste - ") + title);
    const QList<QStringList> rows = bestListRows(list);
    const QList<int> alignments = bestListColumnAlignments();
    Grid1->clearContents();
    Grid1->setRowCount(int(rows.size() - 1));
    for (int r = 1; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            auto *item = new QTableWidgetItem(rows.at(r).at(c));
            item->setTextAlignment(cellAlignment(alignments.value(c, -1)));
            Grid1->setItem(r - 1, c, item);
        }
    }
    fitColumns();
    Grid1->scrollToTop();
}

QList<QStringList> TBestListForm::gridRows() const
{
    QList<QStringList> rows;
    QStringList header;
    for (int c = 0; c < Grid1->columnCount(); ++c)
        header << Grid1->horizontalHeaderItem(c)->text();
    rows << header;
    for (int r = 0; r < Grid1->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < Grid1->columnCount(); ++c) {
            const QTableWidgetItem *item = Grid1->item(r, c);
            row << (item ? item->text() : QString());
        }
        rows << row;
    }
    return rows;
}

QList<int> TBestListForm::gridColumnWidths() const
{
    QList<int> widths;
    for (int c = 0; c < Grid1->columnCount(); ++c)
        widths << Grid1->columnWidth(c);
    return widths;
}

QString TBestListForm::gridText() const
{
    return bestListText(gridRows());
}

void TBestListForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CloseBtn->setFocus();
}

bool TBestListForm::SaveToFile(const QString &path)
{
    // Text files are Windows-1252, like every file the program writes.
    if (!writeFileAtomically(path, toCp1252(gridText()), true)) {
        ShowWriteError(m_messages, path);
        return false;
    }
    return true;
}

void TBestListForm::SaveBtnClick()
{
    const QString path = askSaveFileName(m_fileDialogs, m_messages, QStringLiteral("Bestenliste in Datei speichern"),
                                         m_saveFolder, QStringLiteral("Textdatei (*.txt)|*.txt|Alle Dateien (*.*)|*.*"),
                                         QStringLiteral("txt"));
    if (!path.isEmpty() && SaveToFile(path))
        m_saveFolder = QFileInfo(path).absolutePath() + QLatin1Char('/');
}

void TBestListForm::ClipBtnClick()
{
    QApplication::clipboard()->setText(gridText());
}

void TBestListForm::DruckBtnClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer.setDocName(windowTitle());
    printBestList(printer, gridRows(), gridColumnWidths(), bestListColumnAlignments());
}

BestListPrintLayout bestListPrintLayout(int pageWidth, int pageHeight, int offsetX, int offsetY,
                                        const QList<int> &columnWidths)
{
    BestListPrintLayout layout;
    constexpr int margin = 150; // 15 mm
    layout.leftMargin = qMax(0, margin - offsetX);
    layout.topMargin = qMax(0, margin - offsetY);
    layout.pageHeight = pageHeight;
    layout.usableWidth = qMax(1, pageWidth - layout.leftMargin - margin);
    const qint64 sum = qMax<qint64>(1, std::accumulate(columnWidths.begin(), columnWidths.end(), qint64(0)));
    layout.fontHeight = qMax(1, qMin(40, nearest(20000.0 * layout.usableWidth / (double(sum) * 1800.0))));
    int x = layout.leftMargin;
    layout.boundaries << x;
    for (int width : columnWidths) {
        x += nearest(double(width) / double(sum) * layout.usableWidth);
        layout.boundaries << x;
    }
    return layout;
}

void printBestList(QPrinter &printer, const QList<QStringList> &rows, const QList<int> &columnWidths,
                   const QList<int> &alignments)
{
    // The painter's origin is the printable area's corner, as on a printer canvas; the
    // margins are measured from the paper's edge, hence the offset.
    printer.setFullPage(false);
    const QRectF paper = printer.paperRect(QPrinter::Millimeter);
    const QRectF page = printer.pageRect(QPrinter::Millimeter);
    const int pageWidth = nearest(page.width() * 10);
    const int pageHeight = nearest(page.height() * 10);
    const int offsetX = nearest((page.left() - paper.left()) * 10);
    const int offsetY = nearest((page.top() - paper.top()) * 10);
    const BestListPrintLayout layout = bestListPrintLayout(pageWidth, pageHeight, offsetX, offsetY, columnWidths);

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QRect device = printer.pageRect(QPrinter::DevicePixel).toRect();
    painter.setViewport(0, 0, device.width(), device.height());
    painter.setWindow(0, 0, pageWidth, pageHeight);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(layout.fontHeight);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int lineHeight = qMax(1, painter.fontMetrics().height());
    const int bottomLimit = pageHeight - 300;

    int y = layout.topMargin;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (y + lineHeight > bottomLimit && y > layout.topMargin) {
            printer.newPage();
            y = layout.topMargin;
        }
        const QStringList &row = rows.at(r);
        for (int c = 0; c + 1 < layout.boundaries.size() && c < row.size(); ++c) {
            const QRect cell(layout.boundaries.at(c), y, layout.boundaries.at(c + 1) - layout.boundaries.at(c),
                             lineHeight);
            const int alignment = r == 0 ? -1 : alignments.value(c, -1);
            painter.save();
            painter.setClipRect(cell);
            painter.drawText(cell, int(cellAlignment(alignment)) | Qt::TextSingleLine, row.at(c));
            painter.restore();
        }
        y += lineHeight;
        if (r == 0) {
            painter.save();
            painter.setPen(QPen(Qt::black, 2));
            painter.drawLine(layout.boundaries.first(), y, layout.boundaries.last(), y);
            painter.restore();
        }
    }
    painter.end();
}

} // namespace kapitolo
