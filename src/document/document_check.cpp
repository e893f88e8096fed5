#include "document/document_check.h"

#include "document/document_json.h"

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

} // namespace

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

    if (d.DokTyp == dtImageLabelling) {
        const bool anyLabel = std::any_of(d.objects.begin(), d.objects.end(),
                                          [](const DocObject &o) { return o.Typ == otLabel; });
        if (!anyLabel)
            problems << QStringLiteral("Die Bildbeschriftung enthält keine Beschriftungen zum Abfragen.");
    }
    return problems;
}

} // namespace kapitolo
