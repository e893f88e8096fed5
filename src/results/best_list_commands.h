#pragma once

#include "results/best_list.h"

#include <QString>

namespace kapitolo {

class Clock;
class Messages;
struct QuizRun;
struct QuizScore;
struct TopicDocument;

// Where the two kinds of best list live (from the settings).
struct BestListPlaces {
    QString bestListFolder;
    QString communicationFolder;
    QString channel;

    QString individualPath(const TopicDocument &document) const;
    QString networkPath() const;
};

inline const QString kResultEnteredText = QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen.");

// Loads and ranks the list for the best-list window. True when the window is to be
// opened (also with an empty list, and after a read that failed and was reported);
// false when an information was shown instead.
bool PrepareBestListShow(bool networkMode, const TopicDocument &document, const BestListPlaces &places,
                         BestList &list, Clock &clock, Messages &messages);

// "&Bestenliste..." (menu and tool button): the individual list, not while taking part
// in a network quiz.
bool BestListCommand(int networkRole, const TopicDocument &document, const BestListPlaces &places, BestList &list,
                     Clock &clock, Messages &messages);
// "Besten&liste Netzwerk-Übung...".
bool NetworkBestListCommand(const TopicDocument &document, const BestListPlaces &places, BestList &list, Clock &clock,
                            Messages &messages);
// The finished dialog's "Bestenliste...": the network list for a participant or initiator.
bool FinishedDialogBestListCommand(int networkRole, const TopicDocument &document, const BestListPlaces &places,
                                   BestList &list, Clock &clock, Messages &messages);

// What the finished dialog shows for the best list.
struct BestListEntryState {
    QString label;          // BestenlisteLab
    bool offerButton = false; // InBestenlisteBtn visible
};

// The quiz end: enters the result when automatic entry is on and the quiz may enter it
// (entersBestList), notes bestListEntered in the run given, and tells the finished dialog
// what to show.
BestListEntryState EnterResultAtQuizEnd(QuizRun &run, const QuizScore &score, bool autoEntry,
                                        const TopicDocument &document, const BestListPlaces &places,
                                        const QString &computer, Clock &clock, Messages &messages);

// "In Bestenliste eintragen": enters the result at most once per quiz. Failed means it
// could not be written (reported already): the caller then opens the folders dialog.
enum class EnterResult { Entered, Failed, NotAllowed };
EnterResult EnterResultOnRequest(QuizRun &run, const QuizScore &score, const TopicDocument &document,
                          const BestListPlaces &places, const QString &computer, Clock &clock, Messages &messages);

// The initiator's side of a TN-BESTLIST report: appended to the network list.
bool EnterNetworkResult(const BestListEntry &entry, const BestListPlaces &places, Clock &clock, Messages &messages);

} // namespace kapitolo
