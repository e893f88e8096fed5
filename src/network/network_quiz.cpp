#include "network/network_quiz.h"

#include "document/document_file.h"
#include "document/topic_document.h"
#include "network/exchange_files.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "results/best_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kapitolo {

namespace {

const QString kChooseQuizText =
    QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen.");
const QString kCloseEditorText = QStringLiteral("Bitte zuerst den Beschriftungseditor schließen.");


} // namespace

NetworkQuiz::NetworkQuiz(TopicDocument &document, QuizEngine &engine, Messages &messages, Clock &clock,
                         NetworkQuizFrontend &frontend, const MailslotHost &host, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_engine(engine)
    , m_messages(messages)
    , m_clock(clock)
    , m_frontend(frontend)
    , m_tnMailSlot(new TALMailSlot2(messages, host, this))
    , m_masterMailslot(new TALMailSlot2(messages, host, this))
{
    m_tnMailSlot->setObjectName(QStringLiteral("TNMailSlot"));
    m_tnMailSlot->setCheckInterval(kParticipantCheckInterval);
    m_masterMailslot->setObjectName(QStringLiteral("MasterMailslot"));
    m_masterMailslot->setCheckInterval(kMasterCheckInterval);
    m_masterMailslot->OnNewMessage = [this](TALMailSlot2 *, const QString &computer, const QString &user,
                                            const QString &text) { MasterMailslotNewMessage(computer, user, text); };
    m_engine.setNetworkHooks(this);
    m_collectTimer.setInterval(kMasterCheckInterval);
    connect(&m_collectTimer, &QTimer::timeout, this, &NetworkQuiz::collectResultFiles);
}

NetworkQuiz::~NetworkQuiz()
{
    m_engine.setNetworkHooks(nullptr);
}

int NetworkQuiz::role() const
{
    return m_engine.run().networkRole;
}

QString NetworkQuiz::exchangePath(const char *fixedName) const
{
    return exchangeFilePath(m_frontend.communicationFolder(), m_frontend.channel(), fixedName);
}

bool NetworkQuiz::exerciseOpen() const
{
    return QFileInfo::exists(exchangePath(kExchangeMarker));
}

void NetworkQuiz::deleteExchangeFiles()
{
    for (const char *name : {kExchangeDocument, kExchangeOptions, kExchangeMarker})
        QFile::remove(exchangePath(name));
    for (const QString &path : participantResultFiles(m_frontend.communicationFolder(), m_frontend.channel()))
        QFile::remove(path);
}

void NetworkQuiz::journal(const JournalRecord &record, bool sync)
{
    if (m_journal.isOpen() && !m_journal.append(record, sync)) {
        // A full or vanished disk: say so once, the exercise goes on without a journal.
        const QString path = m_journal.path();
        m_journal.close();
        ShowWriteError(m_messages, path);
    }
}

void NetworkQuiz::startJournal(const QuizOptions &options)
{
    const QString folder = withTrailingSeparator(m_frontend.protocolFolder());
    QDir().mkpath(folder);
    const double now = m_clock.now();
    const QString name = journalFileName(m_frontend.channel(), fromDayNumber(now));
    QString path = folder + name;
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = folder + name.chopped(8) + QLatin1Char('-') + QString::number(n) + QStringLiteral(".journal");
    if (!m_journal.create(path)) {
        ShowWriteError(m_messages, path);
        return;
    }
    JournalRecord r;
    r.kind = JournalRecord::Kind::Initiated;
    r.at = now;
    r.channel = m_frontend.channel();
    r.initiator = m_initiatorComputer;
    r.title = m_document.titel;
    r.dokTyp = m_document.DokTyp;
    r.options = NetworkOptionFile::fromQuizOptions(options, m_document.DokTyp, m_initiatorComputer);
    r.topicPath = m_document.fileName.isEmpty() ? QString() : QFileInfo(m_document.fileName).absoluteFilePath();
    journal(r, true);
}

void NetworkQuiz::endJournal()
{
    m_collectTimer.stop();
    JournalRecord r;
    r.kind = JournalRecord::Kind::Ended;
    r.at = m_clock.now();
    journal(r, true);
    const QString path = m_journal.path();
    m_journal.close();
    if (!path.isEmpty())
        Q_EMIT exerciseEnded(path);
}

bool NetworkQuiz::openMasterMailslot()
{
    m_masterMailslot->setMailBox(m_frontend.channel());
    m_masterMailslot->setActive(true);
    if (m_masterMailslot->Active())
        return true;
    m_messages.error(QStringLiteral("Die Netzwerk-Übung kann nicht initiiert werden: Der Kommunikationskanal \"")
                     + m_masterMailslot->MailBox()
                     + QStringLiteral("\" wird auf diesem Rechner bereits von einem anderen Programm verwendet, "
                                      "so dass die Meldungen der Teilnehmer nicht empfangen werden könnten.\r\n"
                                      "Beenden Sie das andere Programm oder wählen Sie unter \"Optionen | "
                                      "Netzwerk-Kommunikation\" einen anderen Kanal."));
    return false;
}

void NetworkQuiz::Initiate()
{
    if (!m_engine.ConfirmLeaveQuiz())
        return;
    if (m_frontend.labelEditorOpen()) {
        m_messages.information(kCloseEditorText);
        return;
    }
    // Without a document the class would get an empty exercise.
    if (!m_document.isLoaded()) {
        m_messages.information(kChooseQuizText);
        return;
    }
    // An exercise left running by a crash is not overwritten unasked.
    if (!initiator() && offerResume())
        return;
    QuizOptions options;
    if (!m_frontend.askNetworkOptions(m_document.DokTyp, options))
        return;
    options.feedbackAtEnd = 0;
    // The user agreed to abandon a running quiz: none runs on the teacher's computer.
    if (m_engine.appMode() == amQuizRunning)
        m_engine.LeaveQuiz();
    // A participant's receiver on this computer would hold the channel's port.
    m_tnMailSlot->setActive(false);
    if (initiator()) {
        // A second initiation replaces the exercise: its results are kept first.
        Q_EMIT exerciseEnding();
        collectResultFiles();
        saveResultsAutomatically();
        endJournal();
        m_masterMailslot->setActive(false);
        m_engine.run().networkRole = nrOwnQuiz;
    }
    m_board.reset();
    m_frontend.clearBestList();
    QFile::remove(exchangePath(kExchangeBestList));

    // Document, options, marker last: a pupil never joins a half-written exercise.
    QFile::remove(exchangePath(kExchangeMarker));
    const QString documentPath = exchangePath(kExchangeDocument);
    if (!writeDocument(documentPath, m_document, false, m_messages)) {
        // Reported by the writer; without the document nobody could join.
        m_frontend.networkStateChanged();
        return;
    }
    const QString optionPath = exchangePath(kExchangeOptions);
    const QString local = m_masterMailslot->localComputerName();
    if (!writeOptionFile(optionPath, NetworkOptionFile::fromQuizOptions(options, m_document.DokTyp, local))) {
        ShowWriteError(m_messages, optionPath);
        m_frontend.networkStateChanged();
        return;
    }
    m_initiatorComputer = local;
    const QString markerPath = exchangePath(kExchangeMarker);
    if (!writeMarkerFile(markerPath)) {
        ShowWriteError(m_messages, markerPath);
        m_frontend.networkStateChanged();
        return;
    }
    if (!openMasterMailslot()) {
        // Every report would be lost: the exercise is not offered at all.
        deleteExchangeFiles();
        m_frontend.networkStateChanged();
        return;
    }
    m_engine.run().networkRole = nrInitiator;
    m_exerciseDocument = m_document;
    // What a participant reads back from the option file.
    m_exerciseOptions = NetworkOptionFile::fromQuizOptions(options, m_document.DokTyp, local).quizOptions();
    m_collected.clear();
    startJournal(options);
    m_collectTimer.start();
    Q_EMIT exerciseStarted({});
    m_frontend.networkStateChanged();
    m_frontend.showControlDisplay();
}

void NetworkQuiz::EndExercise()
{
    if (!initiator()) {
        m_masterMailslot->setActive(false);
        m_messages.information(QStringLiteral("Es ist keine Netzwerk-Übung aktiv."));
        return;
    }
    if (!m_messages.confirm(QStringLiteral("Netzwerk-Übung beenden?\r\nÜbungsteilnehmer können die laufende Übung "
                                           "noch zu Ende bearbeiten, die Kontrollanzeige wird jedoch nicht mehr "
                                           "aktualisiert.")))
        return;
    Q_EMIT exerciseEnding();
    collectResultFiles();
    m_engine.run().networkRole = nrOwnQuiz;
    m_masterMailslot->setActive(false);
    saveResultsAutomatically();
    endJournal();
    deleteExchangeFiles();
    m_frontend.networkStateChanged();
}

void NetworkQuiz::Participate()
{
    if (m_engine.appMode() == amQuizRunning) {
        m_messages.information(QStringLiteral("Um an einer Netzwerk-Übung teilnehmen zu können, muss die aktuelle "
                                              "Übung zunächst beendet werden. Wählen Sie \"Übung abbrechen\", um die "
                                              "aktuelle Übung vorzeitig abzubrechen."));
        return;
    }
    if (initiator()) {
        m_messages.information(QStringLiteral("Die Netzwerk-Übung wurde auf diesem Rechner initiiert. Die Teilnahme "
                                              "an der Netzwerk-Übung muss an einem anderen Rechner erfolgen."));
        return;
    }
    if (m_frontend.labelEditorOpen()) {
        m_messages.information(kCloseEditorText);
        return;
    }
    if (Join() == JoinResult::NoExercise)
        m_messages.information(
            QStringLiteral("Zurzeit ist keine Netzwerk-Übung geöffnet.\r\nBitte warten Sie, bis die Lehrkraft die "
                           "Netzwerk-Übung initiiert hat. Prüfen Sie ggf. unter \"Optionen | Netzwerk-Kommunikation\", "
                           "ob hier derselbe Kommunikationsordner und Kanal eingestellt ist wie am Rechner der "
                           "Lehrkraft."));
}

NetworkQuiz::JoinResult NetworkQuiz::Join()
{
    for (const char *name : {kExchangeMarker, kExchangeOptions, kExchangeDocument})
        if (!QFileInfo::exists(exchangePath(name)))
            return JoinResult::NoExercise;
    if (!m_frontend.openExchangeDocument(exchangePath(kExchangeDocument)))
        return JoinResult::Failed;
    const QString optionPath = exchangePath(kExchangeOptions);
    NetworkOptionFile options;
    if (!readOptionFile(optionPath, options)) {
        m_messages.error(optionFileReadErrorText(optionPath));
        return JoinResult::Failed;
    }
    // Reports to a computer that cannot be found are lost without a trace, while the pupil
    // believes every answer counts: better not to begin.
    if (!m_tnMailSlot->canReach(options.initiator)) {
        m_messages.error(QStringLiteral("Der Rechner der Lehrkraft (\"") + options.initiator
                         + QStringLiteral("\") ist von diesem Rechner aus nicht erreichbar. Die Teilnahme an der "
                                          "Netzwerk-Übung ist nicht möglich, weil die Ergebnisse nicht übermittelt "
                                          "werden könnten.\r\nBitte prüfen Sie die Netzwerkverbindung oder wenden Sie "
                                          "sich an die Lehrkraft."));
        return JoinResult::Failed;
    }
    m_initiatorComputer = options.initiator;
    m_participantKey = newParticipantKey();
    m_participantName.clear();
    m_engine.run().startTime = m_clock.now();
    m_engine.run().endTime = 0;

    m_tnMailSlot->setActive(false);
    m_tnMailSlot->setMailBox(m_frontend.channel());
    m_tnMailSlot->setActive(true);
    sendReport(initReportLines(m_participantKey, m_participantName, m_engine.run().startTime));

    m_engine.setOptions(options.quizOptions());
    if (!m_engine.StartQuiz(0, nrParticipant)) {
        // The teacher saw the pupil join: the row must not stay "läuft".
        sendReport(finishReportLines(m_participantKey, esCancelled, clockText(0)));
        m_tnMailSlot->setActive(false);
        m_frontend.networkStateChanged();
        return JoinResult::Failed;
    }
    m_frontend.networkStateChanged();
    return JoinResult::Joined;
}

bool NetworkQuiz::sendReport(const QStringList &lines)
{
    return m_tnMailSlot->SendLines(m_initiatorComputer, lines);
}

void NetworkQuiz::answerEvaluated(int hitObject, const DocObject &object)
{
    sendReport(actionReportLines(m_participantKey, hitObject, object.coverState, object.failedAttempts,
                                 m_engine.run(), m_engine.score()));
}

void NetworkQuiz::quizEnded()
{
    const QuizRun &run = m_engine.run();
    const QuizScore &score = m_engine.score();
    sendReport(finishReportLines(m_participantKey, run.endState, score.clockText));
    if (run.endState != esFinished && run.endState != esTimeLimitReached)
        return;
    m_clock.busyWait(50, false);
    const QStringList result = bestListReportLines(m_participantKey, m_participantName,
                                                   m_tnMailSlot->localComputerName(), run.startTime, run.elapsedMs,
                                                   score.totalPerformance);
    sendReport(result);
    // A datagram lost on a busy network would lose the result: the teacher's computer
    // also finds it in the exchange folder. A pupil is not bothered when that fails.
    writeParticipantResult(participantResultPath(m_frontend.communicationFolder(), m_frontend.channel(),
                                                 m_participantKey),
                           result);
}

bool NetworkQuiz::repeatParticipation()
{
    return Join() == JoinResult::Joined;
}

void NetworkQuiz::participationLeft()
{
    m_tnMailSlot->setActive(false);
    m_frontend.closeExchangeDocument();
    m_frontend.networkStateChanged();
}

void NetworkQuiz::prepareClose()
{
    if (!m_engine.running() || role() != nrParticipant)
        return;
    m_engine.run().endState = esCancelled;
    m_engine.RefreshQuizClock();
    quizEnded();
}

void NetworkQuiz::cleanUpAtExit()
{
    m_tnMailSlot->setActive(false);
    m_masterMailslot->setActive(false);
    if (!initiator())
        return;
    Q_EMIT exerciseEnding();
    collectResultFiles();
    saveResultsAutomatically();
    endJournal();
    deleteExchangeFiles();
}

bool NetworkQuiz::saveResults(const QString &path)
{
    if (!writeResultsFile(path, m_board.resultsCsv())) {
        ShowWriteError(m_messages, path);
        return false;
    }
    // Beside it, the same moment: which places, gaps and questions went how.
    const QString items = QFileInfo(path).absolutePath() + QLatin1Char('/') + itemResultsFileName(QFileInfo(path).fileName());
    if (!writeResultsFile(items, itemAnalysisCsv(m_board.items(), exerciseDocument()))) {
        ShowWriteError(m_messages, items);
        return false;
    }
    return true;
}

const TopicDocument &NetworkQuiz::exerciseDocument()
{
    // The class plays the copy in the exchange folder; the teacher may have opened
    // another topic since.
    if (m_exerciseDocument.objects.isEmpty() && QFileInfo::exists(exchangePath(kExchangeDocument))) {
        TopicNavigation navigation;
        SilentMessages quiet;
        readDocument(exchangePath(kExchangeDocument), m_exerciseDocument, navigation, quiet);
    }
    return m_exerciseDocument;
}

QString NetworkQuiz::saveResultsAutomatically()
{
    if (m_board.joinedCount() == 0)
        return {};
    const QString folder = withTrailingSeparator(m_frontend.protocolFolder());
    QDir().mkpath(folder);
    const QString name = resultsFileName(m_frontend.channel(), fromDayNumber(m_clock.now()));
    QString path = folder + name;
    // Two exercises ended within one second never share a file.
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = folder + name.chopped(4) + QLatin1Char('-') + QString::number(n) + QStringLiteral(".csv");
    if (!saveResults(path))
        return {};
    m_lastResultsFile = path;
    return path;
}

void NetworkQuiz::MasterMailslotNewMessage(const QString &computer, const QString &userName, const QString &text)
{
    const double now = m_clock.now();
    const ControlBoard::Outcome outcome = m_board.handleReport(computer, userName, text, now);
    if (outcome.accepted) {
        JournalRecord r;
        r.kind = JournalRecord::Kind::Report;
        r.at = now;
        r.computer = computer;
        r.user = userName;
        r.text = text;
        // A pupil's end and result go to the disk at once; answers within the next write.
        journal(r, text.startsWith(QLatin1String(kReportFinish)) || text.startsWith(QLatin1String(kReportBestList)));
    }
    if (outcome.bestListEntry)
        enterInBestList(outcome.row, *outcome.bestListEntry);
    Q_EMIT reportHandled(outcome.row);
}

void NetworkQuiz::journalBrowser(const QJsonObject &data, bool sync)
{
    JournalRecord r;
    r.kind = JournalRecord::Kind::Browser;
    r.at = m_clock.now();
    r.data = data;
    journal(r, sync);
}

bool NetworkQuiz::removeParticipant(const QString &key)
{
    const std::optional<ParticipantRow> row = m_board.removeParticipant(key);
    if (!row)
        return false;
    JournalRecord r;
    r.kind = JournalRecord::Kind::Removed;
    r.at = m_clock.now();
    r.key = key;
    journal(r, true);
    Q_EMIT participantRemoved(key);
    if (row->inBestList) {
        const std::optional<BestListEntry> entry = m_board.bestListEntry(key);
        const QString path = exchangePath(kExchangeBestList);
        if (entry && !removeBestListEntry(path, *entry, m_clock))
            m_messages.error(QStringLiteral("Das Ergebnis von \"") + entry->name
                             + QStringLiteral("\" konnte nicht aus der Netzwerk-Bestenliste entfernt werden.\r\n")
                             + QStringLiteral("Die Datei \"") + QDir::toNativeSeparators(path)
                             + QStringLiteral("\" ist gesperrt oder nicht beschreibbar."));
    }
    Q_EMIT reportHandled(-1);
    return true;
}

int NetworkQuiz::removeOldJournals(const QString &folder, int days, double now)
{
    if (days <= 0 || folder.isEmpty())
        return 0;
    const QDir dir(folder);
    const QDateTime limit = fromDayNumber(now - days);
    if (!limit.isValid())
        return 0;
    int removed = 0;
    const QFileInfoList journals = dir.entryInfoList({QStringLiteral("Netzwerk-Uebung-*.journal")}, QDir::Files);
    for (const QFileInfo &info : journals) {
        if (info.lastModified() >= limit)
            continue;
        // Only an exercise that has ended: a running one is still to be resumed.
        JournalContents contents;
        if (!readJournal(info.filePath(), contents)
            || std::none_of(contents.records.cbegin(), contents.records.cend(),
                            [](const JournalRecord &r) { return r.kind == JournalRecord::Kind::Ended; }))
            continue;
        if (QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}

void NetworkQuiz::enterInBestList(int row, const BestListEntry &entry)
{
    if (!saveBestListEntryWithRetries(exchangePath(kExchangeBestList), entry, true, m_clock, m_messages)) {
        ++m_bestListFailures;
        return;
    }
    const QString key = m_board.rows().at(row).key;
    m_board.markEnteredInBestList(key);
    JournalRecord r;
    r.kind = JournalRecord::Kind::BestListEntered;
    r.at = m_clock.now();
    r.key = key;
    journal(r, true);
}

void NetworkQuiz::enterPendingResults(const JournalReplay &replay)
{
    // Results that reached this computer just before it went down.
    for (auto it = replay.pendingBestList.cbegin(); it != replay.pendingBestList.cend(); ++it)
        for (int row = 0; row < m_board.rows().size(); ++row)
            if (m_board.rows().at(row).key == it.key())
                enterInBestList(row, it.value());
}

void NetworkQuiz::collectResultFiles()
{
    if (!initiator())
        return;
    for (const QString &path : participantResultFiles(m_frontend.communicationFolder(), m_frontend.channel())) {
        const QFileInfo info(path);
        // Each version of a file once: the same result read again would only add noise.
        const QString seen = path + QLatin1Char('|') + QString::number(info.size()) + QLatin1Char('|')
            + QString::number(info.lastModified().toMSecsSinceEpoch());
        if (m_collected.contains(seen))
            continue;
        const QString text = readParticipantResult(path);
        if (text.isEmpty())
            continue; // being written or unreadable: the next round tries again
        m_collected.insert(seen);
        MasterMailslotNewMessage(QString(), QString(), text);
    }
}

std::optional<NetworkQuiz::ResumableExercise> NetworkQuiz::findResumableExercise() const
{
    for (const char *name : {kExchangeMarker, kExchangeOptions, kExchangeDocument})
        if (!QFileInfo::exists(exchangePath(name)))
            return std::nullopt;
    NetworkOptionFile options;
    if (!readOptionFile(exchangePath(kExchangeOptions), options)
        || options.initiator.compare(m_masterMailslot->localComputerName(), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // The newest journal of this channel that was not ended.
    const QDir folder(m_frontend.protocolFolder());
    const QString prefix = QStringLiteral("Netzwerk-Uebung-") + m_frontend.channel() + QLatin1Char('-');
    QStringList names = folder.entryList({prefix + QStringLiteral("*.journal")}, QDir::Files, QDir::Name);
    std::reverse(names.begin(), names.end());
    for (const QString &name : std::as_const(names)) {
        ResumableExercise exercise;
        exercise.journalPath = folder.filePath(name);
        if (!name.startsWith(prefix) || !readJournal(exercise.journalPath, exercise.journal))
            continue;
        const QList<JournalRecord> &records = exercise.journal.records;
        if (records.isEmpty() || records.first().kind != JournalRecord::Kind::Initiated
            || records.first().channel != m_frontend.channel())
            continue;
        if (std::any_of(records.cbegin(), records.cend(),
                        [](const JournalRecord &r) { return r.kind == JournalRecord::Kind::Ended; }))
            return std::nullopt; // the newest exercise was ended: nothing runs
        exercise.initiatedAt = records.first().at;
        return exercise;
    }
    return std::nullopt;
}

bool NetworkQuiz::offerResume()
{
    const std::optional<ResumableExercise> exercise = findResumableExercise();
    if (!exercise)
        return false;
    const QString text = QStringLiteral("Auf diesem Rechner läuft noch die Netzwerk-Übung auf dem Kanal \"")
        + m_frontend.channel() + QStringLiteral("\" (begonnen um ")
        + fromDayNumber(exercise->initiatedAt).toString(QStringLiteral("HH:mm")) + QStringLiteral("). Fortsetzen?");
    if (m_messages.showTitled(MessageKind::Confirmation, QStringLiteral("Netzwerk-Übung fortsetzen"), text,
                              MessageButtons::YesNo)
        == MessageAnswer::Yes)
        return Resume(*exercise);
    EndFromJournal(*exercise);
    return false;
}

bool NetworkQuiz::Resume(const ResumableExercise &exercise)
{
    if (m_engine.appMode() == amQuizRunning)
        m_engine.LeaveQuiz();
    m_tnMailSlot->setActive(false);
    const JournalReplay replay = replayJournal(exercise.journal.records, m_board);
    m_exerciseDocument = TopicDocument();
    m_frontend.clearBestList();
    m_initiatorComputer = m_masterMailslot->localComputerName();
    if (!openMasterMailslot()) {
        m_frontend.networkStateChanged();
        return false;
    }
    m_engine.run().networkRole = nrInitiator;
    if (!m_journal.reopen(exercise.journalPath))
        ShowWriteError(m_messages, exercise.journalPath);
    enterPendingResults(replay);
    m_collected.clear();
    collectResultFiles();
    m_collectTimer.start();
    m_exerciseOptions = replay.initiated.options.quizOptions();
    Q_EMIT exerciseStarted(replay.browser);
    m_frontend.networkStateChanged();
    m_frontend.showControlDisplay();
    return true;
}

void NetworkQuiz::EndFromJournal(const ResumableExercise &exercise)
{
    const JournalReplay replay = replayJournal(exercise.journal.records, m_board);
    m_exerciseDocument = TopicDocument();
    if (!m_journal.reopen(exercise.journalPath))
        ShowWriteError(m_messages, exercise.journalPath);
    // Ended as the end command would: what came in is kept, results file included.
    const int role = m_engine.run().networkRole;
    m_engine.run().networkRole = nrInitiator;
    enterPendingResults(replay);
    collectResultFiles();
    saveResultsAutomatically();
    endJournal();
    m_engine.run().networkRole = role;
    deleteExchangeFiles();
    m_frontend.networkStateChanged();
}

} // namespace kapitolo
