#pragma once

#include "document/topic_document.h"
#include "editor/topic_editor_form.h"
#include "platform/services.h"

#include <memory>

class QTemporaryDir;
class QWidget;

namespace kapitolo {

// What the topic editor needs of the window around it: the topic folder, the quiz that a
// test run starts and ends, and the topic menu that a saved topic refreshes.
class TopicEditorWindow
{
public:
    virtual ~TopicEditorWindow() = default;
    virtual QString topicFolder() const = 0;
    virtual bool quizInProgress() const = 0;
    virtual bool ConfirmLeaveQuiz() = 0;
    virtual bool ReadDocumentAsTopic(const QString &path) = 0;
    // Reads a copy as the shown document; the topic folder stays the teacher's.
    virtual bool readCopyAsTopic(const QString &path) = 0;
    virtual void ReadTopicFolder() = 0;
    // The window comes to the front and starts the quiz.
    virtual void startTestQuiz() = 0;
};

// The topic editor in the program: "&Neues Thema...", "Thema &bearbeiten...", the editor
// window, created on first use, and "Testen", which plays a copy of the edited topic
// without touching its file.
class TopicEditorController : public TopicEditorHost
{
public:
    TopicEditorController(Services &services, const TopicDocument &document, TopicEditorWindow &window,
                          QWidget *parentWindow);
    ~TopicEditorController() override;

    void NeuesThema1Click();
    void ThemaBearbeiten1Click();
    // kind: the document type; picturePath only for image labelling.
    bool NewTopic(qint32 kind, const QString &picturePath = QString());
    bool EditTopicFile(const QString &path);
    // Closes the editor, asking about unsaved changes; false when the user keeps it open.
    bool closeTopicEditor();
    TThemenEditorForm *topicEditor() const { return m_editor; }
    bool editorOpen() const;
    // A quiz on the editor's test copy: it leaves no best-list entry.
    bool testingEditedTopic() const;

    // TopicEditorHost
    void testTopic(const TopicDocument &document) override;
    void topicSaved(const QString &path) override;
    QString topicFolder() const override { return m_window.topicFolder(); }

private:
    void showTopicEditor();

    Services &m_services;
    const TopicDocument &m_doc;
    TopicEditorWindow &m_window;
    QWidget *m_parentWindow;
    TThemenEditorForm *m_editor = nullptr;
    // "Testen" plays a copy of the edited topic from here; it never enters a best list.
    std::unique_ptr<QTemporaryDir> m_editorTestFolder;
};

} // namespace kapitolo
