#include "network/control_board.h"

#include "platform/clock.h"
#include "platform/save_path.h"
#include "quiz/quiz_types.h"

#include <QColor>

namespace kapitolo {

namespace {

ParticipantRow::State stateOf(qint32 endState)
{
    switch (endState) {
    case esFinished: return ParticipantRow::State::Finished;
    case esCancelled: return ParticipantRow::State::Cancelled;
    case esTimeLimitReached: return ParticipantRow::State::TimeLimit;
    default: return ParticipantRow::State::Running;
    }
}

// The quiz clock "mm:ss" as "h:mm:ss": a spreadsheet reads "00:42" as 42 minutes, this as
// 42 seconds.
QString durationCell(const QString &clock)
{
    const qsizetype colon = clock.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return clock;
    const qint64 seconds = clock.left(colon).toLongLong() * 60 + clock.mid(colon + 1).toLongLong();
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString decimalComma(const QString &number)
{
    QString text = number;
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

} // namespace

// A cell a spreadsheet would take for a formula is kept as text; names arrive from the
// network and are not to be trusted.
QString csvCell(QString text)
{
    text = formulaSafe(text);
    if (text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n'))
        || text.contains(QLatin1Char('\r'))) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QString participantStateText(ParticipantRow::State state)
{
    switch (state) {
    case ParticipantRow::State::Running: return QStringLiteral("läuft");
    case ParticipantRow::State::Finished: return QStringLiteral("beendet");
    case ParticipantRow::State::Cancelled: return QStringLiteral("abgebrochen");
    case ParticipantRow::State::TimeLimit: return QStringLiteral("Zeitlimit");
    }
    return {};
}

ControlBoard::ControlBoard(QObject *parent)
    : QAbstractTableModel(parent)
{
}

ControlBoard::Outcome ControlBoard::handleReport(const QString &computer, const QString &userName, const QString &text,
                                                 double now)
{
    Outcome outcome;
    NetworkReport r;
    const bool parsed = parseNetworkReport(text, r);
    const auto known = parsed ? m_rowOfKey.constFind(r.key) : m_rowOfKey.constEnd();
    const bool announced = known != m_rowOfKey.constEnd();
    if (!parsed || (!announced && r.kind != NetworkReport::Kind::Init) || m_removed.contains(r.key)) {
        // Malformed, or a late report of an earlier exercise on this channel.
        ++m_discarded;
        Q_EMIT countsChanged();
        return outcome;
    }

    int row;
    if (announced) {
        row = *known;
    } else {
        row = int(m_rows.size());
        beginInsertRows(QModelIndex(), row, row);
        ParticipantRow fresh;
        fresh.key = r.key;
        m_rows.append(fresh);
        m_rowOfKey.insert(r.key, row);
        m_items.announce(r.key);
        endInsertRows();
    }
    ParticipantRow &p = m_rows[row];
    switch (r.kind) {
    case NetworkReport::Kind::Init:
        p.computer = computer;
        p.user = userName;
        p.start = r.startText;
        break;
    case NetworkReport::Kind::Action:
        // Sent only while the quiz runs: one that arrives after the end report overtook
        // it on the way and holds older figures.
        if (p.state != ParticipantRow::State::Running)
            break;
        if (m_items.action(r.key, r.hitObject, r.correctCount, r.failedCount))
            Q_EMIT itemChanged(r.hitObject);
        p.questionCount = r.questionCount;
        p.correct = r.correctCount;
        p.failed = r.failedCount;
        p.open = r.openCount;
        p.successRate = r.successRate;
        p.totalPerformance = r.totalPerformance;
        p.grade = r.grade;
        p.clock = r.clock;
        if (p.start.isEmpty())
            p.start = r.startText;
        p.state = stateOf(r.endState);
        break;
    case NetworkReport::Kind::Finish:
        p.state = stateOf(r.endState);
        p.clock = r.clock;
        break;
    case NetworkReport::Kind::BestList:
        p.totalPerformance = percentNumber(r.performance);
        p.grade = gradeFor(r.performance);
        // Only a finished quiz sends its result: its end report may have been lost, and
        // with it the time the pupil needed, which the result carries too.
        if (p.state == ParticipantRow::State::Running) {
            p.state = ParticipantRow::State::Finished;
            p.clock = clockText(r.durationMs / 1000);
        }
        if (!p.inBestList) {
            BestListEntry entry;
            entry.name = bestListName(r.name);
            entry.computer = r.computer;
            entry.start = r.start;
            entry.durationMs = r.durationMs;
            entry.end = r.start + double(r.durationMs / 1000) / 86400.0;
            entry.performance = r.performance;
            outcome.bestListEntry = entry;
            m_bestListEntries.insert(r.key, entry);
        }
        break;
    }
    p.lastReport = now;
    ++m_accepted;
    outcome.accepted = true;
    outcome.row = row;
    rowChanged(row);
    return outcome;
}

void ControlBoard::markEnteredInBestList(const QString &key)
{
    const auto known = m_rowOfKey.constFind(key);
    if (known != m_rowOfKey.constEnd())
        m_rows[*known].inBestList = true;
}

std::optional<ParticipantRow> ControlBoard::removeParticipant(const QString &key)
{
    const auto known = m_rowOfKey.constFind(key);
    if (known == m_rowOfKey.constEnd())
        return std::nullopt;
    const int row = *known;
    beginRemoveRows(QModelIndex(), row, row);
    const ParticipantRow gone = m_rows.takeAt(row);
    m_rowOfKey.clear();
    for (int r = 0; r < m_rows.size(); ++r)
        m_rowOfKey.insert(m_rows.at(r).key, r);
    m_removed.insert(key);
    endRemoveRows();
    m_items.remove(key);
    Q_EMIT itemsReset();
    Q_EMIT countsChanged();
    return gone;
}

std::optional<BestListEntry> ControlBoard::bestListEntry(const QString &key) const
{
    const auto it = m_bestListEntries.constFind(key);
    return it == m_bestListEntries.constEnd() ? std::nullopt : std::optional<BestListEntry>(*it);
}

void ControlBoard::countDiscarded()
{
    ++m_discarded;
    Q_EMIT countsChanged();
}

void ControlBoard::reset()
{
    beginResetModel();
    m_rows.clear();
    m_rowOfKey.clear();
    m_removed.clear();
    m_bestListEntries.clear();
    m_items.reset();
    m_discarded = 0;
    m_accepted = 0;
    endResetModel();
    Q_EMIT countsChanged();
}

void ControlBoard::rowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    Q_EMIT countsChanged();
}

int ControlBoard::runningCount() const
{
    int n = 0;
    for (const ParticipantRow &r : m_rows)
        if (r.state == ParticipantRow::State::Running)
            ++n;
    return n;
}

int ControlBoard::finishedCount() const
{
    return joinedCount() - runningCount();
}

QString ControlBoard::countsText() const
{
    return QStringLiteral("Teilnehmer: %1    laufend: %2    beendet: %3    verworfene Meldungen: %4")
        .arg(joinedCount())
        .arg(runningCount())
        .arg(finishedCount())
        .arg(m_discarded);
}

QString ControlBoard::columnTitle(int column)
{
    switch (column) {
    case ColComputer: return QStringLiteral("Rechner");
    case ColUser: return QStringLiteral("Benutzer");
    case ColStart: return QStringLiteral("Beginn");
    case ColState: return QStringLiteral("Status");
    case ColQuestions: return QStringLiteral("Fragen");
    case ColCorrect: return QStringLiteral("Richtig");
    case ColFailed: return QStringLiteral("Fehlversuche");
    case ColOpen: return QStringLiteral("Offen");
    case ColSuccessRate: return QStringLiteral("Erfolgsquote");
    case ColTotalPerformance: return QStringLiteral("Gesamtleistung");
    case ColGrade: return QStringLiteral("Note");
    case ColClock: return QStringLiteral("Zeit");
    case ColLastReport: return QStringLiteral("Letzte Meldung");
    default: return {};
    }
}

QString ControlBoard::cellText(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const ParticipantRow &p = m_rows.at(row);
    auto percent = [](const QString &number) { return number.isEmpty() ? QString() : number + QStringLiteral(" %"); };
    switch (column) {
    case ColComputer: return p.computer;
    case ColUser: return p.user;
    case ColStart: return p.start;
    case ColState: return participantStateText(p.state);
    case ColQuestions: return p.questionCount < 0 ? QString() : QString::number(p.questionCount);
    case ColCorrect: return QString::number(p.correct);
    case ColFailed: return QString::number(p.failed);
    case ColOpen: return p.open < 0 ? QString() : QString::number(p.open);
    case ColSuccessRate: return percent(p.successRate);
    case ColTotalPerformance: return percent(p.totalPerformance);
    case ColGrade: return p.grade > 0 ? QString::number(p.grade) : QString();
    case ColClock: return p.clock;
    case ColLastReport: return p.lastReport > 0 ? reportTimeOfDay(p.lastReport) : QString();
    default: return {};
    }
}

int ControlBoard::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ControlBoard::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ControlBoard::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ParticipantRow &p = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() <= ColUser ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    case Qt::BackgroundRole:
        if (index.column() != ColState)
            return {};
        switch (p.state) {
        case ParticipantRow::State::Running: return QColor(222, 235, 250);
        case ParticipantRow::State::Finished: return QColor(214, 240, 208);
        case ParticipantRow::State::Cancelled: return QColor(228, 228, 228);
        case ParticipantRow::State::TimeLimit: return QColor(250, 228, 196);
        }
        return {};
    case Qt::ToolTipRole:
        return QString(QStringLiteral("Teilnehmerschlüssel: ") + p.key);
    default:
        return {};
    }
}

QVariant ControlBoard::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return columnTitle(section);
    return section + 1;
}

QByteArray ControlBoard::resultsCsv() const
{
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << columnTitle(c);
    // Percent columns carry plain numbers so that a spreadsheet can calculate with them.
    header[ColSuccessRate] += QStringLiteral(" (%)");
    header[ColTotalPerformance] += QStringLiteral(" (%)");
    header[ColClock] += QStringLiteral(" (Std:Min:Sek)");
    QString text = header.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (int row = 0; row < m_rows.size(); ++row) {
        QStringList cells;
        for (int c = 0; c < ColumnCount; ++c) {
            if (c == ColSuccessRate)
                cells << decimalComma(m_rows.at(row).successRate);
            else if (c == ColTotalPerformance)
                cells << decimalComma(m_rows.at(row).totalPerformance);
            else if (c == ColClock)
                cells << durationCell(m_rows.at(row).clock);
            else
                cells << csvCell(cellText(row, c));
        }
        text += cells.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString resultsFileName(const QString &channel, const QDateTime &when)
{
    return QStringLiteral("Netzwerk-Uebung-") + channel + QLatin1Char('-')
        + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".csv");
}

bool writeResultsFile(const QString &path, const QByteArray &bytes)
{
    // The class's grades: for the teacher's eyes, also in a folder all users share.
    return writePrivateFileAtomically(path, bytes);
}

} // namespace kapitolo
