#include "view/infobox_form.h"

#include "platform/messages.h"
#include "platform/save_path.h"
#include "view/info_text.h"
#include "view/markup_layout.h"
#include "view/view_output.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace kapitolo {

TInfoboxForm::TInfoboxForm(SaveFileDialog &saveDialog, Messages &messages, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_saveDialog(saveDialog)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("InfoboxForm"));
    setWindowTitle(QStringLiteral("Information"));
    resize(467, 331);

    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollBox->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollBox->setBackgroundRole(QPalette::Base);
    QPalette palette = m_scrollBox->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    m_scrollBox->setPalette(palette);
    m_scrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scrollBox->verticalScrollBar()->setSingleStep(20);

    m_textImage = new QLabel;
    m_textImage->setObjectName(QStringLiteral("TextImg"));
    m_textImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_textImage->installEventFilter(this);
    m_scrollBox->setWidget(m_textImage);
    m_scrollBox->viewport()->installEventFilter(this);

    m_panel = new QWidget(this);
    m_panel->setFixedHeight(kPanelHeight);
    auto *buttons = new QHBoxLayout(m_panel);
    buttons->setContentsMargins(6, 6, 6, 6);
    auto addButton = [&](const char *name, const QString &caption, void (TInfoboxForm::*slot)()) {
        auto *button = new QPushButton(caption, m_panel);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
        return button;
    };
    addButton("DruckenBtn", QStringLiteral("Drucken..."), &TInfoboxForm::DruckenBtnClick);
    addButton("SpeichernBtn", QStringLiteral("Speichern..."), &TInfoboxForm::SpeichernBtnClick);
    addButton("ZwischenablageBtn", QStringLiteral("In Zwischenablage"), &TInfoboxForm::ZwischenablageBtnClick);
    buttons->addStretch();
    addButton("SchliessenBtn", QStringLiteral("Schließen"), &TInfoboxForm::SchliessenBtnClick);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_scrollBox, 1);
    layout->addWidget(m_panel);
}

void TInfoboxForm::showInfoText(const QString &caption, const QRect &mainWindowFrame)
{
    m_lines = infoTextLines(caption);
    // Before the first showing the layout has not yet given the scroll box its width.
    ensurePolished();
    layout()->activate();
    const int width = m_scrollBox->width() - 30;
    RenderInfoText(m_image, m_lines, width, 14, m_scrollBox->palette().color(QPalette::Base));
    m_textImage->setPixmap(QPixmap::fromImage(m_image));
    m_textImage->resize(m_image.size());
    // The window shrinks to a short text and grows with a long one up to 566 pixels.
    const int height = qMin(kPanelHeight + m_image.height() + 34, kMaxHeight);
    resize(this->width(), height);
    m_scrollBox->verticalScrollBar()->setValue(0);
    show();
    // Placed once shown, when the frame has its final size.
    move(mainWindowFrame.left() + mainWindowFrame.width() - frameGeometry().width() - 6, mainWindowFrame.top() + 6);
    raise();
}

QByteArray TInfoboxForm::richTextCopy() const
{
    return infoTextRtf(plainInfoText(m_lines), 11);
}

void TInfoboxForm::DruckenBtnClick()
{
    QPrinter printer;
    printer.setDocName(QStringLiteral("Infotext"));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    document.setDefaultFont(font);
    document.setPlainText(plainInfoText(m_lines).join(QLatin1Char('\n')));
    document.print(&printer);
}

void TInfoboxForm::SpeichernBtnClick()
{
    SaveDialogOptions options;
    options.title = QStringLiteral("Infotext in Datei speichern");
    options.filter = QStringLiteral("Rich Text Dokument (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*");
    options.defaultExtension = QStringLiteral("rtf");
    options.overwritePrompt = true;
    const QString fileName = m_saveDialog.getSaveFileName(options);
    if (fileName.isEmpty())
        return;
    const QByteArray rtf = richTextCopy();
    if (!writeFileAtomically(fileName, rtf))
        ShowWriteError(m_messages, fileName);
}

void TInfoboxForm::ZwischenablageBtnClick()
{
    auto *data = new QMimeData;
    data->setText(plainInfoText(m_lines).join(QLatin1Char('\n')));
    const QByteArray rtf = richTextCopy();
    data->setData(QStringLiteral("text/rtf"), rtf);
    data->setData(QStringLiteral("application/rtf"), rtf);
    QApplication::clipboard()->setMimeData(data);
}

void TInfoboxForm::SchliessenBtnClick()
{
    close();
}

void TInfoboxForm::scrollBy(int pixels)
{
    QScrollBar *bar = m_scrollBox->verticalScrollBar();
    bar->setValue(bar->value() + pixels);
}

bool TInfoboxForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_textImage || watched == m_scrollBox->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton) {
                m_dragging = true;
                m_dragStartY = int(mouse->globalPosition().y());
                m_dragStartValue = m_scrollBox->verticalScrollBar()->value();
                m_textImage->setCursor(Qt::ClosedHandCursor);
                return true;
            }
            break;
        }
        case QEvent::MouseMove: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (m_dragging) {
                m_scrollBox->verticalScrollBar()->setValue(m_dragStartValue
                                                           - (int(mouse->globalPosition().y()) - m_dragStartY));
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (m_dragging) {
                m_dragging = false;
                m_textImage->unsetCursor();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TInfoboxForm::keyPressEvent(QKeyEvent *event)
{
    // A page of text per key: the scroll box's increment is its visible height.
    const int page = m_scrollBox->verticalScrollBar()->pageStep();
    if (event->key() == Qt::Key_PageDown) {
        scrollBy(page);
        return;
    }
    if (event->key() == Qt::Key_PageUp) {
        scrollBy(-page);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TInfoboxForm::closeEvent(QCloseEvent *event)
{
    m_scrollBox->verticalScrollBar()->setValue(0);
    QWidget::closeEvent(event);
}

} // namespace kapitolo
