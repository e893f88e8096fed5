#pragma once

#include "document/topic_document.h"
#include "sharing/sheet_picture.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kapitolo {

// The three kinds of sheet (items of ModeRadio).
enum SheetKind : int {
    skWorksheet = 0,   // base content, answer frames and blank gaps
    skSolutionSheet = 1, // base content and solutions
    skOverlay = 2,     // solutions only, at their places on the other two
};

// Drawing mode of the card renderer and the mark-up layout for a sheet kind: 1, 3, 2.
int sheetDrawMode(int kind);

QString defaultSheetTask();
QString sheetFooterText();
// The web address printed at the right end of the footer.
QString sheetFooterAddress();

// Everything the sheet window lets the user choose.
struct SheetOptions {
    int kind = skWorksheet;
    QString title;
    QString task = defaultSheetTask();
    bool nameField = true;
    bool classField = true;
    bool dateField = true;
    bool answerTexts = true;
    int fromQuestion = 1; // single questions: the first question on the sheet
    QString footerAddress = sheetFooterAddress();
};

// One line of a single-questions text: the question number counts the non-empty lines.
struct SheetQuestion {
    int number = 0;
    QString question;
    QString answer; // "---" for a line without "//"
};
QList<SheetQuestion> sheetQuestions(const QString &fragentext);

// The answer texts listed above the body, sorted without regard to case.
QStringList sheetAnswerTexts(const TopicDocument &document, int fromQuestion);

// Builds the sheet of the document. The document is not changed: its objects are
// drawn from a copy.
SheetPicture BuildSheet(const TopicDocument &document, const SheetOptions &options);

// The size of the card the sheet's image body is drawn from: the extended image at its
// own width, kept between 870 (the view's reference width, so that captions stay well
// measured) and 1600 pixels (enough for 300 dpi on 16.6 cm).
QSize sheetCardSize(const QSize &baseSize, const RectD &margins);

} // namespace kapitolo
