#include "quiz/dialog_rules.h"

#include "platform/nearest.h"
#include "quiz/quiz_types.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace kapitolo {

int timeFieldValue(const QString &text)
{
    QString digits;
    for (QChar c : text)
        if (!c.isSpace())
            digits += c == QLatin1Char(',') ? QLatin1Char('.') : c;
    bool ok = false;
    const double value = QLocale::c().toDouble(digits, &ok);
    if (!ok || !std::isfinite(value))
        return 0;
    return std::clamp(nearest(value), 0, 59);
}

QString correctOfTotalText(int correctCount, int questionCount)
{
    return QString::number(correctCount) + QStringLiteral("  von  ") + QString::number(questionCount);
}

bool repetitionOffered(int networkRole, int failedCount)
{
    return networkRole == nrOwnQuiz && failedCount >= 1;
}

QString bestListEnteredText()
{
    return QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen.");
}

QStringList keyFigureLines()
{
    return {
        QStringLiteral("\"Status\":"),
        QStringLiteral("Zeigt den aktuellen Status an. "),
        QStringLiteral("Mögliche Anzeigen sind: \"warte auf Antwort\", \"Richtig\", \"Falsch\""),
        QString(),
        QStringLiteral("\"Richtige Antworten\":"),
        QStringLiteral("Gibt die bisherige Anzahl der richtig beantworteten Fragen an."),
        QString(),
        QStringLiteral("\"Fehlversuche\":"),
        QStringLiteral("Gibt die bisherige Anzahl der falschen Antworten an. Fragen, die falsch beantwortet "),
        QStringLiteral("wurden, werden im weiteren Verlauf des Quiz wiederholt."),
        QString(),
        QStringLiteral("\"Aktuelle Erfolgsquote\":"),
        QStringLiteral("Die aktuelle Erfolgsquote ist:   Q = richtig / (richtig + falsch)"),
        QStringLiteral("Der Wert sagt aus, welcher Anteil der bisher getätigten Antworten richtig war."),
        QString(),
        QStringLiteral("\"Offene Fragen\":"),
        QStringLiteral("Gibt die aktuelle Anzahl der Fragen an, die noch gestellt werden."),
        QString(),
        QStringLiteral("\"Gesamtleistung\":"),
        QStringLiteral("Die bisherige Gesamtleistung ist:   L = richtig / (richtig + falsch + offen)"),
        QStringLiteral("Diese Kennzahl ist die Grundlage der Leistungsbwertung (Benotung) am Ende des "),
        QStringLiteral("Quiz."),
        QString(),
        QStringLiteral("\"Benötigte Zeit\":"),
        QStringLiteral("Zeigt die bisher benötigte Zeit im Format \"Minuten:Sekunden\" an."),
    };
}

} // namespace kapitolo
