#pragma once

#include "results/best_list.h"

#include <QDialog>

class QLabel;
class QPrinter;
class QPushButton;
class QTableWidget;

namespace kapitolo {

class FileDialogs;
class Messages;

// "Bestenliste - <title>": the ranked list in a grid, with print, save and copy.
class TBestListForm : public QDialog
{
    Q_OBJECT
public:
    TBestListForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent = nullptr);

    // Fills caption and grid from a ranked list (at least one, then empty, row).
    void ShowList(const QString &title, const BestList &list);

    // The grid as rows of cells, header first.
    QList<QStringList> gridRows() const;
    QList<int> gridColumnWidths() const;
    // Rows joined by tabs, each ended by CR LF.
    QString gridText() const;

    void setTextSaveFolder(const QString &folder) { m_saveFolder = folder; }

    void DruckBtnClick();
    void SaveBtnClick();
    void ClipBtnClick();
    bool SaveToFile(const QString &path);

    QTableWidget *Grid1 = nullptr;
    QLabel *HinweisLab = nullptr;
    QPushButton *DruckBtn = nullptr;
    QPushButton *SaveBtn = nullptr;
    QPushButton *ClipBtn = nullptr;
    QPushButton *CloseBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fitColumns();

private:
    Messages &m_messages;
    FileDialogs &m_fileDialogs;
    QString m_saveFolder;
};

// Prints the rows (header first) on a set-up printer, laid out in 0.1 mm: 15 mm margins,
// Arial sized to fit the columns across the usable width in the screen's proportions,
// a 0.2 mm line under the header, a new page 30 mm before the bottom edge.
void printBestList(QPrinter &printer, const QList<QStringList> &rows, const QList<int> &columnWidths,
                   const QList<int> &alignments);

// The print layout's numbers for a page (all in 0.1 mm), for checking and for drawing.
struct BestListPrintLayout {
    int leftMargin = 0;
    int topMargin = 0;
    int usableWidth = 0;
    int fontHeight = 0;
    int pageHeight = 0;
    QList<int> boundaries; // columns + 1 x positions
};
BestListPrintLayout bestListPrintLayout(int pageWidth, int pageHeight, int offsetX, int offsetY,
                                        const QList<int> &columnWidths);

} // namespace kapitolo
