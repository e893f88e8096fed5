// The topic folder and the way through it, from the command line to the links between
// documents.

#include "app/topic_navigator.h"

#include "document/document_file.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/wait_cursor.h"
#include "quiz/quiz_types.h"
#include "view/learning_view.h"
#include "view/link_safety.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <optional>

namespace kapitolo {

TopicNavigator::TopicNavigator(Services &services, TopicDocument &document, TopicWindow &window,
                               const QString &programFolder, const QString &commandLineArgument)
    : m_services(services)
    , m_doc(document)
    , m_window(window)
    , m_commandLineArgument(commandLineArgument)
    , m_programFolder(programFolder)
    , m_startFolder(programFolder)
    , m_topicFolder(programFolder)
{
    m_nav.currentTopicIndex = -1;
    if (!m_commandLineArgument.isEmpty()) {
        const QFileInfo info(m_commandLineArgument);
        if (info.isDir())
            m_prefetchedFolder = withTrailingSeparator(info.absoluteFilePath());
    } else {
        m_prefetchedFolder = defaultStartFolder(m_programFolder);
    }
    if (!m_prefetchedFolder.isEmpty())
        m_topicFolderLoad = std::async(std::launch::async, [folder = m_prefetchedFolder] { return readTopicFolderContents(folder); });
}

TopicNavigator::~TopicNavigator() = default;

void TopicNavigator::FormShow()
{
    if (!m_commandLineArgument.isEmpty()) {
        const QFileInfo info(m_commandLineArgument);
        const QString full = info.absoluteFilePath();
        if (info.isDir()) {
            m_startFolder = withTrailingSeparator(full);
        } else {
            m_startFolder = withTrailingSeparator(info.absolutePath());
            if (!info.fileName().isEmpty()) {
                ReadDocumentAsTopic(full);
                m_startDocument = full;
            }
        }
    } else {
        m_startFolder = m_prefetchedFolder;
    }
    m_topicFolder = m_startFolder;
    m_window.showCardOrStartPage();
    ReadTopicFolder();
}

void TopicNavigator::ReadTopicFolder()
{
    m_nav.currentTopicIndex = -1;
    const QString folder = m_doc.isLoaded() ? withTrailingSeparator(QFileInfo(m_doc.fileName).absolutePath())
                                            : m_topicFolder;
    const bool prefetched = m_topicFolderLoad.valid() && folder == m_prefetchedFolder;
    // The wait cursor while the folder is read here; none for a folder read in time on the
    // second core (at the start, before the window is painted; the first wait cursor costs
    // the loading of the cursor theme).
    std::optional<WaitCursorScope> wait;
    if (!prefetched || m_topicFolderLoad.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        wait.emplace();
    TopicFolderContents contents = prefetched ? m_topicFolderLoad.get() : readTopicFolderContents(folder);
    m_topicList = std::move(contents.topics);
    m_topicFolders = std::move(contents.folders);
    m_folderTopics.clear();
    m_folderTopicIndex = -1;
    if (m_topicFolderLoad.valid())
        m_topicFolderLoad.wait(); // a prefetch nobody asked for still ends here, not in the destructor
    QStringList captions;
    for (int i = 0; i < m_topicList.size(); ++i)
        captions << topicItemCaption(i, m_topicList.at(i));
    m_window.showTopicItems(captions, topicColumnBreak(int(m_topicList.size())));
    m_window.showTopicFolders(m_topicFolders);
    for (int i = 0; i < m_topicList.size(); ++i) {
        if (m_topicList.at(i).path == m_doc.fileName) {
            m_window.checkTopicItem(i);
            m_nav.currentTopicIndex = i;
        }
    }
    m_window.UpdateTitles();
}

bool TopicNavigator::ReadDocumentAsTopic(const QString &path)
{
    // The question before was asked by the caller; a quiz on the old document ends here.
    if (m_window.quizInProgress())
        m_window.leaveQuiz();
    m_folderTopicIndex = -1; // set again by the opening from a submenu
    const ReadResult result = readDocument(path, m_doc, m_nav, m_services.messages);
    if (result == ReadResult::MissingFile)
        return false;
    if (result == ReadResult::Failed) {
        // The reader has closed the document: show the start page and the folder again.
        ReadTopicFolder();
        m_window.showCardOrStartPage();
        return false;
    }
    m_topicFolder = withTrailingSeparator(QFileInfo(path).absolutePath());
    m_window.documentRead();
    m_window.UpdateTitles();
    m_window.showCardOrStartPage();
    return true;
}

void TopicNavigator::OpenTopicEntry(int index)
{
    if (index < 0 || index >= m_topicList.size() || !m_window.ConfirmLeaveQuiz())
        return;
    const QString path = m_topicList.at(index).path;
    ReadDocumentAsTopic(path);
    if (m_doc.fileName == path) {
        m_window.checkTopicItem(index);
        m_nav.currentTopicIndex = index;
        m_window.UpdateTitles();
    }
}

namespace {

// The sub-folder that lists path, searched through the whole tree.
const TopicFolder *folderListing(const QList<TopicFolder> &folders, const QString &path)
{
    for (const TopicFolder &folder : folders) {
        for (const TopicEntry &entry : folder.topics)
            if (entry.path == path)
                return &folder;
        if (const TopicFolder *found = folderListing(folder.folders, path))
            return found;
    }
    return nullptr;
}

} // namespace

void TopicNavigator::OpenFolderTopic(const QString &path)
{
    if (path.isEmpty() || !m_window.ConfirmLeaveQuiz())
        return;
    // The list of that folder is kept: a later read of the topic folder replaces the tree.
    const TopicFolder *folder = folderListing(m_topicFolders, path);
    const QList<TopicEntry> topics = folder ? folder->topics : QList<TopicEntry>();
    ReadDocumentAsTopic(path);
    if (m_doc.fileName != path)
        return;
    m_window.checkFolderTopic(path);
    m_folderTopics = topics;
    m_folderTopicIndex = -1;
    for (int i = 0; i < m_folderTopics.size(); ++i)
        if (m_folderTopics.at(i).path == path)
            m_folderTopicIndex = i;
    m_window.UpdateTitles();
}

void TopicNavigator::OpenNextTopic()
{
    if (m_window.appMode() != amLearningView)
        return;
    if (m_folderTopicIndex >= 0) {
        const int target = nextTopicIndex(m_folderTopicIndex, int(m_folderTopics.size()));
        if (target != m_folderTopicIndex)
            OpenFolderTopic(m_folderTopics.at(target).path);
        return;
    }
    const int target = nextTopicIndex(m_nav.currentTopicIndex, int(m_topicList.size()));
    if (target != m_nav.currentTopicIndex)
        OpenTopicEntry(target);
}

void TopicNavigator::OpenPreviousTopic()
{
    if (m_window.appMode() != amLearningView)
        return;
    if (m_folderTopicIndex >= 0) {
        const int target = previousTopicIndex(m_folderTopicIndex, int(m_folderTopics.size()));
        if (target != m_folderTopicIndex)
            OpenFolderTopic(m_folderTopics.at(target).path);
        return;
    }
    const int target = m_nav.currentTopicIndex < 0 && !m_topicList.isEmpty()
        ? 0
        : previousTopicIndex(m_nav.currentTopicIndex, int(m_topicList.size()));
    if (target != m_nav.currentTopicIndex)
        OpenTopicEntry(target);
}

void TopicNavigator::ShowStartPage()
{
    if (!m_startDocument.isEmpty()) {
        const QString startDocument = m_startDocument;
        ReadDocumentAsTopic(startDocument);
        ReadTopicFolder();
    } else {
        m_topicFolder = m_startFolder;
        m_openDialogFolder = m_startFolder;
        CloseDocument();
    }
    m_window.showCardOrStartPage();
}

void TopicNavigator::OpenPreviousDocument()
{
    if (m_window.appMode() != amLearningView || m_nav.previousDocument.isEmpty())
        return;
    const QString previous = m_nav.previousDocument; // the read replaces it
    ReadDocumentAsTopic(previous);
    ReadTopicFolder();
}

void TopicNavigator::ChooseFolder()
{
    const QString chosen = m_services.fileDialogs.folderName(QStringLiteral("Aktuellen Ordner wählen"), m_topicFolder);
    if (chosen.isEmpty())
        return;
    m_topicFolder = withTrailingSeparator(chosen);
    m_openDialogFolder = m_topicFolder;
    CloseDocument();
    m_services.messages.information(QString::number(m_topicList.size())
                                    + QStringLiteral(" Themendokument(e) eingelesen.\r\n")
                                    + QStringLiteral("Wählen Sie das gewünschte Dokument im Menü \"Themenauswahl\"."));
}

void TopicNavigator::OpenDocumentDialog()
{
    if (!m_window.ConfirmLeaveQuiz())
        return;
    const QString folder = m_doc.isLoaded() ? QFileInfo(m_doc.fileName).absolutePath() : m_topicFolder;
    const QString chosen = m_services.fileDialogs.openFileName(
        QStringLiteral("Dokument öffnen"), folder,
        QStringLiteral("Tessaro - Dokument (*.tsr)|*.tsr|Alle Dateien (*.*)|*.*"));
    if (chosen.isEmpty())
        return;
    ReadDocumentAsTopic(chosen);
    ReadTopicFolder();
}

void TopicNavigator::CloseDocument()
{
    if (m_window.quizInProgress())
        m_window.leaveQuiz();
    m_doc.close(m_nav);
    m_window.documentClosed();
    ReadTopicFolder();
    m_window.showCardOrStartPage();
}

void TopicNavigator::FollowDocumentLink(const QString &caption)
{
    // The same lookup as a click on the card: a sub-folder of the topic folder, then the
    // document's folder, the start folder and the program folder.
    const LearningView::LinkTarget target = LearningView::resolveDocumentLink(caption, documentLinkFolders());
    if (target.kind == LearningView::LinkTarget::Folder)
        openTopicFolder(target.path);
    else if (target.kind == LearningView::LinkTarget::Document)
        openLinkedDocument(target.path);
    else
        m_services.messages.error(QStringLiteral("Die Datei \"") + caption.trimmed() + QStringLiteral("\" existiert nicht."));
}

void TopicNavigator::FollowLink(const QString &caption)
{
    // The same rules as a click on a link of the card: nothing the desktop would run.
    const LinkDecision link = CheckLink(caption, documentLinkFolders().documentFolder);
    if (link.kind == LinkDecision::Refused)
        m_services.messages.error(link.message);
    else if (link.kind == LinkDecision::Missing || !m_services.shell.open(link.target))
        m_services.messages.error(QStringLiteral("Die Datei oder Internet-Adresse \"") + caption
                                  + QStringLiteral("\" kann nicht geöffnet werden."));
}

DocumentLinkFolders TopicNavigator::documentLinkFolders() const
{
    DocumentLinkFolders f;
    f.topicFolder = m_topicFolder;
    f.documentFolder = m_doc.isLoaded() ? withTrailingSeparator(QFileInfo(m_doc.fileName).absolutePath()) : m_topicFolder;
    f.startFolder = m_startFolder;
    f.programFolder = m_programFolder;
    return f;
}

void TopicNavigator::openTopicFolder(const QString &folder)
{
    m_topicFolder = withTrailingSeparator(folder);
    m_openDialogFolder = m_topicFolder;
    CloseDocument();
}

void TopicNavigator::openLinkedDocument(const QString &path)
{
    ReadDocumentAsTopic(path);
    ReadTopicFolder();
}

namespace {

// The figures of an exercise name its objects by their index: they fit a document only
// with the same objects in the same order.
bool sameObjects(const TopicDocument &a, const TopicDocument &b)
{
    if (a.DokTyp != b.DokTyp || a.objects.size() != b.objects.size())
        return false;
    for (qsizetype i = 0; i < a.objects.size(); ++i)
        if (a.objects.at(i).Typ != b.objects.at(i).Typ || a.objects.at(i).Cap != b.objects.at(i).Cap)
            return false;
    return true;
}

} // namespace

bool TopicNavigator::showExerciseDocument(const TopicDocument &exercise)
{
    if (m_window.quizInProgress()) {
        if (!m_window.ConfirmLeaveQuiz())
            return false;
        m_window.leaveQuiz();
    }
    if (m_doc.isLoaded() && sameObjects(m_doc, exercise))
        return true;
    // The exchange folder's copy, when the exercise was resumed from it, stays a copy.
    const bool copy = exercise.fileName.endsWith(QLatin1String("tsrnetzuebung.tsr"));
    if (QFileInfo::exists(exercise.fileName)
        && (copy ? readCopyAsTopic(exercise.fileName) : ReadDocumentAsTopic(exercise.fileName))
        && sameObjects(m_doc, exercise))
        return true;
    m_services.messages.information(QStringLiteral("Die Karte der Übung kann nicht gezeigt werden: Das Themendokument "
                                                   "\"%1\" wurde inzwischen geändert oder ist nicht mehr vorhanden.")
                                        .arg(QDir::toNativeSeparators(exercise.fileName)));
    return false;
}

bool TopicNavigator::readCopyAsTopic(const QString &path)
{
    const QString topicFolder = m_topicFolder;
    const bool read = ReadDocumentAsTopic(path);
    m_topicFolder = topicFolder;
    return read;
}

bool TopicNavigator::openExchangeDocument(const QString &path)
{
    // The pupil's topic menu stays with the pupil's topics, not the exchange folder.
    return readCopyAsTopic(path) && m_doc.fileName == path;
}

void TopicNavigator::closeExchangeDocument()
{
    if (m_doc.isLoaded() && QFileInfo(m_doc.fileName).fileName().endsWith(QLatin1String("tsrnetzuebung.tsr")))
        CloseDocument();
}

} // namespace kapitolo
