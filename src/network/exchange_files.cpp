#include "network/exchange_files.h"

#include "document/topic_document.h"
#include "platform/binary_stream.h"
#include "platform/cp1252.h"
#include "platform/folders.h"
#include "platform/save_path.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace kapitolo {

namespace {

constexpr qint64 kMaxResultFileBytes = 4096;

bool inRange(qint32 value, qint32 last)
{
    return value >= 0 && value <= last;
}

} // namespace

QString exchangeFilePath(const QString &folder, const QString &channel, const char *fixedName)
{
    return withTrailingSeparator(folder) + channel + QLatin1Char('-') + QLatin1String(fixedName);
}

QString participantResultPath(const QString &folder, const QString &channel, const QString &key)
{
    return withTrailingSeparator(folder) + channel + QStringLiteral("-tsrnetzuebung-") + key + QStringLiteral(".erg");
}

bool writeParticipantResult(const QString &path, const QStringList &payloadLines)
{
    QByteArray bytes;
    for (const QString &line : payloadLines)
        bytes += toCp1252(line) + "\r\n";
    return writeFileAtomically(path, bytes);
}

QStringList participantResultFiles(const QString &folder, const QString &channel)
{
    QStringList paths;
    const QDir dir(folder);
    const QString prefix = channel + QStringLiteral("-tsrnetzuebung-");
    for (const QString &name : dir.entryList({prefix + QStringLiteral("*.erg")}, QDir::Files, QDir::Name))
        // The name filter ignores case; the channel's files are exactly these.
        if (name.startsWith(prefix))
            paths << dir.filePath(name);
    return paths;
}

QString readParticipantResult(const QString &path)
{
    QFile file(path);
    // A result is a few hundred bytes; anything larger is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxResultFileBytes)
        return QString();
    return fromCp1252(file.readAll());
}

NetworkOptionFile NetworkOptionFile::fromQuizOptions(const QuizOptions &o, qint32 dokTyp, const QString &initiator)
{
    const bool single = dokTyp == dtSingleQuestions;
    NetworkOptionFile f;
    f.initiator = initiator;
    f.feedbackAtEnd = fbImmediate;
    f.onCorrect = single ? cmCaption : o.onCorrect;
    f.onFailed = o.onFailed;
    f.tileOrder = o.tileOrder;
    f.positionOrder = o.positionOrder;
    f.queryMode = single ? qmFree : o.queryMode;
    f.timeLimitOn = o.timeLimitOn;
    f.timeLimitSeconds = o.timeLimitSeconds;
    return f;
}

QuizOptions NetworkOptionFile::quizOptions() const
{
    QuizOptions o;
    o.feedbackAtEnd = feedbackAtEnd;
    o.onCorrect = onCorrect;
    o.onFailed = onFailed;
    o.tileOrder = tileOrder;
    o.positionOrder = positionOrder;
    o.queryMode = queryMode;
    o.timeLimitOn = timeLimitOn;
    o.timeLimitSeconds = timeLimitSeconds;
    return o;
}

QByteArray encodeOptionFile(const NetworkOptionFile &f)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    BinaryWriter out(buffer);
    out.writeString(f.identification);
    out.writeString(f.fieldList);
    out.writeString(f.initiator);
    for (qint32 v : {f.feedbackAtEnd, f.onCorrect, f.onFailed, f.tileOrder, f.positionOrder,
                     f.queryMode, f.timeLimitOn, f.timeLimitSeconds})
        out.writeInt32(v);
    return bytes;
}

bool decodeOptionFile(const QByteArray &bytes, NetworkOptionFile &result)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    BinaryReader in(buffer);
    NetworkOptionFile f;
    in.readString(f.identification);
    in.readString(f.fieldList);
    in.readString(f.initiator);
    for (qint32 *v : {&f.feedbackAtEnd, &f.onCorrect, &f.onFailed, &f.tileOrder,
                      &f.positionOrder, &f.queryMode, &f.timeLimitOn, &f.timeLimitSeconds})
        in.readInt32(*v);
    if (!in.ok())
        return false;
    // Item indexes the options dialogs cannot give would run a quiz nobody chose.
    if (!inRange(f.feedbackAtEnd, 1) || !inRange(f.onCorrect, 1) || !inRange(f.onFailed, 1)
        || !inRange(f.tileOrder, 1) || !inRange(f.positionOrder, 2) || !inRange(f.queryMode, 2)
        || !inRange(f.timeLimitOn, 1) || f.timeLimitSeconds < 0)
        return false;
    result = f;
    return true;
}

bool writeOptionFile(const QString &path, const NetworkOptionFile &file)
{
    return writeFileAtomically(path, encodeOptionFile(file));
}

bool readOptionFile(const QString &path, NetworkOptionFile &file)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // A few hundred bytes; anything near this size is not an option file.
    constexpr qint64 kMaxSize = 64 * 1024;
    if (in.size() > kMaxSize)
        return false;
    return decodeOptionFile(in.readAll(), file);
}

QString optionFileReadErrorText(const QString &path)
{
    return QStringLiteral("Fehler beim Einlesen der Datei \"") + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

bool writeMarkerFile(const QString &path)
{
    return writeFileAtomically(path, QByteArray());
}

bool isValidChannel(const QString &channel)
{
    if (channel.isEmpty() || channel.size() > 8 || !fitsCp1252(channel))
        return false;
    if (channel != channel.trimmed() || channel.endsWith(QLatin1Char('.')) || channel == QLatin1String("."))
        return false;
    for (const QChar c : channel)
        if (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c))
            return false;
    return true;
}

QString communicationSettingsProblem(const QString &folder, const QString &channel)
{
    const QString shown = QDir::toNativeSeparators(folder.trimmed());
    if (folder.trimmed().isEmpty())
        return QStringLiteral("Bitte geben Sie den Kommunikationsordner an.");
    const QFileInfo info(folder.trimmed());
    if (!info.isDir())
        return QStringLiteral("Der Ordner \"") + shown + QStringLiteral("\" existiert nicht.");
    // Network shares do not always tell the truth about permissions: try it.
    QTemporaryFile probe(withTrailingSeparator(info.absoluteFilePath()) + QStringLiteral("kapitolo-XXXXXX.tmp"));
    if (!probe.open())
        return QStringLiteral("In den Ordner \"") + shown
            + QStringLiteral("\" kann nicht geschrieben werden. Bitte wählen Sie einen Ordner, in dem Sie "
                             "Schreibrechte haben.");
    probe.close();
    if (channel.isEmpty())
        return QStringLiteral("Bitte geben Sie einen Kommunikationskanal an (1 bis 8 Zeichen).");
    if (channel.size() > 8)
        return QStringLiteral("Der Kommunikationskanal darf höchstens 8 Zeichen lang sein.");
    if (!isValidChannel(channel))
        return QStringLiteral("Der Kommunikationskanal wird Teil von Dateinamen und darf daher keines der Zeichen "
                              "\\ / : * ? \" < > | enthalten, nicht mit einem Leerzeichen beginnen oder enden und "
                              "nicht mit einem Punkt enden.");
    return {};
}

} // namespace kapitolo
