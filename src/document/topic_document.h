#pragma once

#include "platform/geometry.h"

#include <QImage>
#include <QList>
#include <QString>

namespace kapitolo {

class Random;

// Object types (DocObject::Typ).
enum ObjectType : qint32 {
    otLabel = 0,
    otText = 1,
    otInfoPoint = 2,
    otGap = 3,
    otLink = 4,
    otDocLink = 5,
    otAnswer = 10,
    otQuestion = 11,
    otPrevQuestion = 12,
    otNextQuestion = 13,
    otFirstQuestion = 14,
    otLastQuestion = 15,
    otRandomQuestion = 16,
    otAnswerHeading = 17,
};

// Document types (TopicDocument::DokTyp).
enum DocumentType : qint32 {
    dtImageLabelling = 0,
    dtCloze = 1,
    dtSingleQuestions = 2,
};

// Layers (DocObject::Ebene).
enum Layer : qint32 {
    layerIllustration = 0,
    layerBeschriftung = 1,
    layerInfopunkte = 2,
};

// Cover and quiz-mark codes (ObjectMark::coverState).
enum CoverState : qint32 {
    csUncovered = 0,
    csCovered = -1,
    csCorrect = -2,
    csWrongCross = -3,
    csAssigned = -4,
    csOpenQuestion = -5,
    csNotAskedAgain = -6,
};

// One object of the document as the file stores it. Where the card draws it is the
// view's (CardLayout); its cover, number and quiz mark belong to whoever shows it
// (ObjectMark: the learning view keeps its own, a running quiz its own).
struct DocObject {
    double Sx = 0;
    double Sy = 0;
    double Kx = 0;
    double Ky = 0;
    QString Cap;
    qint32 KAusr = 0;
    qint32 TAusr = 0;
    qint32 Ebene = 0;
    qint32 Typ = 0;
    qint32 Sline = 0;
    qint32 Fsize = 0;
    // The placement in effect: the renderer fills it in when it is below 1.
    qint32 KAusrAkt = 0;
    qint32 FrageNummer = -1;

    bool isQuestionObject() const { return Typ == otAnswer || Typ == otQuestion || Typ == otAnswerHeading; }
};

// What lies over an object on the card besides the object itself: a cover or a quiz mark
// (coverState), the number its badge shows, and the quiz's counts on it. Never stored.
struct ObjectMark {
    qint32 coverState = csCovered;
    qint32 displayNo = -1;
    qint32 failedAttempts = 0;   // wrong answers given on it as the asked item
    qint32 wrongTargetCount = 0; // times its tile was put on a wrong target

    bool operator==(const ObjectMark &) const = default;
};
using ObjectMarks = QList<ObjectMark>;

// The mark of an object; a fresh one (covered, no number) for an index the list does
// not reach yet.
ObjectMark markOf(const ObjectMarks &marks, qsizetype index);
// The mark to change; the list grows to reach it.
ObjectMark &markAt(ObjectMarks &marks, qsizetype index);

// Main-window state that a document reset touches (topic folder navigation).
struct TopicNavigation {
    QString previousDocument;
    int currentTopicIndex = -1;
};

struct TopicDocument {
    QString fileName;
    QString vers = QStringLiteral("1.00");
    QString titel;
    QString autor;
    QString bemerkung;
    QString lueckentext;
    QString fragentext;
    qint32 AnzFrageNummern = 0;
    qint32 DokTyp = dtImageLabelling;
    RectD RandErw;
    qint32 NumArt = 0;
    qint32 GeordnetArt = 0;
    QList<DocObject> objects;
    QImage baseImage;

    // The question shown in a single-questions document, 1-based; -1 without
    // questions, 0 right after a reset.
    qint32 currentQuestion = 0;

    TopicDocument();

    bool isLoaded() const { return !fileName.isEmpty(); }

    // New, empty header: remembers a loaded file as the previously shown document.
    // Objects and base image stay; the reader replaces them.
    void reset(TopicNavigation &navigation);

    // Start image, no objects, header reset. (Rebuilding the card, re-reading the
    // topic folder and showing the start panel are the main window's part.)
    void close(TopicNavigation &navigation);

    // "?" for displayNo 0 or less; letters A..Z with apostrophes for NumArt 1; else digits.
    QString displayNumberText(qint32 displayNo) const;

    // A click on one of the five question buttons (single questions).
    void navigateQuestion(qint32 buttonType, Random &random);

    // After every card rebuild: answers covered outside a quiz (in the learning view's
    // marks), current question in range.
    void normaliseAfterRebuild(bool quizRunning, ObjectMarks &learningMarks);
};

// The built-in start image shown while no document is loaded.
QImage startBaseImage();

QString displayNumberText(qint32 displayNo, qint32 numArt);

} // namespace kapitolo
