// The main window's side of the topic editor: the two commands, the editor window, and
// "Testen", which plays a copy of the edited topic without touching its file.

#include "app/main_window.h"

#include "document/document_file.h"
#include "editor/new_topic_dialog.h"
#include "editor/topic_edit_model.h"
#include "editor/topic_editor_form.h"
#include "platform/folders.h"
#include "platform/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTemporaryDir>

namespace kapitolo {

void TForm1::NeuesThema1Click()
{
    TNeuesThemaForm form(this);
    if (form.exec() != QDialog::Accepted)
        return;
    QString picture;
    if (form.kind() == dtImageLabelling) {
        picture = m_services.fileDialogs.openFileName(
            QStringLiteral("Bild für das neue Thema wählen"), m_topicFolder,
            QStringLiteral("Bilder (*.png *.jpg *.jpeg)|*.png;*.jpg;*.jpeg|Alle Dateien (*.*)|*.*"));
        if (picture.isEmpty())
            return;
    }
    NewTopic(form.kind(), picture);
}

bool TForm1::NewTopic(qint32 kind, const QString &picturePath)
{
    if (!closeTopicEditor())
        return false;
    TopicDocument document;
    if (kind == dtImageLabelling) {
        QString error;
        const QImage picture = readPicture(picturePath, &error);
        if (picture.isNull()) {
            m_services.messages.error(error);
            return false;
        }
        document = TopicEditModel::newImageTopic(picture);
    } else {
        document = kind == dtCloze ? TopicEditModel::newClozeTopic() : TopicEditModel::newQuestionTopic();
    }
    if (!m_editor)
        m_editor = new TThemenEditorForm(m_services, *this, this);
    m_editor->editNew(document);
    showTopicEditor();
    return true;
}

void TForm1::ThemaBearbeiten1Click()
{
    if (m_editor && m_editor->isVisible()) {
        m_editor->raise();
        m_editor->activateWindow();
        return;
    }
    // The shown topic, unless it is only a copy (a network exercise or a test run).
    QString path = m_doc.fileName;
    const bool copy = path.isEmpty() || QFileInfo(path).fileName().endsWith(QLatin1String("tsrnetzuebung.tsr"))
        || (m_editorTestFolder && path.startsWith(m_editorTestFolder->path()));
    if (copy) {
        path = m_services.fileDialogs.openFileName(QStringLiteral("Thema bearbeiten"), m_topicFolder,
                                                   QStringLiteral("Tessaro - Dokument (*.tsr)|*.tsr|Alle Dateien (*.*)|*.*"));
        if (path.isEmpty())
            return;
    }
    EditTopicFile(path);
}

bool TForm1::EditTopicFile(const QString &path)
{
    if (!closeTopicEditor())
        return false;
    if (!m_editor)
        m_editor = new TThemenEditorForm(m_services, *this, this);
    if (!m_editor->editFile(path))
        return false;
    showTopicEditor();
    return true;
}

void TForm1::showTopicEditor()
{
    if (!m_editor->isVisible()) {
        // Centred over the main window and inside its screen, whatever the desktop does.
        const QRect screen = this->screen()->availableGeometry();
        QRect frame(QPoint(), m_editor->size().boundedTo(screen.size()));
        frame.moveCenter(frameGeometry().center());
        frame.moveLeft(qBound(screen.left(), frame.left(), screen.right() - frame.width()));
        frame.moveTop(qBound(screen.top(), frame.top(), screen.bottom() - frame.height()));
        m_editor->setGeometry(frame);
    }
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

bool TForm1::closeTopicEditor()
{
    return !m_editor || !m_editor->isVisible() || m_editor->close();
}

bool TForm1::testingEditedTopic() const
{
    return m_editorTestFolder && m_doc.isLoaded() && m_doc.fileName.startsWith(m_editorTestFolder->path());
}

void TForm1::testTopic(const TopicDocument &document)
{
    if (!ConfirmLeaveQuiz())
        return;
    if (!m_editorTestFolder)
        m_editorTestFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kapitolo-test-XXXXXX"));
    const QString name = document.fileName.isEmpty() ? QStringLiteral("Neues Thema.tsr")
                                                     : QFileInfo(document.fileName).fileName();
    const QString path = QDir(m_editorTestFolder->path()).filePath(name);
    if (!m_editorTestFolder->isValid()) {
        ShowWriteError(m_services.messages, path);
        return;
    }
    TopicDocument copy = document;
    if (!writeDocument(path, copy, false, m_services.messages))
        return;
    // The topic menu stays with the teacher's topics.
    const QString topicFolder = m_topicFolder;
    const bool read = ReadDocumentAsTopic(path);
    m_topicFolder = topicFolder;
    if (!read)
        return;
    raise();
    activateWindow();
    UebungStart1Click();
}

void TForm1::topicSaved(const QString &path)
{
    // The topic shown was this one, or the test copy of it: show the saved file. Like
    // any opened document, it makes its folder the topic folder.
    if (!quizInProgress() && (testingEditedTopic() || m_doc.fileName == path))
        ReadDocumentAsTopic(path);
    // While a test quiz still runs, its copy's folder is no topic folder to list.
    if (!testingEditedTopic())
        ReadTopicFolder();
}

} // namespace kapitolo
