#include "network/exercise_journal.h"

#include "network/control_board.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace kapitolo {

namespace {

constexpr char kMagic[] = "K1 ";

QString kindName(JournalRecord::Kind kind)
{
    switch (kind) {
    case JournalRecord::Kind::Initiated:
        return QStringLiteral("init");
    case JournalRecord::Kind::Report:
        return QStringLiteral("report");
    case JournalRecord::Kind::BestListEntered:
        return QStringLiteral("bestlist");
    case JournalRecord::Kind::Ended:
        return QStringLiteral("end");
    case JournalRecord::Kind::Browser:
        return QStringLiteral("browser");
    case JournalRecord::Kind::Removed:
        return QStringLiteral("removed");
    }
    return QString();
}

bool kindOf(const QString &name, JournalRecord::Kind &kind)
{
    for (auto k : {JournalRecord::Kind::Initiated, JournalRecord::Kind::Report, JournalRecord::Kind::BestListEntered,
                   JournalRecord::Kind::Ended, JournalRecord::Kind::Browser, JournalRecord::Kind::Removed})
        if (kindName(k) == name) {
            kind = k;
            return true;
        }
    return false;
}

quint32 checksum(const QByteArray &bytes)
{
    return quint32(crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

QJsonObject optionsJson(const NetworkOptionFile &o)
{
    QJsonObject j;
    j[QStringLiteral("riFa")] = o.riFaRueckmeldung;
    j[QStringLiteral("richtig")] = o.zuordnungRichtig;
    j[QStringLiteral("falsch")] = o.zuordnungFalsch;
    j[QStringLiteral("texte")] = o.zuordnungstexte;
    j[QStringLiteral("ziele")] = o.zuordnungsziele;
    j[QStringLiteral("modus")] = o.abfrageModus;
    j[QStringLiteral("zeitLimit")] = o.zeitLimit;
    j[QStringLiteral("zeitLimitWert")] = o.zeitLimitWert;
    return j;
}

NetworkOptionFile optionsFrom(const QJsonObject &j, const QString &initiator)
{
    NetworkOptionFile o;
    o.initiator = initiator;
    o.riFaRueckmeldung = j.value(QStringLiteral("riFa")).toInt();
    o.zuordnungRichtig = j.value(QStringLiteral("richtig")).toInt();
    o.zuordnungFalsch = j.value(QStringLiteral("falsch")).toInt();
    o.zuordnungstexte = j.value(QStringLiteral("texte")).toInt(1);
    o.zuordnungsziele = j.value(QStringLiteral("ziele")).toInt(1);
    o.abfrageModus = j.value(QStringLiteral("modus")).toInt();
    o.zeitLimit = j.value(QStringLiteral("zeitLimit")).toInt();
    o.zeitLimitWert = j.value(QStringLiteral("zeitLimitWert")).toInt(180);
    return o;
}

bool decodeLine(const QByteArray &line, JournalRecord &record)
{
    // "K1 " + 8 hex digits + " " + JSON
    if (!line.startsWith(kMagic) || line.size() < 13 || line.at(11) != ' ')
        return false;
    bool ok = false;
    const quint32 sum = line.mid(3, 8).toUInt(&ok, 16);
    const QByteArray json = line.mid(12);
    if (!ok || sum != checksum(json))
        return false;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject j = doc.object();
    if (!kindOf(j.value(QStringLiteral("k")).toString(), record.kind))
        return false;
    record.at = j.value(QStringLiteral("at")).toDouble();
    switch (record.kind) {
    case JournalRecord::Kind::Initiated:
        record.channel = j.value(QStringLiteral("channel")).toString();
        record.initiator = j.value(QStringLiteral("initiator")).toString();
        record.title = j.value(QStringLiteral("title")).toString();
        record.dokTyp = j.value(QStringLiteral("dokTyp")).toInt();
        record.options = optionsFrom(j.value(QStringLiteral("options")).toObject(), record.initiator);
        record.topicPath = j.value(QStringLiteral("path")).toString();
        return !record.channel.isEmpty();
    case JournalRecord::Kind::Report:
        record.computer = j.value(QStringLiteral("computer")).toString();
        record.user = j.value(QStringLiteral("user")).toString();
        record.text = j.value(QStringLiteral("text")).toString();
        return !record.text.isEmpty();
    case JournalRecord::Kind::BestListEntered:
    case JournalRecord::Kind::Removed:
        record.key = j.value(QStringLiteral("key")).toString();
        return !record.key.isEmpty();
    case JournalRecord::Kind::Ended:
        return true;
    case JournalRecord::Kind::Browser:
        record.data = j.value(QStringLiteral("data")).toObject();
        return !record.data.isEmpty();
    }
    return false;
}

} // namespace

QString journalFileName(const QString &channel, const QDateTime &initiation)
{
    return QStringLiteral("Netzwerk-Uebung-") + channel + QLatin1Char('-')
        + initiation.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".journal");
}

QByteArray encodeJournalRecord(const JournalRecord &record)
{
    QJsonObject j;
    j[QStringLiteral("k")] = kindName(record.kind);
    j[QStringLiteral("at")] = record.at;
    switch (record.kind) {
    case JournalRecord::Kind::Initiated:
        j[QStringLiteral("channel")] = record.channel;
        j[QStringLiteral("initiator")] = record.initiator;
        j[QStringLiteral("title")] = record.title;
        j[QStringLiteral("dokTyp")] = record.dokTyp;
        j[QStringLiteral("options")] = optionsJson(record.options);
        if (!record.topicPath.isEmpty())
            j[QStringLiteral("path")] = record.topicPath;
        break;
    case JournalRecord::Kind::Report:
        j[QStringLiteral("computer")] = record.computer;
        j[QStringLiteral("user")] = record.user;
        j[QStringLiteral("text")] = record.text;
        break;
    case JournalRecord::Kind::BestListEntered:
    case JournalRecord::Kind::Removed:
        j[QStringLiteral("key")] = record.key;
        break;
    case JournalRecord::Kind::Ended:
        break;
    case JournalRecord::Kind::Browser:
        j[QStringLiteral("data")] = record.data;
        break;
    }
    // Compact JSON escapes every control character: the line break ends the record only.
    const QByteArray json = QJsonDocument(j).toJson(QJsonDocument::Compact);
    return QByteArray(kMagic) + QByteArray::number(checksum(json), 16).rightJustified(8, '0') + ' ' + json + '\n';
}

JournalContents decodeJournal(const QByteArray &bytes)
{
    JournalContents contents;
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', from);
        if (end < 0) {
            // The last record was being written when the computer went down: whole but
            // for its line feed it counts (taken up again, the journal gets that line
            // feed first), torn it does not.
            JournalRecord record;
            if (decodeLine(bytes.mid(from), record))
                contents.records.append(record);
            else
                ++contents.skipped;
            break;
        }
        JournalRecord record;
        if (decodeLine(bytes.mid(from, end - from), record))
            contents.records.append(record);
        else if (end > from)
            ++contents.skipped;
        from = end + 1;
    }
    return contents;
}

bool readJournal(const QString &path, JournalContents &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    contents = decodeJournal(file.readAll());
    return true;
}

ExerciseJournal::ExerciseJournal() = default;

ExerciseJournal::~ExerciseJournal()
{
    close();
}

bool ExerciseJournal::openFile(const QString &path, bool create)
{
    close();
    const QByteArray native = QFile::encodeName(path);
    // Created for the owner alone, from the first byte on: no moment in which a
    // classmate logged in on the same computer could open it.
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    const int fd = ::open(native.constData(), flags, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    if (!create) {
        ::fchmod(fd, S_IRUSR | S_IWUSR);
        // A record torn by the crash must not swallow the first new one.
        QFile reader(path);
        if (reader.open(QIODevice::ReadOnly) && reader.size() > 0) {
            reader.seek(reader.size() - 1);
            if (reader.read(1) != "\n" && ::write(fd, "\n", 1) != 1) {
                ::close(fd);
                return false;
            }
        }
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    m_file = std::move(file);
    m_path = path;
    return true;
}

bool ExerciseJournal::create(const QString &path)
{
    return openFile(path, true);
}

bool ExerciseJournal::reopen(const QString &path)
{
    return openFile(path, false);
}

void ExerciseJournal::close()
{
    if (m_file) {
        m_file->flush();
        ::fsync(m_file->handle());
        m_file.reset();
    }
    m_path.clear();
}

bool ExerciseJournal::isOpen() const
{
    return m_file != nullptr;
}

bool ExerciseJournal::append(const JournalRecord &record, bool sync)
{
    if (!m_file)
        return false;
    const QByteArray line = encodeJournalRecord(record);
    if (m_file->write(line) != line.size() || !m_file->flush())
        return false;
    return !sync || ::fsync(m_file->handle()) == 0;
}

JournalReplay replayJournal(const QList<JournalRecord> &records, ControlBoard &board)
{
    JournalReplay replay;
    board.reset();
    for (const JournalRecord &r : records) {
        switch (r.kind) {
        case JournalRecord::Kind::Initiated:
            replay.initiated = r;
            break;
        case JournalRecord::Kind::Report: {
            const ControlBoard::Outcome outcome = board.handleReport(r.computer, r.user, r.text, r.at);
            if (outcome.bestListEntry)
                replay.pendingBestList.insert(board.rows().at(outcome.row).key, *outcome.bestListEntry);
            break;
        }
        case JournalRecord::Kind::BestListEntered:
            board.markEnteredInBestList(r.key);
            replay.pendingBestList.remove(r.key);
            break;
        case JournalRecord::Kind::Ended:
            replay.ended = true;
            break;
        case JournalRecord::Kind::Browser:
            replay.browser.append(r.data);
            break;
        case JournalRecord::Kind::Removed:
            board.removeParticipant(r.key);
            replay.pendingBestList.remove(r.key);
            break;
        }
    }
    return replay;
}

} // namespace kapitolo
