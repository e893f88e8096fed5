#pragma once

#include <QString>
#include <QStringList>

namespace kapitolo {

// Rules and texts of the quiz dialogs that need no widget.

// The value of a minutes or seconds field: blanks removed, read as a number (a comma or a
// point as decimal separator) and taken to the nearest whole number; text that is not a
// number counts as 0. The fields hold 0 .. 59, so the value is kept in that range.
int timeFieldValue(const QString &text);

// "15  von  20": correct answers and the number of questions, as the finished dialog shows them.
QString correctOfTotalText(int correctCount, int questionCount);

// The finished dialog offers a repetition only after an own quiz with a failed attempt.
bool repetitionOffered(int networkRole, int failedCount);

// What the finished dialog shows about the best list.
enum class BestListState {
    NotOffered, // network quiz or repetition: neither text nor button
    Offered,    // own complete quiz not entered yet: the button "In Bestenliste eintragen"
    Entered,    // entered: the text, no button
};

// Text of BestenlisteLab after an entry.
QString bestListEnteredText();

// The lines of the key-figures box, in order.
QStringList keyFigureLines();

} // namespace kapitolo
