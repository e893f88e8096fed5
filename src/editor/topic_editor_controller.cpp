// The topic editor in the program: the two commands, the editor window, and "Testen",
// which plays a copy of the edited topic without touching its file.

#include "editor/topic_editor_controller.h"

#include "document/document_file.h"
#include "editor/new_topic_dialog.h"
#include "editor/topic_edit_model.h"
#include "platform/folders.h"
#include "platform/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTemporaryDir>

namespace kapitolo {

TopicEditorController::TopicEditorController(Services &services, const TopicDocument &document,
                                             TopicEditorWindow &window, QWidget *parentWindow)
    : m_services(services)
    , m_doc(document)
    , m_window(window)
    , m_parentWindow(parentWindow)
{
}

TopicEditorController::~TopicEditorController() = default;

void TopicEditorController::NeuesThema1Click()
{
    TNeuesThemaForm form(m_parentWindow);
    if (form.exec() != QDialog::Accepted)
        return;
    QString picture;
    if (form.kind() == dtImageLabelling) {
        picture = m_services.fileDialogs.openFileName(
            QStringLiteral("Bild für das neue Thema wählen"), m_window.topicFolder(),
            QStringLiteral("Bilder (*.png *.jpg *.jpeg)|*.png;*.jpg;*.jpeg|Alle Dateien (*.*)|*.*"));
        if (picture.isEmpty())
            return;
    }
    NewTopic(form.kind(), picture);
}

bool TopicEditorController::NewTopic(qint32 kind, const QString &picturePath)
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
        m_editor = new TThemenEditorForm(m_services, *this, m_parentWindow);
    m_editor->editNew(document);
    showTopicEditor();
    return true;
}

void TopicEditorController::ThemaBearbeiten1Click()
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
        path = m_services.fileDialogs.openFileName(QStringLiteral("Thema bearbeiten"), m_window.topicFolder(),
                                                   QStringLiteral("Tessaro - Dokument (*.tsr)|*.tsr|Alle Dateien (*.*)|*.*"));
        if (path.isEmpty())
            return;
    }
    EditTopicFile(path);
}

bool TopicEditorController::EditTopicFile(const QString &path)
{
    if (!closeTopicEditor())
        return false;
    if (!m_editor)
        m_editor = new TThemenEditorForm(m_services, *this, m_parentWindow);
    if (!m_editor->editFile(path))
        return false;
    showTopicEditor();
    return true;
}

void TopicEditorController::showTopicEditor()
{
    if (!m_editor->isVisible()) {
        // Centred over the main window and inside its screen, whatever the desktop does.
        const QRect screen = m_parentWindow->screen()->availableGeometry();
        QRect frame(QPoint(), m_editor->size().boundedTo(screen.size()));
        frame.moveCenter(m_parentWindow->frameGeometry().center());
        frame.moveLeft(qBound(screen.left(), frame.left(), screen.right() - frame.width()));
        frame.moveTop(qBound(screen.top(), frame.top(), screen.bottom() - frame.height()));
        m_editor->setGeometry(frame);
    }
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

bool TopicEditorController::closeTopicEditor()
{
    return !m_editor || !m_editor->isVisible() || m_editor->close();
}

bool TopicEditorController::editorOpen() const
{
    return m_editor && m_editor->isVisible();
}

bool TopicEditorController::testingEditedTopic() const
{
    return m_editorTestFolder && m_doc.isLoaded() && m_doc.fileName.startsWith(m_editorTestFolder->path());
}

void TopicEditorController::testTopic(const TopicDocument &document)
{
    if (!m_window.ConfirmLeaveQuiz())
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
    if (!m_window.readCopyAsTopic(path))
        return;
    m_window.startTestQuiz();
}

void TopicEditorController::topicSaved(const QString &path)
{
    // The topic shown was this one, or the test copy of it: show the saved file. Like
    // any opened document, it makes its folder the topic folder.
    if (!m_window.quizInProgress() && (testingEditedTopic() || m_doc.fileName == path))
        m_window.ReadDocumentAsTopic(path);
    // While a test quiz still runs, its copy's folder is no topic folder to list.
    if (!testingEditedTopic())
        m_window.ReadTopicFolder();
}

} // namespace kapitolo
