#include "network/network_reports.h"

#include "platform/clock.h"
#include "quiz/quiz_types.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <cmath>

namespace kapitolo {

namespace {

constexpr int kMaxNameChars = 255;
constexpr int kMaxTimeChars = 32;

bool parseInt(const QString &text, qint32 &value, qint32 low, qint32 high)
{
    static const QRegularExpression pattern(QStringLiteral("^-?[0-9]{1,10}$"));
    if (!pattern.match(text).hasMatch())
        return false;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < low || v > high)
        return false;
    value = qint32(v);
    return true;
}

bool isKey(const QString &text)
{
    if (text.size() != kParticipantKeyLength)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            return false;
    return true;
}

bool isClock(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{2,8}:[0-5][0-9]$"));
    return pattern.match(text).hasMatch();
}

bool isPercent(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,3}\\.[0-9]$"));
    return pattern.match(text).hasMatch() && text.toDouble() <= 100.0;
}

bool isTimeText(const QString &text)
{
    return !text.isEmpty() && text.size() <= kMaxTimeChars;
}

} // namespace

QString reportTimeOfDay(double dayNumber)
{
    return fromDayNumber(dayNumber).time().toString(QStringLiteral("HH:mm:ss"));
}

QString reportFloat(double value)
{
    if (value == 0 || !std::isfinite(value))
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    QString text;
    if (magnitude >= 1e-5 && magnitude < 1e15) {
        const int integerDigits = int(std::floor(std::log10(magnitude))) + 1;
        text = QString::number(value, 'f', qMax(0, 15 - integerDigits));
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
        }
    } else {
        text = QString::number(value, 'e', 14);
        const qsizetype e = text.indexOf(QLatin1Char('e'));
        QString mantissa = text.left(e);
        while (mantissa.endsWith(QLatin1Char('0')))
            mantissa.chop(1);
        if (mantissa.endsWith(QLatin1Char('.')))
            mantissa.chop(1);
        const int exponent = text.mid(e + 1).toInt();
        text = mantissa + QLatin1Char('E') + QString::number(exponent);
    }
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

bool parseReportFloat(const QString &text, double &value)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]{1,20}([.,][0-9]{1,20})?([eE][+-]?[0-9]{1,3})?$"));
    if (!pattern.match(text).hasMatch())
        return false;
    QString normal = text;
    normal.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = normal.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString newParticipantKey()
{
    QRandomGenerator *entropy = QRandomGenerator::system();
    QString key(kParticipantKeyLength, Qt::Uninitialized);
    for (QChar &c : key)
        c = QChar(u'A' + int(entropy->bounded(26u)));
    return key;
}

QStringList initReportLines(const QString &key, const QString &name, double startTime)
{
    return {QLatin1String(kReportInit), key, name, reportTimeOfDay(startTime)};
}

QStringList actionReportLines(const QString &key, int hitObject, int coverState, int failedAttempts,
                              const QuizRun &run, const QuizScore &score)
{
    return {QLatin1String(kReportAction),
            key,
            QString::number(hitObject),
            QString::number(coverState),
            QString::number(failedAttempts),
            QString::number(run.endState),
            reportTimeOfDay(run.startTime),
            QString::number(score.questionCount),
            QString::number(score.correctCount),
            QString::number(score.failedCount),
            QString::number(score.openCount),
            score.clockText,
            percentNumber(score.successRate),
            percentNumber(score.totalPerformance),
            QString::number(gradeFor(score.totalPerformance))};
}

QStringList finishReportLines(const QString &key, int endState, const QString &clock)
{
    return {QLatin1String(kReportFinish), key, QString::number(endState), clock};
}

QStringList bestListReportLines(const QString &key, const QString &name, const QString &computer, double startTime,
                                int elapsedMs, double totalPerformance)
{
    return {QLatin1String(kReportBestList), key, name, computer, reportFloat(startTime), QString::number(elapsedMs),
            reportFloat(totalPerformance)};
}

bool parseNetworkReport(const QString &text, NetworkReport &report)
{
    if (text.size() > kMaxReportChars || !text.endsWith(QStringLiteral("\r\n")))
        return false;
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the last CR LF
    for (const QString &line : std::as_const(lines))
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            return false;
    if (lines.size() < 2 || !isKey(lines.at(1)))
        return false;

    NetworkReport r;
    r.key = lines.at(1);
    const QString &kind = lines.first();
    if (kind == QLatin1String(kReportInit)) {
        if (lines.size() != 4 || lines.at(2).size() > kMaxNameChars || !isTimeText(lines.at(3)))
            return false;
        r.kind = NetworkReport::Kind::Init;
        r.name = lines.at(2);
        r.startText = lines.at(3);
    } else if (kind == QLatin1String(kReportAction)) {
        if (lines.size() != 15)
            return false;
        r.kind = NetworkReport::Kind::Action;
        constexpr qint32 kMax = 0x7fffffff;
        if (!parseInt(lines.at(2), r.hitObject, 0, kMax) || !parseInt(lines.at(3), r.coverState, -6, 0)
            || !parseInt(lines.at(4), r.failedAttempts, 0, kMax) || !parseInt(lines.at(5), r.endState, 0, 3)
            || !isTimeText(lines.at(6)) || !parseInt(lines.at(7), r.questionCount, 0, kMax)
            || !parseInt(lines.at(8), r.correctCount, 0, r.questionCount)
            || !parseInt(lines.at(9), r.failedCount, 0, kMax) || !parseInt(lines.at(10), r.openCount, 0, r.questionCount)
            || !isClock(lines.at(11)) || !isPercent(lines.at(12)) || !isPercent(lines.at(13))
            || !parseInt(lines.at(14), r.grade, 1, 6))
            return false;
        r.startText = lines.at(6);
        r.clock = lines.at(11);
        r.successRate = lines.at(12);
        r.totalPerformance = lines.at(13);
    } else if (kind == QLatin1String(kReportFinish)) {
        if (lines.size() != 4 || !parseInt(lines.at(2), r.endState, 1, 3) || !isClock(lines.at(3)))
            return false;
        r.kind = NetworkReport::Kind::Finish;
        r.clock = lines.at(3);
    } else if (kind == QLatin1String(kReportBestList)) {
        if (lines.size() != 7 || lines.at(2).size() > kMaxNameChars || lines.at(3).isEmpty()
            || lines.at(3).size() > kMaxNameChars)
            return false;
        r.kind = NetworkReport::Kind::BestList;
        r.name = lines.at(2);
        r.computer = lines.at(3);
        // Day numbers of this and the next centuries; the fraction of a quiz between 0 and 1.
        if (!parseReportFloat(lines.at(4), r.start) || r.start < 0 || r.start > 1e6
            || !parseInt(lines.at(5), r.durationMs, 0, 0x7fffffff) || !parseReportFloat(lines.at(6), r.performance)
            || r.performance < 0 || r.performance > 1)
            return false;
    } else {
        return false;
    }
    report = r;
    return true;
}

} // namespace kapitolo
