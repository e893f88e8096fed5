#pragma once

#include "sharing/sheet_picture.h"
#include "sharing/sheet_print.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QPushButton;

namespace kapitolo {

class Messages;
class SaveFileDialog;

// "Arbeitsblatt drucken": where on the paper the sheet goes, the printer, and printing.
// Width and height follow each other through the sheet's ratio while "Korrektes
// Seitenverhältnis" is checked. Without any printer installed the output is a PDF file.
class TArbeitsblattDruckForm : public QDialog
{
    Q_OBJECT
public:
    TArbeitsblattDruckForm(Messages &messages, SaveFileDialog &saveDialog, QWidget *parent = nullptr);
    ~TArbeitsblattDruckForm() override;

    // Takes the sheet and its width-to-height ratio; the height follows the width
    // when the ratio is kept. Then Execute shows the dialog modally.
    void prepare(const SheetPicture &sheet, double ratio);
    int Execute(const SheetPicture &sheet, double ratio);

    SheetPrintArea area() const;
    void setArea(const SheetPrintArea &area);
    QPrinter &printer() { return *m_printer; }
    // The printer line of the group " Drucker ".
    QString printerText() const;

    // "Drucken": prints and closes; stays open when the user declines or nothing was printed.
    void DruckenClick();
    // "Einrichten...": the printer setup dialog.
    void EinrichtenClick();

private:
    void widthChanged();
    void heightChanged();
    void updatePrinterText();

    Messages &m_messages;
    SaveFileDialog &m_saveDialog;
    std::unique_ptr<QPrinter> m_printer;
    const SheetPicture *m_sheet = nullptr;
    double m_ratio = double(kSheetWidth) / kSheetHeight;
    bool m_coupling = false;
    QDoubleSpinBox *m_left;
    QDoubleSpinBox *m_top;
    QDoubleSpinBox *m_width;
    QDoubleSpinBox *m_height;
    QCheckBox *m_keepRatio;
    QLabel *m_printerLabel;
};

} // namespace kapitolo
