#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTextDocument;
class QTextEdit;

namespace kapitolo {

class FileDialogs;
class Messages;

// "Kommentar zum Übungsprotokoll hinzufügen": a free comment for the protocol window.
// exec() gives 1 for OK, 2 for "Abbrechen".
class TProtKomForm : public QDialog
{
    Q_OBJECT
public:
    explicit TProtKomForm(QWidget *parent = nullptr);

    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *AbbrBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};

// "Quiz-Protokoll": the rich text of the last quiz, with comment, print, save and copy.
class TUebProtokollForm : public QDialog
{
    Q_OBJECT
public:
    TUebProtokollForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent = nullptr);

    // The comment dialog is created later in the program's fixed order of dialogs.
    void setCommentForm(TProtKomForm *commentForm) { m_commentForm = commentForm; }

    // The window's rich text: what AutoSaveProtocol, "Speichern..." and printing use.
    QTextDocument *document() const;
    // The end of a quiz: the window is cleared and shows the protocol text.
    void ShowProtocol(const QString &text);
    // Adds "<tit>Kommentar" and the comment (trimmed; nothing when blank).
    bool AddComment(const QString &comment);

    // Starting folder of the save dialog (the protocol folder).
    void setSaveFolder(const QString &folder) { m_saveFolder = folder; }

    // The buttons' handlers.
    void KommBtnClick();
    void DruckBtnClick();
    void SaveBtnClick();
    void InClipBtnClick();

    // Writes the rich text to a file (replacing it: the save dialog asked); reports a failure.
    bool SaveToFile(const QString &path);

    QTextEdit *RichEdit1 = nullptr;
    QPushButton *KommBtn = nullptr;
    QPushButton *DruckBtn = nullptr;
    QPushButton *SaveBtn = nullptr;
    QPushButton *InClipBtn = nullptr;
    QPushButton *OKBtn = nullptr;

private:
    Messages &m_messages;
    FileDialogs &m_fileDialogs;
    TProtKomForm *m_commentForm = nullptr;
    QString m_saveFolder;
};

// Prints a protocol (or any rich text) to a set-up printer under the job title given.
void printRichText(const QTextDocument &document, QPrinter &printer, const QString &jobTitle);


} // namespace kapitolo
