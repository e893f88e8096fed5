#include "sharing/sheet_print_dialog.h"

#include "platform/german.h"
#include "platform/messages.h"
#include "platform/wait_cursor.h"
#include "view/view_output.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

QDoubleSpinBox *centimetreField(QWidget *parent, const char *name, double value)
{
    auto *field = new QDoubleSpinBox(parent);
    field->setObjectName(QLatin1String(name));
    field->setLocale(germanLocale());
    field->setDecimals(1);
    field->setRange(0, 99.9);
    field->setSingleStep(0.1);
    field->setSuffix(QStringLiteral(" cm"));
    field->setValue(value);
    field->setKeyboardTracking(true);
    return field;
}

} // namespace

TArbeitsblattDruckForm::TArbeitsblattDruckForm(Messages &messages, SaveFileDialog &saveDialog, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_saveDialog(saveDialog)
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("TArbeitsblattDruckForm"));
    setWindowTitle(QStringLiteral("Arbeitsblatt drucken"));
    const SheetPrintArea defaults;

    auto *layout = new QVBoxLayout(this);
    auto *place = new QGroupBox(QStringLiteral(" Position und Größe "), this);
    auto *form = new QFormLayout(place);
    m_left = centimetreField(place, "LinksEdit", defaults.leftCm);
    m_top = centimetreField(place, "ObenEdit", defaults.topCm);
    m_width = centimetreField(place, "BreiteEdit", defaults.widthCm);
    m_height = centimetreField(place, "HoeheEdit", defaults.heightCm);
    m_width->setMinimum(1);
    m_height->setMinimum(1);
    auto addRow = [&](const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, place);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    addRow(QStringLiteral("&Linker Rand:"), m_left);
    addRow(QStringLiteral("&Oberer Rand:"), m_top);
    addRow(QStringLiteral("&Breite:"), m_width);
    addRow(QStringLiteral("&Höhe:"), m_height);
    m_keepRatio = new QCheckBox(QStringLiteral("Korrektes &Seitenverhältnis"), place);
    m_keepRatio->setObjectName(QStringLiteral("SeitenverhaeltnisCheck"));
    m_keepRatio->setChecked(defaults.keepRatio);
    form->addRow(m_keepRatio);
    layout->addWidget(place);

    auto *printerGroup = new QGroupBox(QStringLiteral(" Drucker "), this);
    auto *printerRow = new QVBoxLayout(printerGroup);
    m_printerLabel = new QLabel(printerGroup);
    m_printerLabel->setObjectName(QStringLiteral("DruckerLab"));
    m_printerLabel->setWordWrap(true);
    printerRow->addWidget(m_printerLabel);
    layout->addWidget(printerGroup);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *print = buttons->addButton(QStringLiteral("Drucken"), QDialogButtonBox::AcceptRole);
    print->setObjectName(QStringLiteral("DruckenBtn"));
    print->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("AbbrechenBtn"));
    QPushButton *setup = buttons->addButton(QStringLiteral("Einrichten..."), QDialogButtonBox::ActionRole);
    setup->setObjectName(QStringLiteral("EinrichtenBtn"));
    layout->addWidget(buttons);
    connect(print, &QPushButton::clicked, this, &TArbeitsblattDruckForm::DruckenClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(setup, &QPushButton::clicked, this, &TArbeitsblattDruckForm::EinrichtenClick);

    connect(m_width, &QDoubleSpinBox::valueChanged, this, &TArbeitsblattDruckForm::widthChanged);
    connect(m_height, &QDoubleSpinBox::valueChanged, this, &TArbeitsblattDruckForm::heightChanged);
    connect(m_keepRatio, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            widthChanged();
    });

    // Without an installed printer the sheet goes into a PDF file, on A4 as a German
    // school prints.
    if (QPrinterInfo::defaultPrinter().isNull()) {
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
    }
    m_printer->setFullPage(true);
    updatePrinterText();
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
}

TArbeitsblattDruckForm::~TArbeitsblattDruckForm() = default;

void TArbeitsblattDruckForm::widthChanged()
{
    if (m_coupling || !m_keepRatio->isChecked())
        return;
    m_coupling = true;
    m_height->setValue(kapitolo::heightForWidth(m_width->value(), m_ratio));
    m_coupling = false;
}

void TArbeitsblattDruckForm::heightChanged()
{
    if (m_coupling || !m_keepRatio->isChecked())
        return;
    m_coupling = true;
    m_width->setValue(widthForHeight(m_height->value(), m_ratio));
    m_coupling = false;
}

SheetPrintArea TArbeitsblattDruckForm::area() const
{
    return SheetPrintArea{m_left->value(), m_top->value(), m_width->value(), m_height->value(),
                          m_keepRatio->isChecked()};
}

void TArbeitsblattDruckForm::setArea(const SheetPrintArea &area)
{
    m_coupling = true;
    m_keepRatio->setChecked(area.keepRatio);
    m_left->setValue(area.leftCm);
    m_top->setValue(area.topCm);
    m_width->setValue(area.widthCm);
    m_height->setValue(area.heightCm);
    m_coupling = false;
}

QString TArbeitsblattDruckForm::printerText() const
{
    if (m_printer->outputFormat() == QPrinter::PdfFormat) {
        const QString file = m_printer->outputFileName();
        return file.isEmpty() ? QStringLiteral("Ausgabe in eine PDF-Datei (kein Drucker eingerichtet)")
                              : QStringLiteral("Ausgabe in die PDF-Datei \"") + file + QLatin1Char('"');
    }
    return m_printer->printerName();
}

void TArbeitsblattDruckForm::updatePrinterText()
{
    m_printerLabel->setText(printerText());
}

void TArbeitsblattDruckForm::prepare(const SheetPicture &sheet, double ratio)
{
    m_sheet = &sheet;
    m_ratio = ratio;
    widthChanged();
    updatePrinterText();
}

int TArbeitsblattDruckForm::Execute(const SheetPicture &sheet, double ratio)
{
    prepare(sheet, ratio);
    const int result = exec();
    m_sheet = nullptr;
    return result;
}

void TArbeitsblattDruckForm::EinrichtenClick()
{
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Drucker einrichten"));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.exec();
    m_printer->setFullPage(true);
    updatePrinterText();
}

void TArbeitsblattDruckForm::DruckenClick()
{
    if (!m_sheet)
        return;
    const SheetPrintArea place = area();
    const QSizeF paper = m_printer->pageLayout().fullRect(QPageLayout::Millimeter).size() / 10.0;
    if (!sheetPrintFits(place, paper)
        && !m_messages.confirm(QStringLiteral("Das Arbeitsblatt ragt mit diesen Maßen über den Rand des Papiers "
                                              "hinaus.\r\nTrotzdem drucken?")))
        return;
    bool toFile = false;
    if (m_printer->outputFormat() == QPrinter::PdfFormat && m_printer->outputFileName().isEmpty()) {
        SaveDialogOptions options;
        options.title = QStringLiteral("Arbeitsblatt als PDF-Datei drucken");
        options.filter = QStringLiteral("PDF-Dokument (*.pdf)|*.pdf");
        options.defaultExtension = QStringLiteral("pdf");
        const QString file = m_saveDialog.getSaveFileName(options);
        if (file.isEmpty())
            return;
        m_printer->setOutputFileName(file);
        toFile = true;
    }
    bool printed = false;
    {
        WaitCursorScope wait;
        m_printer->setDocName(QStringLiteral("Arbeitsblatt"));
        QPainter painter;
        if (painter.begin(m_printer.get())) {
            paintSheetOnPage(*m_sheet, painter, place, m_printer->logicalDpiX(), m_printer->logicalDpiY());
            printed = painter.end();
        }
    }
    const QString file = m_printer->outputFileName();
    // A file asked for this time only: the next print asks again.
    if (toFile)
        m_printer->setOutputFileName(QString());
    if (!printed) {
        if (m_printer->outputFormat() == QPrinter::PdfFormat)
            ShowWriteError(m_messages, file);
        else
            m_messages.error(QStringLiteral("Das Arbeitsblatt konnte nicht gedruckt werden (Drucker \"")
                             + m_printer->printerName() + QStringLiteral("\")."));
        return;
    }
    accept();
}

} // namespace kapitolo
