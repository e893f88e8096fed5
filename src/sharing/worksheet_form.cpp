#include "sharing/worksheet_form.h"

#include "platform/messages.h"
#include "platform/nearest.h"
#include "platform/wait_cursor.h"
#include "quiz/radio_group.h"
#include "sharing/sheet_output.h"
#include "sharing/sheet_print_dialog.h"
#include "view/view_output_ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kapitolo {

// ------------------------------------------------------------------------------------

SheetImage::SheetImage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ABImg"));
}

void SheetImage::setImage(const QImage &image)
{
    m_image = image;
    m_scaled = QImage();
    update();
}

void SheetImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_image.isNull())
        return;
    // Scaled once per size with area averaging, which keeps thin lines and small text
    // legible where plain interpolation would drop them.
    if (m_scaled.size() != size())
        m_scaled = m_image.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(0, 0, m_scaled);
}

// ------------------------------------------------------------------------------------

SheetPreview::SheetPreview(QWidget *parent)
    : QScrollArea(parent)
    , m_content(new QWidget)
    , m_panel(new QWidget(m_content))
    , m_image(new SheetImage(m_panel))
{
    setObjectName(QStringLiteral("ABScrollBox"));
    setWidget(m_content);
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(20);
    m_panel->setObjectName(QStringLiteral("ABPan"));
    m_panel->setAutoFillBackground(true);
    QPalette white = m_panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_panel->setPalette(white);
    m_panel->installEventFilter(this);
    m_image->installEventFilter(this);
    layoutPanel();
}

void SheetPreview::setImage(const QImage &image)
{
    m_image->setImage(image);
    scrollToTop();
}

void SheetPreview::scrollToTop()
{
    verticalScrollBar()->setValue(0);
}

void SheetPreview::layoutPanel()
{
    const int areaWidth = width();
    const int panelWidth = qMax(41, areaWidth - 40);
    const int panelHeight = nearest((panelWidth - 40) * 1.625 + 40);
    const int contentWidth = qMax(panelWidth, viewport()->width());
    m_content->resize(contentWidth, panelHeight + 16);
    m_panel->setGeometry((contentWidth - panelWidth) / 2, 8, panelWidth, panelHeight);
    m_image->setGeometry(20, 20, panelWidth - 40, panelHeight - 40);
}

void SheetPreview::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    layoutPanel();
    scrollToTop();
}

bool SheetPreview::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_dragging = true;
        m_lastY = nearest(mouse->globalPosition().y());
        m_panel->setCursor(Qt::ClosedHandCursor);
        m_image->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_dragging)
            break;
        // Measured from the last position: where the range is exhausted the start
        // point follows the mouse.
        const int y = nearest(static_cast<QMouseEvent *>(event)->globalPosition().y());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - (y - m_lastY));
        m_lastY = y;
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!m_dragging || static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            break;
        m_dragging = false;
        m_panel->unsetCursor();
        m_image->unsetCursor();
        return true;
    default:
        break;
    }
    return QScrollArea::eventFilter(watched, event);
}

// ------------------------------------------------------------------------------------

TArbeitsblattForm::TArbeitsblattForm(Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_ownSaveDialog(std::make_unique<QtSaveFileDialog>(this))
    , m_saveDialog(m_ownSaveDialog.get())
{
    setObjectName(QStringLiteral("TArbeitsblattForm"));
    setWindowTitle(QStringLiteral("Arbeitsblatt"));

    auto *row = new QHBoxLayout(this);
    auto *side = new QVBoxLayout;
    side->setSpacing(6);
    row->addLayout(side);

    m_modeRadio = new RadioGroup(QStringLiteral(" Was soll erstellt werden "),
                                 {QStringLiteral(" Arbeitsblatt "), QStringLiteral(" Lösungsblatt (komplett) "),
                                  QStringLiteral(" Lösungsblatt (Auflegefolie) ")},
                                 skWorksheet, this);
    m_modeRadio->setObjectName(QStringLiteral("ModeRadio"));
    side->addWidget(m_modeRadio);

    auto *design = new QGroupBox(QStringLiteral(" Gestaltung "), this);
    auto *designColumn = new QVBoxLayout(design);
    m_titelCheck = new QCheckBox(QStringLiteral("Titel des Dokuments verwenden"), design);
    m_titelCheck->setObjectName(QStringLiteral("TitelCheck"));
    m_titelCheck->setChecked(true);
    designColumn->addWidget(m_titelCheck);
    auto *titleLabel = new QLabel(QStringLiteral("Titelzeile (frei lassen, falls nicht gewünscht)"), design);
    designColumn->addWidget(titleLabel);
    m_titelEdit = new QLineEdit(design);
    m_titelEdit->setObjectName(QStringLiteral("TitelEdit"));
    titleLabel->setBuddy(m_titelEdit);
    designColumn->addWidget(m_titelEdit);
    auto *taskLabel = new QLabel(QStringLiteral("Aufgabenstellung"), design);
    designColumn->addWidget(taskLabel);
    m_aufgMemo = new QPlainTextEdit(defaultSheetTask(), design);
    m_aufgMemo->setObjectName(QStringLiteral("AufgMemo"));
    m_aufgMemo->setTabChangesFocus(true);
    m_aufgMemo->setFixedHeight(64);
    taskLabel->setBuddy(m_aufgMemo);
    designColumn->addWidget(m_aufgMemo);
    auto *headerRow = new QHBoxLayout;
    auto makeBox = [&](const char *name, const QString &caption) {
        auto *box = new QCheckBox(caption, design);
        box->setObjectName(QLatin1String(name));
        box->setChecked(true);
        headerRow->addWidget(box);
        return box;
    };
    m_nameBox = makeBox("ABNameBox", QStringLiteral("Name"));
    m_klasseBox = makeBox("ABKlasseBox", QStringLiteral("Klasse"));
    m_datumBox = makeBox("ABDatumBox", QStringLiteral("Datum"));
    headerRow->addStretch(1);
    designColumn->addLayout(headerRow);
    m_textvorgabeCheck = new QCheckBox(QStringLiteral("Antworttexte vorgeben"), design);
    m_textvorgabeCheck->setObjectName(QStringLiteral("TextvorgabeCheck"));
    m_textvorgabeCheck->setChecked(true);
    designColumn->addWidget(m_textvorgabeCheck);
    side->addWidget(design);

    m_typ2Pan = new QWidget(this);
    m_typ2Pan->setObjectName(QStringLiteral("Typ2Pan"));
    auto *questionGrid = new QVBoxLayout(m_typ2Pan);
    questionGrid->setContentsMargins(0, 0, 0, 0);
    auto *questionRow = new QHBoxLayout;
    auto *fromLabel = new QLabel(QStringLiteral("Ab Frage Nr."), m_typ2Pan);
    m_abFrageEdit = new QSpinBox(m_typ2Pan);
    m_abFrageEdit->setObjectName(QStringLiteral("AbFrageEdit"));
    m_abFrageEdit->setRange(1, 99999);
    m_abFrageEdit->setValue(1);
    fromLabel->setBuddy(m_abFrageEdit);
    questionRow->addWidget(fromLabel);
    questionRow->addWidget(m_abFrageEdit);
    questionRow->addStretch(1);
    questionGrid->addLayout(questionRow);
    questionGrid->addWidget(new QLabel(QStringLiteral("(falls nicht alles auf eine Seite passt)"), m_typ2Pan));
    side->addWidget(m_typ2Pan);

    auto *note = new QLabel(QStringLiteral("Um das handschriftliche Ausfüllen zu erleichtern, werden die Textkästchen "
                                           "im Arbeitsblatt größer als in der Lernansicht dargestellt."),
                            this);
    note->setWordWrap(true);
    side->addWidget(note);
    auto *refresh = new QPushButton(QStringLiteral("Vorschau aktualisieren"), this);
    refresh->setObjectName(QStringLiteral("VorschauBtn"));
    refresh->setAutoDefault(false);
    side->addWidget(refresh);
    side->addStretch(1);

    auto makeButton = [&](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        side->addWidget(button);
        return button;
    };
    QPushButton *print = makeButton("DruckenBtn", QStringLiteral("Drucken..."));
    QPushButton *save = makeButton("SpeichernBtn", QStringLiteral("Speichern..."));
    QPushButton *copy = makeButton("KopierenBtn", QStringLiteral("In Zwischenablage kopieren"));
    m_closeButton = makeButton("SchliessenBtn", QStringLiteral("Schließen"));
    m_closeButton->setDefault(true);

    m_preview = new SheetPreview(this);
    row->addWidget(m_preview, 1);

    m_printForm = new TArbeitsblattDruckForm(m_messages, *m_saveDialog, this);

    // Rebuilds: the sheet kind, the header boxes and the answer list act at once; the
    // texts and the start question at the next rebuild.
    connect(m_modeRadio, &RadioGroup::itemClicked, this, [this] { BuildSheet(); });
    for (QCheckBox *box : {m_nameBox, m_klasseBox, m_datumBox, m_textvorgabeCheck})
        connect(box, &QCheckBox::clicked, this, [this] { BuildSheet(); });
    connect(refresh, &QPushButton::clicked, this, [this] { BuildSheet(); });
    connect(m_titelCheck, &QCheckBox::clicked, this, &TArbeitsblattForm::TitelCheckClick);
    connect(print, &QPushButton::clicked, this, &TArbeitsblattForm::DruckenClick);
    connect(save, &QPushButton::clicked, this, &TArbeitsblattForm::SpeichernClick);
    connect(copy, &QPushButton::clicked, this, &TArbeitsblattForm::KopierenClick);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);

    resize(1000, 720);
}

TArbeitsblattForm::~TArbeitsblattForm() = default;

void TArbeitsblattForm::setSaveDialog(SaveFileDialog *dialog)
{
    m_saveDialog = dialog ? dialog : m_ownSaveDialog.get();
    delete m_printForm;
    m_printForm = new TArbeitsblattDruckForm(m_messages, *m_saveDialog, this);
}

SheetOptions TArbeitsblattForm::options() const
{
    SheetOptions o;
    o.kind = m_modeRadio->itemIndex();
    o.title = m_titelEdit->text();
    o.task = m_aufgMemo->toPlainText();
    o.nameField = m_nameBox->isChecked();
    o.classField = m_klasseBox->isChecked();
    o.dateField = m_datumBox->isChecked();
    o.answerTexts = m_textvorgabeCheck->isChecked();
    o.fromQuestion = m_abFrageEdit->value();
    return o;
}

void TArbeitsblattForm::TitelCheckClick()
{
    if (m_titelCheck->isChecked() && m_document)
        m_titelEdit->setText(m_document->titel);
}

void TArbeitsblattForm::prepare(const TopicDocument &document)
{
    m_document = &document;
    if (m_titelCheck->isChecked())
        m_titelEdit->setText(document.titel);
    m_typ2Pan->setVisible(document.DokTyp == dtSingleQuestions);
}

void TArbeitsblattForm::showFor(const TopicDocument &document)
{
    prepare(document);
    show();
}

int TArbeitsblattForm::ShowSheet(const TopicDocument &document)
{
    prepare(document);
    return exec();
}

void TArbeitsblattForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    BuildSheet();
    m_closeButton->setFocus();
}

void TArbeitsblattForm::done(int result)
{
    // The sheet lives while the window is open.
    m_sheet = SheetPicture();
    m_preview->setImage(QImage());
    m_document = nullptr;
    QDialog::done(result);
}

void TArbeitsblattForm::BuildSheet()
{
    if (!m_document)
        return;
    WaitCursorScope wait;
    m_sheet = kapitolo::BuildSheet(*m_document, options());
    ++m_buildCount;
    m_preview->setImage(m_sheet.render(kSheetWidth));
}

void TArbeitsblattForm::DruckenClick()
{
    BuildSheet();
    if (m_document)
        m_printForm->Execute(m_sheet, double(kSheetWidth) / kSheetHeight);
}

void TArbeitsblattForm::SpeichernClick()
{
    BuildSheet();
    if (m_document)
        SaveSheet(m_sheet, *m_saveDialog, m_messages);
}

void TArbeitsblattForm::KopierenClick()
{
    BuildSheet();
    if (!m_document)
        return;
    WaitCursorScope wait;
    QGuiApplication::clipboard()->setMimeData(sheetMimeData(m_sheet));
}

} // namespace kapitolo
