#pragma once

#include "document/document_json.h"
#include "document/topic_document.h"
#include "sharing/sheet_picture.h"
#include "view/view_output.h"

#include <QColor>
#include <QList>
#include <QStringList>

namespace kapitolo::test {

// Gives the scripted names in turn (empty: cancelled) and records the dialogs asked.
class ScriptedSaveDialog : public SaveFileDialog
{
public:
    QString getSaveFileName(const SaveDialogOptions &options) override
    {
        asked << options;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList answers;
    QList<SaveDialogOptions> asked;
};

inline TopicDocument documentFrom(const QByteArray &json)
{
    TopicDocument d;
    QString error;
    documentFromJson(json, QString(), d, &error);
    d.fileName = QStringLiteral("/tmp/test.tsr");
    return d;
}

// A cloze text with three gaps, one of them followed by a full stop.
inline TopicDocument clozeDocument()
{
    return documentFrom(R"({"titel": "Der Wasserkreislauf", "DokTyp": 1,
        "lueckentext": "<B>Wasser</B>\r\nDie <<Sonne>> erwärmt das Meer. Das Wasser <<verdunstet>> und steigt als Dampf auf.\r\n\r\nAm Ende fällt es als <<Regen>>."})");
}

// Single questions with empty lines between them and one line without an answer.
inline TopicDocument questionDocument(int count = 8)
{
    QString text;
    for (int n = 1; n <= count; ++n) {
        text += n == 3 ? QStringLiteral("Frage ohne Antwort %1\r\n\r\n").arg(n)
                       : QStringLiteral("Wie heißt Frage %1? // Antwort %1\r\n  \r\n").arg(n);
    }
    QByteArray json = R"({"titel": "Allgemeinwissen", "DokTyp": 2, "fragentext": ")";
    QString escaped = text;
    escaped.replace(QLatin1String("\r"), QLatin1String("\\r")).replace(QLatin1String("\n"), QLatin1String("\\n"));
    json += escaped.toUtf8() + "\"}";
    return documentFrom(json);
}

// A white picture with labels around it, a plain text and an info point.
inline TopicDocument labelDocument(int width = 870, int height = 435)
{
    TopicDocument d = documentFrom(R"({"titel": "Hauptstädte", "DokTyp": 0, "objects": [
        {"Cap": "Bern", "Sx": 0.2, "Sy": 0.3, "Kx": 0.25, "Ky": 0.3, "KAusr": 1, "Sline": 1},
        {"Cap": "Zürich", "Sx": 0.6, "Sy": 0.5, "Kx": 0.6, "Ky": 0.4, "KAusr": 2},
        {"Cap": "Wien", "Sx": 0.8, "Sy": 0.7, "Kx": 0.75, "Ky": 0.7, "KAusr": 3},
        {"Cap": "Alpen", "Typ": 1, "Sx": 0.4, "Sy": 0.8, "Kx": 0.4, "Ky": 0.8, "KAusr": 4},
        {"Cap": "Mehr", "Typ": 2, "Ebene": 2, "Sx": 0.1, "Sy": 0.1, "Kx": 0.1, "Ky": 0.1}]})");
    d.baseImage = QImage(width, height, QImage::Format_ARGB32);
    d.baseImage.fill(QColor(230, 240, 250));
    return d;
}

inline bool isSolution(const SheetItem &item)
{
    return item.kind == SheetItem::Text && item.pen == QColor(255, 0, 0);
}

} // namespace kapitolo::test
