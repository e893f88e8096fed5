#include "document/document_check.h"

#include "document/document_json.h"
#include "platform/cp1252.h"

#include <QSet>

namespace kapitolo {

namespace {

bool inUnitRange(double v)
{
    return v >= 0.0 && v <= 1.0;
}

QString objectName(qsizetype index, const DocObject &o)
{
    QString name = QStringLiteral("Objekt %1 (Typ %2").arg(index).arg(o.Typ);
    if (!o.Cap.isEmpty())
        name += QStringLiteral(", \"") + QString(o.Cap).replace(QLatin1String("\r\n"), QLatin1String(" "))
            + QLatin1Char('"');
    return name + QLatin1Char(')');
}

// The header texts with the keys a build source gives them.
QList<std::pair<const char *, const QString *>> headerTexts(const TopicDocument &d)
{
    return {{"vers", &d.vers},         {"titel", &d.titel},           {"autor", &d.autor},
            {"bemerkung", &d.bemerkung}, {"lueckentext", &d.lueckentext}, {"fragentext", &d.fragentext}};
}

QString fieldName(const char *key)
{
    return QStringLiteral("Feld \"") + QLatin1String(key) + QLatin1Char('"');
}

QString lostLetterProblem(const QString &where, const QString &text)
{
    const QList<qsizetype> positions = lostLetterPositions(text);
    if (positions.isEmpty())
        return QString();
    QStringList places;
    for (const qsizetype p : positions)
        places << QString::number(p + 1);
    return where + QStringLiteral(": \"?\" an Stelle ") + places.join(QStringLiteral(", "))
        + QStringLiteral(" steht wohl für einen verlorenen Buchstaben (ein Zeichen, das es in Windows-1252 nicht gibt).");
}

} // namespace

QList<qsizetype> lostLetterPositions(const QString &text)
{
    // A question mark ends a sentence and is followed by a blank, a line break, a
    // bracket or another mark; one with a letter right after it stood for a letter.
    // Web addresses ("https://…/seite?id=3") are left alone.
    auto inAddress = [&text](qsizetype i) {
        qsizetype start = i;
        while (start > 0 && !text.at(start - 1).isSpace())
            --start;
        qsizetype end = i;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QStringView word = QStringView(text).mid(start, end - start);
        return word.contains(QLatin1String("://")) || word.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
    };
    QList<qsizetype> positions;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text.at(i) == QLatin1Char('?') && text.at(i + 1).isLetter() && !inAddress(i))
            positions.append(i);
    return positions;
}

QStringList unencodableTexts(const TopicDocument &d)
{
    QStringList problems;
    auto check = [&problems](const QString &where, const QString &text) {
        QString character;
        const qsizetype at = firstNonCp1252(text, &character);
        if (at < 0)
            return;
        const char32_t code = QStringView(character).toUcs4().value(0);
        const QString hex = QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        problems << where + QStringLiteral(": Das Zeichen \"") + character + QStringLiteral("\" (U+") + hex
                + QStringLiteral(") an Stelle ") + QString::number(at + 1)
                + QStringLiteral(" gibt es in Windows-1252, dem Zeichensatz der Themendateien, nicht.");
    };
    for (const auto &[key, text] : headerTexts(d))
        check(fieldName(key), *text);
    for (qsizetype i = 0; i < d.objects.size(); ++i)
        check(fieldName("Cap") + QStringLiteral(" von ") + objectName(i, d.objects.at(i)), d.objects.at(i).Cap);
    return problems;
}

QStringList checkDocument(const TopicDocument &d)
{
    QStringList problems;

    if (d.DokTyp < dtImageLabelling || d.DokTyp > dtSingleQuestions)
        problems << QStringLiteral("Unbekannter Dokumenttyp %1.").arg(d.DokTyp);

    qsizetype gapObjects = 0;
    for (qsizetype i = 0; i < d.objects.size(); ++i) {
        const DocObject &o = d.objects.at(i);
        if (o.Typ == otGap)
            ++gapObjects;
        // Gap anchors are laid out anew from the text; the stored ones do not matter.
        if (o.Typ != otGap
            && !(inUnitRange(o.Sx) && inUnitRange(o.Sy) && inUnitRange(o.Kx) && inUnitRange(o.Ky)))
            problems << objectName(i, o) + QStringLiteral(": Position außerhalb der Karte (0..1).");
        if ((o.Typ == otLabel || o.Typ == otGap || o.Typ == otAnswer || o.Typ == otInfoPoint
             || o.Typ == otLink || o.Typ == otDocLink)
            && o.Cap.trimmed().isEmpty())
            problems << objectName(i, o) + QStringLiteral(": leere Beschriftung.");
    }

    if (d.DokTyp == dtCloze) {
        const qsizetype gaps = clozeGapWords(d.lueckentext).size();
        if (gaps > gapObjects)
            problems << QStringLiteral("Der Lückentext hat %1 Lücken, aber nur %2 Lückenobjekte.")
                            .arg(gaps)
                            .arg(gapObjects);
        else if (gapObjects > gaps)
            problems << QStringLiteral("Es gibt %1 Lückenobjekte, aber der Lückentext hat nur %2 Lücken.")
                            .arg(gapObjects)
                            .arg(gaps);
    } else if (gapObjects > 0) {
        problems << QStringLiteral("%1 Lückenobjekte in einem Dokument ohne Lückentext.").arg(gapObjects);
    }

    if (d.DokTyp == dtSingleQuestions) {
        if (d.AnzFrageNummern < 1)
            problems << QStringLiteral("Das Dokument enthält keine Fragen.");
        QSet<qint32> answered;
        for (const DocObject &o : d.objects)
            if (o.Typ == otAnswer && !o.Cap.trimmed().isEmpty() && o.Cap.trimmed() != QLatin1String("---"))
                answered.insert(o.FrageNummer);
        for (qint32 n = 1; n <= d.AnzFrageNummern; ++n)
            if (!answered.contains(n))
                problems << QStringLiteral("Frage %1 hat keine Antwort.").arg(n);
    }

    for (const auto &[key, text] : headerTexts(d)) {
        const QString problem = lostLetterProblem(fieldName(key), *text);
        if (!problem.isEmpty())
            problems << problem;
    }
    for (qsizetype i = 0; i < d.objects.size(); ++i) {
        const DocObject &o = d.objects.at(i);
        if (o.Typ == otLink || o.Typ == otDocLink)
            continue;
        const QString problem = lostLetterProblem(fieldName("Cap") + QStringLiteral(" von ") + objectName(i, o), o.Cap);
        if (!problem.isEmpty())
            problems << problem;
    }

    if (d.DokTyp == dtImageLabelling) {
        const bool anyLabel = std::any_of(d.objects.begin(), d.objects.end(),
                                          [](const DocObject &o) { return o.Typ == otLabel; });
        if (!anyLabel)
            problems << QStringLiteral("Die Bildbeschriftung enthält keine Beschriftungen zum Abfragen.");
    }
    return problems;
}

} // namespace kapitolo
