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
