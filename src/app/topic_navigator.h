#pragma once

#include "app/topic_folder.h"
#include "document/topic_document.h"
#include "platform/services.h"
#include "view/view_state.h"

#include <future>

namespace kapitolo {

// What the topic folder and the navigation need of the window around them: the quiz that
// a new document ends, the topic menu, and the card and titles that follow the document.
class TopicWindow
{
public:
    virtual ~TopicWindow() = default;
    virtual int appMode() const = 0;
    virtual bool quizInProgress() const = 0;
    // Asks before a running quiz is left; true when there is none or the user agrees.
    virtual bool ConfirmLeaveQuiz() = 0;
    // Back to the learning card without asking (the caller has asked already).
    virtual void leaveQuiz() = 0;
    virtual void showTopicItems(const QStringList &captions, int columnBreak) = 0;
    virtual void checkTopicItem(int index) = 0;
    // The submenus of the sub-folders, below the topic items.
    virtual void showTopicFolders(const QList<TopicFolder> &folders) = 0;
    virtual void checkFolderTopic(const QString &path) = 0;
    // A document was read: zoom, numbering and card start afresh.
    virtual void documentRead() = 0;
    // The document was closed: its best list goes, the card is cleared.
    virtual void documentClosed() = 0;
    virtual void showCardOrStartPage() = 0;
    virtual void UpdateTitles() = 0;
};

// The topic folder and the way through it: the start folder and document of the command
// line, the topic list of the "&Quizauswahl" menu, the previous and next topic, the
// previous document, the folder and open dialogs, and the links between documents.
class TopicNavigator
{
public:
    // The folder the command line names (or the default start folder) is read on a
    // second core from here on; the first showing waits for it.
    TopicNavigator(Services &services, TopicDocument &document, TopicWindow &window, const QString &programFolder,
                   const QString &commandLineArgument);
    ~TopicNavigator();

    // The first showing: the command line's folder or document, then the topic list.
    void FormShow();

    void ReadTopicFolder();
    // Reads a document as a topic (its folder becomes the topic folder); false on failure.
    bool ReadDocumentAsTopic(const QString &path);
    // Reads a copy (an exchange document, a test copy) as the shown document; the topic
    // folder stays.
    bool readCopyAsTopic(const QString &path);
    // Shows the document an exercise was made of: the open one when it holds the same
    // objects, else its file read again. False (after a message) when neither does.
    bool showExerciseDocument(const TopicDocument &exercise);
    void OpenTopicEntry(int index);
    // A topic of a sub-folder's submenu: opened like a topic item; the menu stays with the
    // topic folder, and previous and next step through that sub-folder.
    void OpenFolderTopic(const QString &path);
    void OpenNextTopic();
    void OpenPreviousTopic();
    void ShowStartPage();
    void OpenPreviousDocument();
    void ChooseFolder();
    void OpenDocumentDialog();
    void CloseDocument();
    void FollowDocumentLink(const QString &caption);
    void FollowLink(const QString &caption);
    DocumentLinkFolders documentLinkFolders() const;
    void openTopicFolder(const QString &folder);
    void openLinkedDocument(const QString &path);
    // The network quiz's exchange document, read as a copy; closed again at the end.
    bool openExchangeDocument(const QString &path);
    void closeExchangeDocument();

    TopicNavigation &navigation() { return m_nav; }
    const QList<TopicEntry> &topicList() const { return m_topicList; }
    const QList<TopicFolder> &topicFolders() const { return m_topicFolders; }
    int currentTopicIndex() const { return m_nav.currentTopicIndex; }
    const QString &startFolder() const { return m_startFolder; }
    const QString &topicFolder() const { return m_topicFolder; }
    const QString &previousDocument() const { return m_nav.previousDocument; }
    const QString &openDialogFolder() const { return m_openDialogFolder; }

private:
    Services &m_services;
    TopicDocument &m_doc;
    TopicWindow &m_window;
    TopicNavigation m_nav;
    QList<TopicEntry> m_topicList;
    QList<TopicFolder> m_topicFolders;
    // The sub-folder of the topic opened from a submenu, and its index there (-1: none).
    QList<TopicEntry> m_folderTopics;
    int m_folderTopicIndex = -1;
    QString m_commandLineArgument;
    QString m_programFolder;
    QString m_startFolder;
    QString m_topicFolder;
    QString m_startDocument;
    QString m_openDialogFolder;
    // The topic folder read beside the creation of the windows.
    QString m_prefetchedFolder;
    std::future<TopicFolderContents> m_topicFolderLoad;
};

} // namespace kapitolo
