#include "results/best_list_commands.h"

#include "document/topic_document.h"
#include "platform/messages.h"
#include "quiz/quiz_types.h"

#include <QFileInfo>

namespace kapitolo {

QString BestListPlaces::individualPath(const TopicDocument &document) const
{
    return individualBestListPath(bestListFolder, document.fileName);
}

QString BestListPlaces::networkPath() const
{
    return networkBestListPath(communicationFolder, channel);
}

bool PrepareBestListShow(bool networkMode, const TopicDocument &document, const BestListPlaces &places,
                         BestList &list, Clock &clock, Messages &messages)
{
    if (!networkMode && !document.isLoaded()) {
        messages.information(
            QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen."));
        return false;
    }
    const QString path = networkMode ? places.networkPath() : places.individualPath(document);
    if (!QFileInfo::exists(path)) {
        messages.information(networkMode
                                 ? QStringLiteral("Die Bestenliste zur aktuellen Netzwerk-Übung enthält noch keine "
                                                  "Einträge.")
                                 : QStringLiteral("Zu diesem Quiz gibt es bisher keine Einträge in der Bestenliste. "
                                                  "Überprüfen Sie ggf. die Einstellungen im Menü \"Optionen\", um "
                                                  "die Bestenliste zu nutzen."));
        list.clear();
    } else {
        loadBestListWithRetries(path, list, networkMode, clock, messages);
    }
    rankBestList(list);
    return true;
}

bool BestListCommand(int networkRole, const TopicDocument &document, const BestListPlaces &places, BestList &list,
                     Clock &clock, Messages &messages)
{
    if (networkRole == nrParticipant) {
        messages.information(
            QStringLiteral("Während der Netzwerk-Übung ist die Bestenliste der Individual-Übung nicht einsehbar."));
        return false;
    }
    return PrepareBestListShow(false, document, places, list, clock, messages);
}

bool NetworkBestListCommand(const TopicDocument &document, const BestListPlaces &places, BestList &list, Clock &clock,
                            Messages &messages)
{
    return PrepareBestListShow(true, document, places, list, clock, messages);
}

bool FinishedDialogBestListCommand(int networkRole, const TopicDocument &document, const BestListPlaces &places,
                                   BestList &list, Clock &clock, Messages &messages)
{
    return PrepareBestListShow(networkRole != nrOwnQuiz, document, places, list, clock, messages);
}

BestListEntryState EnterResultAtQuizEnd(QuizRun &run, const QuizScore &score, bool autoEntry,
                                        const TopicDocument &document, const BestListPlaces &places,
                                        const QString &computer, Clock &clock, Messages &messages)
{
    BestListEntryState state;
    if (!entersBestList(run))
        return state;
    if (autoEntry && !run.bestListEntered) {
        if (saveBestListEntryWithRetries(places.individualPath(document), entryFromQuiz(run, score, computer), false,
                                         clock, messages))
            run.bestListEntered = true;
    }
    if (run.bestListEntered)
        state.label = kResultEnteredText;
    else
        state.offerButton = true;
    return state;
}

EnterResult EnterResultOnRequest(QuizRun &run, const QuizScore &score, const TopicDocument &document,
                                 const BestListPlaces &places, const QString &computer, Clock &clock,
                                 Messages &messages)
{
    if (!entersBestList(run))
        return EnterResult::NotAllowed;
    if (run.bestListEntered)
        return EnterResult::Entered; // once per quiz
    if (!saveBestListEntryWithRetries(places.individualPath(document), entryFromQuiz(run, score, computer), false,
                                      clock, messages))
        return EnterResult::Failed;
    run.bestListEntered = true;
    return EnterResult::Entered;
}

bool EnterNetworkResult(const BestListEntry &entry, const BestListPlaces &places, Clock &clock, Messages &messages)
{
    return saveBestListEntryWithRetries(places.networkPath(), entry, true, clock, messages);
}

} // namespace kapitolo
