#pragma once

#include "sharing/sheet_picture.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

namespace kapitolo {

class ControlBoard;
struct TopicDocument;

// What the class report of an exercise shows: the exercise, the pupils' table, the table
// of places, gaps and questions (hardest first) and the card with their marks.
struct ClassReport {
    QString title;    // the document's title
    QString fileName; // the document's file, for the heading
    QString channel;
    QDateTime when;
    const ControlBoard *board = nullptr;
    const TopicDocument *document = nullptr;
    QImage markedCard; // none for single questions
};

// The report as worksheet pages (sheet units, one SheetPicture a page), so that the
// worksheets' printing and PDF code serves it: as many pages as the tables need, the card
// on the last, "Seite n von m" at the foot of each.
QList<SheetPicture> buildClassReport(const ClassReport &report);

} // namespace kapitolo
