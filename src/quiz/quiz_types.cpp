#include "quiz/quiz_types.h"

#include "platform/cp1252.h"
#include "platform/nearest.h"

#include <cmath>

namespace kapitolo {

bool entersBestList(const QuizRun &run)
{
    return run.networkRole == nrOwnQuiz && (run.selectionMode == smComplete || run.selectionMode == smRandom);
}

QString percentNumber(double value)
{
    // One decimal, point as separator, whatever the locale.
    return QString::number(value * 100.0, 'f', 1);
}

QString nameEntryHint(const QString &typed)
{
    return fitsCp1252(typed) ? QStringLiteral("Bitte Name für Protokoll und Bestenliste eingeben.")
                             : QStringLiteral("In der Bestenliste steht: ") + storedAsCp1252(typed);
}

QString percentText(double value)
{
    return percentNumber(value) + QStringLiteral(" %");
}

QString clockText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

qint32 gradeFor(double totalPerformance)
{
    static const double thresholds[6] = {0.85, 0.70, 0.55, 0.40, 0.25, 0.0};
    for (int i = 0; i < 6; ++i)
        if (totalPerformance >= thresholds[i])
            return i + 1;
    return 6;
}

QString ratingWord(qint32 grade)
{
    switch (grade) {
    case 1: return QStringLiteral("sehr gut");
    case 2: return QStringLiteral("gut");
    case 3: return QStringLiteral("befriedigend");
    case 4: return QStringLiteral("ausreichend");
    case 5: return QStringLiteral("mangelhaft");
    case 6: return QStringLiteral("ungenügend");
    default: return QString();
    }
}

} // namespace kapitolo
