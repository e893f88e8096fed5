#include "quiz/protocol_window.h"

#include "platform/messages.h"
#include "platform/save_path.h"
#include "platform/services.h"
#include "quiz/protocol.h"
#include "quiz/rtf_writer.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

QPushButton *makeButton(const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TProtKomForm::TProtKomForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TProtKomForm"));
    setWindowTitle(QStringLiteral("Kommentar zum Übungsprotokoll hinzufügen"));
    resize(460, 260);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background: white; color: #202020; }"));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    AbbrBtn = makeButton(QStringLiteral("Abbrechen"), this);
    AbbrBtn->setObjectName(QStringLiteral("AbbrBtn"));
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
    connect(AbbrBtn, &QPushButton::clicked, this, [this] { done(2); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(AbbrBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);
}

void TProtKomForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Memo1->setFocus();
}

TUebProtokollForm::TUebProtokollForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_fileDialogs(fileDialogs)
{
    setObjectName(QStringLiteral("TUebProtokollForm"));
    setWindowTitle(QStringLiteral("Quiz-Protokoll"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    resize(772, 486);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setStyleSheet(QStringLiteral("QTextEdit { background: white; }"));

    KommBtn = makeButton(QStringLiteral("Kommentar hinzufügen..."), this);
    KommBtn->setObjectName(QStringLiteral("KommBtn"));
    DruckBtn = makeButton(QStringLiteral("Drucken..."), this);
    DruckBtn->setObjectName(QStringLiteral("DruckBtn"));
    SaveBtn = makeButton(QStringLiteral("Speichern..."), this);
    SaveBtn->setObjectName(QStringLiteral("SaveBtn"));
    InClipBtn = makeButton(QStringLiteral("In Zwischenablage kopieren"), this);
    InClipBtn->setObjectName(QStringLiteral("InClipBtn"));
    // Enter and Escape both close the window.
    OKBtn = new QPushButton(QStringLiteral("Schließen"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);

    connect(KommBtn, &QPushButton::clicked, this, &TUebProtokollForm::KommBtnClick);
    connect(DruckBtn, &QPushButton::clicked, this, &TUebProtokollForm::DruckBtnClick);
    connect(SaveBtn, &QPushButton::clicked, this, &TUebProtokollForm::SaveBtnClick);
    connect(InClipBtn, &QPushButton::clicked, this, &TUebProtokollForm::InClipBtnClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(KommBtn);
    buttons->addWidget(DruckBtn);
    buttons->addWidget(SaveBtn);
    buttons->addWidget(InClipBtn);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(RichEdit1, 1);
    layout->addLayout(buttons);

    FillProtocolView(*RichEdit1->document(), QString(), true);
}

QTextDocument *TUebProtokollForm::document() const
{
    return RichEdit1->document();
}

void TUebProtokollForm::ShowProtocol(const QString &text)
{
    FillProtocolView(*document(), text, true);
    RichEdit1->moveCursor(QTextCursor::Start);
}

bool TUebProtokollForm::AddComment(const QString &comment)
{
    const QString trimmed = comment.trimmed();
    if (trimmed.isEmpty())
        return false;
    FillProtocolView(*document(), QStringLiteral("\r\n<tit>Kommentar\r\n") + trimmed, false);
    return true;
}

void TUebProtokollForm::KommBtnClick()
{
    if (!m_commentForm)
        return;
    m_commentForm->setWindowTitle(QStringLiteral("Kommentar zum Ablaufprotokoll hinzufügen"));
    m_commentForm->Memo1->clear();
    if (m_commentForm->exec() == 1)
        AddComment(m_commentForm->Memo1->toPlainText());
}

void printRichText(const QTextDocument &document, QPrinter &printer, const QString &jobTitle)
{
    printer.setDocName(jobTitle);
    document.print(&printer);
}

void TUebProtokollForm::DruckBtnClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        printRichText(*document(), printer, QStringLiteral("Quiz-Protokoll"));
}

bool TUebProtokollForm::SaveToFile(const QString &path)
{
    if (!writeFileAtomically(path, writeRtf(*document()), true)) {
        ShowWriteError(m_messages, path);
        return false;
    }
    return true;
}

void TUebProtokollForm::SaveBtnClick()
{
    const QString path = askSaveFileName(m_fileDialogs, m_messages, QStringLiteral("Übungsprotokoll in Datei speichern"),
                                         m_saveFolder,
                                         QStringLiteral("Rich Text Dokument (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*"),
                                         QStringLiteral("rtf"));
    if (!path.isEmpty() && SaveToFile(path))
        m_saveFolder = QFileInfo(path).absolutePath() + QLatin1Char('/');
}

void TUebProtokollForm::InClipBtnClick()
{
    auto *data = new QMimeData;
    data->setText(document()->toPlainText());
    data->setHtml(document()->toHtml());
    const QByteArray rtf = writeRtf(*document());
    data->setData(QStringLiteral("text/rtf"), rtf);
    data->setData(QStringLiteral("application/rtf"), rtf);
    QApplication::clipboard()->setMimeData(data);
    // Copying leaves no selection behind.
    QTextCursor cursor = RichEdit1->textCursor();
    cursor.clearSelection();
    RichEdit1->setTextCursor(cursor);
}

} // namespace kapitolo
