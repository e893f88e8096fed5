#include "app/topic_folder.h"

#include "document/document_file.h"
#include "platform/folders.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <vector>

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

namespace {

// Sub-folders are read breadth first, so that the limit leaves out the deepest ones.
struct FolderNode {
    QString name;
    QString path;
    int depth = 0;
    QList<TopicEntry> topics;
    QList<int> children;
};

QList<TopicFolder> assembleFolders(const std::vector<FolderNode> &nodes, const QList<int> &children)
{
    QList<TopicFolder> folders;
    for (int index : children) {
        const FolderNode &node = nodes.at(std::size_t(index));
        TopicFolder folder{node.name, node.path, node.topics, assembleFolders(nodes, node.children)};
        // A folder without a topic anywhere below it (pictures, protocols) is no subject.
        if (!folder.topics.isEmpty() || !folder.folders.isEmpty())
            folders.append(folder);
    }
    return folders;
}

} // namespace

QList<TopicFolder> readTopicSubFolders(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    std::vector<FolderNode> nodes;
    nodes.push_back({QString(), withTrailingSeparator(folder), 0, {}, {}});
    int read = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i > 0)
            nodes[i].topics = readTopicFolder(nodes[i].path);
        if (nodes[i].depth >= kTopicFolderDepth)
            continue;
        // Hidden folders (".git", ".cache") are left out, as a file manager leaves them.
        const QFileInfoList dirs = QDir(nodes[i].path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
        QList<TopicEntry> named;
        for (const QFileInfo &info : dirs)
            named.append({info.fileName(), withTrailingSeparator(info.filePath()), info.fileName().toLower()});
        sortTopicEntries(named);
        for (const TopicEntry &dir : std::as_const(named)) {
            if (read >= kTopicFolderLimit)
                break;
            ++read;
            nodes[i].children.append(int(nodes.size()));
            nodes.push_back({dir.title, dir.path, nodes[i].depth + 1, {}, {}});
        }
    }
    return assembleFolders(nodes, nodes.front().children);
}

TopicFolderContents readTopicFolderContents(const QString &folder)
{
    return {readTopicFolder(folder), readTopicSubFolders(folder)};
}

QStringList topicFolderCaptions(const QStringList &names, QString taken)
{
    QStringList captions;
    for (const QString &name : names) {
        QString text = name;
        if (!text.isEmpty())
            text[0] = text.at(0).toUpper();
        qsizetype key = -1;
        for (qsizetype i = 0; i < text.size() && key < 0; ++i)
            if (text.at(i).isLetter() && !taken.contains(text.at(i).toLower()))
                key = i;
        if (key >= 0)
            taken += text.at(key).toLower();
        QString caption;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i == key)
                caption += QLatin1Char('&');
            caption += text.at(i);
            if (text.at(i) == QLatin1Char('&'))
                caption += QLatin1Char('&');
        }
        captions << caption;
    }
    return captions;
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
