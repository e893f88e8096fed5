#include "app/topic_folder.h"

#include "document/document_file.h"
#include "platform/folders.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace kapitolo {

namespace {

QCollator germanCollator()
{
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

} // namespace

void sortTopicEntries(QList<TopicEntry> &entries)
{
    // Collation keys once per entry: the selection sort compares each pair, and hundreds
    // of topics would otherwise cost a visible pause.
    const QCollator collator = germanCollator();
    QList<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const TopicEntry &e : std::as_const(entries))
        keys.append(collator.sortKey(e.sortKey));
    const qsizetype n = entries.size();
    for (qsizetype i = 0; i < n - 1; ++i) {
        qsizetype smallest = i;
        for (qsizetype j = i + 1; j < n; ++j)
            if (keys.at(j).compare(keys.at(smallest)) < 0)
                smallest = j;
        if (smallest != i) {
            entries.swapItemsAt(i, smallest);
            keys.swapItemsAt(i, smallest);
        }
    }
}

QList<TopicEntry> readTopicFolder(const QString &folder)
{
    QList<TopicEntry> entries;
    if (folder.isEmpty())
        return entries;
    QDir dir(folder);
    // Hidden and system files count too; sub-folders do not. The pattern is matched
    // as on Windows, so "*.TSR" is a topic as well.
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    entries.reserve(100);
    for (const QFileInfo &info : files) {
        if (!info.fileName().endsWith(QLatin1String(".tsr"), Qt::CaseInsensitive))
            continue;
        DocumentHeader header;
        if (!readDocumentHeader(info.filePath(), header))
            continue;
        entries.append({header.titel, info.filePath(), info.fileName().toLower()});
    }
    sortTopicEntries(entries);
    return entries;
}

QString defaultStartFolder(const QString &programFolder)
{
    const QDir dir(programFolder);
    const QStringList topics = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QString &name : topics)
        if (name.endsWith(QLatin1String(".tsr"), Qt::CaseInsensitive))
            return programFolder;
    const QString bundled = withTrailingSeparator(programFolder) + QStringLiteral("themen/");
    return QFileInfo(bundled).isDir() ? bundled : programFolder;
}

QString topicItemCaption(int index, const TopicEntry &entry)
{
    QString caption;
    if (index <= 8)
        caption = QStringLiteral("&");
    caption += QString::number(index + 1) + QStringLiteral(":  ");
    const QString title = entry.title.trimmed();
    caption += title.isEmpty() ? QFileInfo(entry.path).fileName() : title;
    return caption;
}

int topicColumnBreak(int count)
{
    return count > 30 ? (count - 7) / 2 : -1;
}

int nextTopicIndex(int current, int count)
{
    if (count <= 0)
        return -1;
    return qMin(current + 1, count - 1);
}

int previousTopicIndex(int current, int count)
{
    if (count <= 0)
        return -1;
    return qMax(current - 1, 0);
}

QString windowTitleText(bool loaded, const QString &titel)
{
    const QString app = QStringLiteral("Ostrabel Kapitolo");
    return loaded ? app + QStringLiteral(" - ") + titel : app;
}

QString titleLabelText(bool loaded, const QString &titel, int questionCount)
{
    if (!loaded)
        return QStringLiteral("Wählen Sie im Menü \"Quizauswahl\" das gewünschte Thema aus.");
    return (titel.isEmpty() ? QStringLiteral("(ohne Titel)") : titel) + QStringLiteral(" (")
        + QString::number(questionCount) + QStringLiteral(" Fragen)");
}

} // namespace kapitolo
