#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kapitolo {

struct TopicEntry {
    QString title;   // the document's titel
    QString path;    // full path of the file
    QString sortKey; // file name with extension, lower case
};

// Every "*.tsr" of the folder whose header can be read, sorted by file name under
// German collation without regard to case (a selection sort: the first of equal keys wins).
QList<TopicEntry> readTopicFolder(const QString &folder);

// A sub-folder of the topic folder as the "&Quizauswahl" menu shows it: its topics and
// its own sub-folders, each list in the order of the topic list.
struct TopicFolder {
    QString name; // the folder's name on disk
    QString path; // full path, with a trailing separator
    QList<TopicEntry> topics;
    QList<TopicFolder> folders;
};

// The library's subjects lie in sub-folders a few levels deep (erdkunde/welt/). Deeper
// folders, and any beyond the first few hundred, are not looked at: a topic folder
// chosen high up (a home folder) must not make every folder read slow.
constexpr int kTopicFolderDepth = 3;
constexpr int kTopicFolderLimit = 300;

// The sub-folders of folder that hold a topic, themselves or below them, down to
// kTopicFolderDepth levels, sorted by name as the topic list is. Hidden folders are
// left out.
QList<TopicFolder> readTopicSubFolders(const QString &folder);

// The topic list and the sub-folders of one folder, read together (on the second core at
// the start).
struct TopicFolderContents {
    QList<TopicEntry> topics;
    QList<TopicFolder> folders;
};
TopicFolderContents readTopicFolderContents(const QString &folder);

// The submenu captions of folders: each name with a capital first letter and an access
// key of its own, the first letter of the name that neither the menu's other items (taken,
// lower case) nor a folder before it use ("deutsch", "deutschland" give "&Deutsch",
// "D&eutschland"), so that a key always opens its submenu; none when every letter is taken.
// An "&" of a name stays visible.
QStringList topicFolderCaptions(const QStringList &names, QString taken);

// The first topic folder when no folder or document is named at start: the program
// folder, or its sub-folder "themen" with the bundled topics when the program folder
// itself holds no "*.tsr" (an installed program started from the desktop menu).
QString defaultStartFolder(const QString &programFolder);

// Sorts in place exactly as readTopicFolder does.
void sortTopicEntries(QList<TopicEntry> &entries);

// The caption of topic item i: "&1:  Titel" for the first nine, "10:  Titel" after;
// the file name stands in for an empty title.
QString topicItemCaption(int index, const TopicEntry &entry);

// The index of the entry that starts a second menu column, or -1 for one column.
int topicColumnBreak(int count);

// Previous and next in a list of count entries from the current index (-1: none).
int nextTopicIndex(int current, int count);
int previousTopicIndex(int current, int count);

// Window title and title label for the loaded document (empty fileName: none loaded).
QString windowTitleText(bool loaded, const QString &titel);
QString titleLabelText(bool loaded, const QString &titel, int questionCount);


} // namespace kapitolo
