#pragma once

#include "network/control_board.h"
#include "network/exercise_journal.h"
#include "document/topic_document.h"
#include "network/mailslot.h"
#include "quiz/quiz_engine.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <optional>

namespace kapitolo {

class Clock;
class Messages;
struct TopicDocument;

// The window side of the network quiz.
class NetworkQuizFrontend
{
public:
    virtual ~NetworkQuizFrontend() = default;

    virtual QString communicationFolder() const = 0;
    virtual QString channel() const = 0;
    virtual QString protocolFolder() const = 0;
    virtual bool labelEditorOpen() const = 0;
    // The quiz options dialog of the document type in its network form; true only for
    // "Übung starten", with the options it holds.
    virtual bool askNetworkOptions(qint32 dokTyp, QuizOptions &options) = 0;
    // Opens the exchange document as the current document; the topic folder stays.
    virtual bool openExchangeDocument(const QString &path) = 0;
    // Closes it again after a participant's quiz: back to the start page.
    virtual void closeExchangeDocument() = 0;
    // Empties the best list held in memory.
    virtual void clearBestList() = 0;
    virtual void showControlDisplay() = 0;
    // The role changed: buttons, menus and the control display follow.
    virtual void networkStateChanged() = 0;
};

// The classroom network quiz of one instance: the teacher's initiation, control display
// bookkeeping and ending; a pupil's joining and reports; the clean-up at exit. The role
// lives in the quiz engine's networkRole.
class NetworkQuiz : public QObject, public QuizNetworkHooks
{
    Q_OBJECT
public:
    // The check intervals of the participant's and the teacher's mailslot.
    static constexpr int kParticipantCheckInterval = 500;
    static constexpr int kMasterCheckInterval = 150;

    NetworkQuiz(TopicDocument &document, QuizEngine &engine, Messages &messages, Clock &clock,
                NetworkQuizFrontend &frontend, const MailslotHost &host = MailslotHost::system(),
                QObject *parent = nullptr);
    ~NetworkQuiz() override;

    // F9: offers the open document to the class.
    void Initiate();
    // "Netzwerk-Übung beenden".
    void EndExercise();
    // F8: the three refusals, then the join procedure.
    void Participate();

    enum class JoinResult { Joined, NoExercise, Failed };
    // Reads the exercise from the communication folder and starts the quiz as a participant.
    // NoExercise: a file is missing (nothing shown); Failed: reported already or not started.
    JoinResult Join();

    // Closing the main window, once the user has agreed: a running participant's quiz is
    // reported as cancelled.
    void prepareClose();
    // The clean-up at exit: both mailslots closed; the initiating instance saves the
    // results and deletes the exercise's files (a pupil's exit leaves them to the class).
    void cleanUpAtExit();

    // The control display's "Ergebnisse speichern...": false after a reported failure.
    bool saveResults(const QString &path);
    // The automatic results file in the protocol folder; empty when there was nothing to
    // write or it failed (reported).
    QString saveResultsAutomatically();
    const QString &lastResultsFile() const { return m_lastResultsFile; }

    int role() const;
    bool initiator() const { return role() == nrInitiator; }
    // An exercise of this channel is open in the folder (its marker exists).
    bool exerciseOpen() const;
    QString exchangePath(const char *fixedName) const;

    ControlBoard &board() { return m_board; }
    const ControlBoard &board() const { return m_board; }
    TALMailSlot2 &tnMailslot() { return *m_tnMailSlot; }
    TALMailSlot2 &masterMailslot() { return *m_masterMailslot; }
    const QString &participantKey() const { return m_participantKey; }
    const QString &initiatorComputer() const { return m_initiatorComputer; }
    // Results the teacher's side could not enter into the network best list.
    int bestListFailures() const { return m_bestListFailures; }

    // QuizNetworkHooks
    void answerEvaluated(int hitObject, const DocObject &object) override;
    void quizEnded() override;
    bool repeatParticipation() override;
    void participationLeft() override;

    // The teacher's side of one received message (MasterMailslot's handler).
    void MasterMailslotNewMessage(const QString &computer, const QString &userName, const QString &text);

    // An exercise this computer initiated and never ended, because the program went
    // down: its exchange files are in the folder and its journal in the protocol folder.
    struct ResumableExercise {
        QString journalPath;
        JournalContents journal;
        double initiatedAt = 0;
    };
    std::optional<ResumableExercise> findResumableExercise() const;
    // At start and before an initiation: asks whether such an exercise goes on. "Ja"
    // takes it up again, "Nein" ends it as the end command would. True when resumed.
    bool offerResume();
    bool Resume(const ResumableExercise &exercise);
    void EndFromJournal(const ResumableExercise &exercise);
    // The participants' result files: taken while the exercise runs (on the check
    // interval), when it is taken up again and before it ends.
    void collectResultFiles();
    // The journal of the running exercise; empty when none is written.
    const QString &journalPath() const { return m_journal.path(); }
    // The document the class plays: the teacher's copy at the initiation, or after a resume
    // the exchange folder's; empty when no exercise was initiated here. With the options, for
    // pupils who join by other ways.
    const TopicDocument &exerciseDocument();
    const QuizOptions &exerciseOptions() const { return m_exerciseOptions; }
    // A record of the browser pupils into the journal of the running exercise.
    void journalBrowser(const QJsonObject &data, bool sync);
    // The teacher takes a participant out of the running exercise: the row leaves the
    // control display, the item figures, the results and the network best list, and the
    // journal keeps the decision for a resume. False for a key without a row.
    bool removeParticipant(const QString &key);

    // Removes the journals of ended exercises in the folder whose last change lies more
    // than `days` days before `now` (a day number); 0 days keeps them. Returns how many.
    static int removeOldJournals(const QString &folder, int days, double now);

Q_SIGNALS:
    // A report changed the control display (row, or -1 for the counts only).
    void reportHandled(int row);
    // The exercise runs, new or taken up again with the browser records of its journal.
    void exerciseStarted(const QList<QJsonObject> &browserRecords);
    // The exercise is about to end: its results are saved next.
    void exerciseEnding();
    // A participant was removed (the browser classroom ends the session of the key).
    void participantRemoved(const QString &key);
    // The exercise ended (also by "Nein" after a resume, or at exit): its journal is
    // complete, and its document is still at hand (exerciseDocument()).
    void exerciseEnded(const QString &journalPath);

private:
    bool sendReport(const QStringList &lines);
    void deleteExchangeFiles();
    void journal(const JournalRecord &record, bool sync);
    void startJournal(const QuizOptions &options);
    void endJournal();
    void enterInBestList(int row, const BestListEntry &entry);
    void enterPendingResults(const JournalReplay &replay);
    bool openMasterMailslot();

    TopicDocument &m_document;
    QuizEngine &m_engine;
    Messages &m_messages;
    Clock &m_clock;
    NetworkQuizFrontend &m_frontend;
    TALMailSlot2 *m_tnMailSlot;
    TALMailSlot2 *m_masterMailslot;
    ControlBoard m_board;

    // Participant state, from joining until the quiz ends.
    QString m_participantKey;
    QString m_participantName;
    QString m_initiatorComputer;
    QString m_lastResultsFile;
    int m_bestListFailures = 0;

    // The initiator's journal and the result files already taken this exercise.
    ExerciseJournal m_journal;
    QTimer m_collectTimer;
    QSet<QString> m_collected;
    // The document the class plays, for the item texts of the results.
    TopicDocument m_exerciseDocument;
    QuizOptions m_exerciseOptions;
};

} // namespace kapitolo
