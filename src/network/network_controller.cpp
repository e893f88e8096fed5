// The classroom network quiz in the window: it routes the commands to the network quiz
// and owns the windows the teacher sees.

#include "network/network_controller.h"

#include "network/class_history.h"
#include "network/class_history_dialog.h"
#include "network/class_report.h"
#include "network/communication_dialog.h"
#include "network/control_display.h"
#include "network/item_table.h"
#include "document/document_file.h"
#include "learning/learning_items.h"
#include "platform/app_settings.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/save_path.h"
#include "quiz/quiz_engine.h"
#include "platform/wait_cursor.h"
#include "sharing/sheet_output.h"
#include "sharing/sheet_print.h"
#include "view/card_snapshot.h"
#include "view/item_marks.h"
#include "web/web_access_panel.h"
#include "web/web_participation.h"

#include <QItemSelectionModel>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTableView>
#include <QVBoxLayout>

namespace kapitolo {

NetworkController::NetworkController(Services &services, TopicDocument &document, QuizEngine &engine,
                                     AppSettings &settings, NetworkWindow &window, QWidget *parentWindow)
    : m_services(services)
    , m_engine(engine)
    , m_settings(settings)
    , m_window(window)
    , m_parentWindow(parentWindow)
{
    m_network = std::make_unique<NetworkQuiz>(document, engine, m_services.messages, m_services.clock, *this);
    connect(m_network.get(), &NetworkQuiz::reportHandled, this, [this] { m_window.describeNetworkState(); });
    connect(m_network.get(), &NetworkQuiz::exerciseEnded, this, &NetworkController::recordClassHistory);
    m_web = std::make_unique<WebParticipation>(*m_network, m_services.clock, m_services.messages, [this] {
        return WebSettings{m_settings.webParticipation, m_settings.webPort, m_settings.webCode,
                           m_settings.webSessionsPerDevice};
    });
}

NetworkController::~NetworkController() = default;

TKontrollanzeigeForm *NetworkController::ensureControlDisplay()
{
    if (m_controlDisplay)
        return m_controlDisplay;
    m_itemTable = std::make_unique<ItemTableModel>(m_network->board(),
                                                   [this]() -> const TopicDocument & { return m_network->exerciseDocument(); });
    m_controlDisplay = new TKontrollanzeigeForm(m_network->board(), m_itemTable.get(), m_parentWindow);
    m_controlDisplay->onEndExercise = [this] { NetzBeenden1Click(); };
    m_controlDisplay->onCommunication = [this] { NetzKom1Click(); };
    m_controlDisplay->onBestList = [this] { m_window.showNetworkBestList(); };
    m_controlDisplay->onSaveResults = [this] { saveNetworkResultsAs(); };
    m_controlDisplay->onShowOnCard = [this] { showItemsOnCard(); };
    m_controlDisplay->onPrintReport = [this] { printClassReport(); };
    m_controlDisplay->onRemoveParticipant = [this] { removeSelectedParticipant(); };
    m_controlDisplay->onClassHistory = [this] { showClassHistory(); };
    updateCardAvailable();
    // How browser pupils join, under the counts.
    if (auto *layout = qobject_cast<QVBoxLayout *>(m_controlDisplay->layout()))
        layout->insertWidget(2, new WebAccessPanel(*m_web, m_controlDisplay));
    return m_controlDisplay;
}

TNetzKomForm *NetworkController::ensureNetzKomForm()
{
    if (!m_netzKomForm)
        m_netzKomForm = new TNetzKomForm(m_services.messages, m_services.fileDialogs, m_parentWindow);
    return m_netzKomForm;
}

void NetworkController::NetzInit1Click()
{
    m_network->Initiate();
    m_window.describeNetworkState();
}

void NetworkController::NetzTeilnehmen1Click()
{
    m_network->Participate();
    m_window.describeNetworkState();
}

void NetworkController::updateCardAvailable()
{
    if (m_controlDisplay)
        m_controlDisplay->setCardAvailable(m_network->exerciseDocument().DokTyp != dtSingleQuestions);
}

void NetworkController::Kontrollanzeige1Click()
{
    ensureControlDisplay();
    updateCardAvailable();
    m_controlDisplay->setExerciseState(m_network->initiator(), communicationFolder(), channel());
    m_controlDisplay->show();
    m_controlDisplay->raise();
    m_controlDisplay->activateWindow();
    m_window.describeNetworkState();
}

void NetworkController::NetzBeenden1Click()
{
    m_network->EndExercise();
    m_window.describeNetworkState();
}

void NetworkController::NetzKom1Click()
{
    ensureNetzKomForm();
    // The running exercise lives in these files and on this channel.
    const bool locked = m_network->initiator() || m_engine.run().networkRole == nrParticipant;
    m_netzKomForm->setValues(m_settings.communicationFolder, m_settings.channel, locked);
    m_netzKomForm->setWebValues(m_settings.webParticipation, m_settings.webPort, m_settings.webCode,
                                m_settings.webSessionsPerDevice);
    if (m_netzKomForm->exec() != QDialog::Accepted || locked)
        return;
    m_settings.communicationFolder = m_netzKomForm->folder();
    m_settings.channel = m_netzKomForm->channel();
    m_settings.webParticipation = m_netzKomForm->webEnabled();
    m_settings.webPort = m_netzKomForm->webPort();
    m_settings.webCode = m_netzKomForm->webCode();
    m_settings.webSessionsPerDevice = m_netzKomForm->webSessionsPerDevice();
}

void NetworkController::removeSelectedParticipant()
{
    if (!m_controlDisplay || !m_network->initiator())
        return;
    const QModelIndexList selected = m_controlDisplay->grid()->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? -1 : selected.first().row();
    if (row < 0 || row >= m_network->board().rows().size()) {
        m_services.messages.information(
            QStringLiteral("Bitte zuerst in der Tabelle den Teilnehmer wählen, der entfernt werden soll."));
        return;
    }
    const ParticipantRow participant = m_network->board().rows().at(row);
    const QString who = participant.user.isEmpty()
        ? participant.computer
        : participant.user + QStringLiteral(" (") + participant.computer + QLatin1Char(')');
    if (!m_services.messages.confirm(
            QStringLiteral("Teilnehmer \"") + who
            + QStringLiteral("\" aus der Übung entfernen?\r\nDie Zeile verschwindet aus der Kontrollanzeige, der "
                             "Ergebnistabelle, den Aufgaben und der Netzwerk-Bestenliste. Wer im Browser spielt, "
                             "sieht sofort, dass er entfernt wurde.")))
        return;
    m_network->removeParticipant(participant.key);
    m_window.describeNetworkState();
}

void NetworkController::saveNetworkResultsAs()
{
    const QString path = askSaveFileName(m_services.fileDialogs, m_services.messages,
                                         QStringLiteral("Ergebnisse der Netzwerk-Übung speichern"),
                                         m_settings.protocolFolder,
                                         QStringLiteral("CSV-Datei (*.csv)|*.csv|Alle Dateien (*.*)|*.*"),
                                         QStringLiteral("csv"));
    if (!path.isEmpty())
        m_network->saveResults(path);
}

void NetworkController::showItemsOnCard()
{
    const TopicDocument &exercise = m_network->exerciseDocument();
    if (exercise.objects.isEmpty() || exercise.DokTyp == dtSingleQuestions)
        return;
    if (!m_window.showItemCard(exercise, m_network->board().items().rates()))
        return;
    // In front of the control display, for the projector.
    m_parentWindow->raise();
    m_parentWindow->activateWindow();
}

QList<SheetPicture> NetworkController::classReportPages()
{
    const TopicDocument &exercise = m_network->exerciseDocument();
    ClassReport report;
    report.title = exercise.titel;
    report.fileName = exercise.fileName;
    report.channel = channel();
    report.when = fromDayNumber(m_services.clock.now());
    report.board = &m_network->board();
    report.document = &exercise;
    if (exercise.DokTyp != dtSingleQuestions && !exercise.objects.isEmpty())
        report.markedCard = renderMarkedCard(exercise, m_network->board().items().rates(), m_services.messages,
                                             m_services.random);
    return buildClassReport(report);
}

void NetworkController::printClassReport()
{
    QWidget *parent = m_controlDisplay ? static_cast<QWidget *>(m_controlDisplay) : m_parentWindow;
    printPages([this] { return classReportPages(); }, QStringLiteral("Klassenbericht"), parent);
}

void NetworkController::printPages(const std::function<QList<SheetPicture>()> &makePages, const QString &name,
                                   QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    printer.setDocName(name);
    if (QPrinterInfo::defaultPrinter().isNull()) {
        // No printer installed: the report goes into a PDF file.
        const QString path = askSaveFileName(m_services.fileDialogs, m_services.messages,
                                             QStringLiteral("Bericht als PDF-Datei speichern"), m_settings.protocolFolder,
                                             QStringLiteral("PDF-Dokument (*.pdf)|*.pdf"), QStringLiteral("pdf"));
        if (path.isEmpty())
            return;
        QByteArray pdf;
        {
            WaitCursorScope wait;
            pdf = writePdf(makePages(), name);
        }
        // The class's grades: for the teacher's eyes, as the results file.
        if (pdf.isEmpty() || !writeResultsFile(path, pdf))
            ShowWriteError(m_services.messages, path);
        return;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Bericht drucken"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    WaitCursorScope wait;
    const QList<SheetPicture> pages = makePages();
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_services.messages.error(QStringLiteral("Der Bericht konnte nicht gedruckt werden."));
        return;
    }
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            printer.newPage();
        paintSheetOnPage(pages.at(i), painter, SheetPrintArea{2.2, 1.4, 16.6, heightForWidth(16.6, double(kSheetWidth) / kSheetHeight), true}, printer.resolution(),
                         printer.resolution());
    }
    painter.end();
}

void NetworkController::recordClassHistory(const QString &journalPath)
{
    JournalContents journal;
    if (!readJournal(journalPath, journal))
        return; // reported when it was written
    const HistoryExercise exercise =
        exerciseFromJournal(journal.records, journalPath, m_network->exerciseDocument(), m_services.clock.now());
    // An exercise nobody joined tells nothing about the class.
    if (exercise.pupils.isEmpty())
        return;
    if (!m_history)
        m_history = std::make_unique<ClassHistory>(ClassHistory::fileIn(m_settings.protocolFolder), m_services.messages);
    m_history->add(exercise);
    if (m_historyForm && m_historyForm->isVisible())
        m_historyForm->refresh(m_historyForm->channel());
}

void NetworkController::showClassHistory()
{
    const QString path = ClassHistory::fileIn(m_settings.protocolFolder);
    // The protocol folder may have changed since.
    if (!m_history || m_history->path() != path)
        m_history = std::make_unique<ClassHistory>(path, m_services.messages);
    if (!m_historyForm) {
        QWidget *parent = m_controlDisplay && m_controlDisplay->isVisible() ? static_cast<QWidget *>(m_controlDisplay)
                                                                             : m_parentWindow;
        m_historyForm = new TKlassenverlaufForm(*m_history, parent);
        m_historyForm->onShowOnCard = [this] { showHistoryOnCard(); };
        m_historyForm->onSaveCsv = [this] { saveClassHistoryCsv(); };
        m_historyForm->onPrint = [this] {
            printPages(
                [this] {
                    return buildClassHistoryReport(m_historyForm->channel(), m_historyForm->topic(),
                                                   m_historyForm->table(), m_historyForm->weakItems(),
                                                   fromDayNumber(m_services.clock.now()));
                },
                QStringLiteral("Klassenverlauf"), m_historyForm);
        };
    }
    {
        WaitCursorScope wait;
        m_historyForm->refresh(m_historyForm->channel().isEmpty() ? channel() : m_historyForm->channel());
    }
    m_historyForm->show();
    m_historyForm->raise();
    m_historyForm->activateWindow();
}

void NetworkController::showHistoryOnCard()
{
    const QString path = m_history->topicPath(m_historyForm->channel(), m_historyForm->topic());
    TopicDocument topic;
    TopicNavigation navigation;
    if (!QFileInfo::exists(path)) {
        m_services.messages.information(
            QStringLiteral("Die Karte des Themas kann nicht gezeigt werden: Das Themendokument \"%1\" ist nicht mehr "
                           "vorhanden.")
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (readDocument(path, topic, navigation, m_services.messages) != ReadResult::Ok)
        return; // reported by the reader
    // The rates belong to the items, not to object numbers: an edited topic keeps the marks
    // of its unchanged places and gaps.
    const QHash<QString, double> byItem = m_historyForm->latestRates();
    QHash<int, double> rates;
    for (const LearningItem &item : learningItems(topic))
        if (byItem.contains(item.key))
            rates.insert(item.object, byItem.value(item.key));
    if (!m_window.showItemCard(topic, rates))
        return;
    m_parentWindow->raise();
    m_parentWindow->activateWindow();
}

void NetworkController::saveClassHistoryCsv()
{
    const QString path = askSaveFileName(m_services.fileDialogs, m_services.messages,
                                         QStringLiteral("Klassenverlauf speichern"), m_settings.protocolFolder,
                                         QStringLiteral("CSV-Datei (*.csv)|*.csv|Alle Dateien (*.*)|*.*"),
                                         QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    if (!writeResultsFile(path, classHistoryCsv(m_historyForm->table(), m_historyForm->weakItems())))
        ShowWriteError(m_services.messages, path);
}

QString NetworkController::communicationFolder() const
{
    return m_settings.communicationFolder;
}

QString NetworkController::channel() const
{
    return m_settings.channel;
}

QString NetworkController::protocolFolder() const
{
    return m_settings.protocolFolder;
}

bool NetworkController::labelEditorOpen() const
{
    return m_window.labelEditorOpen();
}

bool NetworkController::askNetworkOptions(qint32 dokTyp, QuizOptions &options)
{
    return m_window.askNetworkOptions(dokTyp, options);
}

bool NetworkController::openExchangeDocument(const QString &path)
{
    return m_window.openExchangeDocument(path);
}

void NetworkController::closeExchangeDocument()
{
    m_window.closeExchangeDocument();
}

void NetworkController::clearBestList()
{
    m_window.clearBestList();
}

void NetworkController::showControlDisplay()
{
    Kontrollanzeige1Click();
}

void NetworkController::networkStateChanged()
{
    m_window.networkRoleChanged();
    if (m_controlDisplay)
        m_controlDisplay->setExerciseState(m_network->initiator(), communicationFolder(), channel());
    m_window.describeNetworkState();
}

namespace {

// What a grid shows, read from the view's own model: one object per row, by column title.
QJsonArray tableRows(const QAbstractItemModel *model)
{
    QJsonArray rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QJsonObject row;
        for (int c = 0; c < model->columnCount(); ++c)
            row[model->headerData(c, Qt::Horizontal).toString()] = model->index(r, c).data().toString();
        rows.append(row);
    }
    return rows;
}

} // namespace

QJsonObject NetworkController::automationState() const
{
    QJsonObject state;
    state[QStringLiteral("role")] = m_engine.run().networkRole;
    const ControlBoard &board = m_network->board();
    state[QStringLiteral("joined")] = board.joinedCount();
    state[QStringLiteral("running")] = board.runningCount();
    state[QStringLiteral("finished")] = board.finishedCount();
    state[QStringLiteral("discarded")] = board.discardedCount();
    state[QStringLiteral("resultsFile")] = m_network->lastResultsFile();
    QJsonObject web;
    web[QStringLiteral("active")] = m_web->active();
    web[QStringLiteral("port")] = m_web->port();
    web[QStringLiteral("code")] = m_web->code();
    web[QStringLiteral("sessions")] = m_web->classroom().sessionCount();
    state[QStringLiteral("web")] = web;
    if (m_controlDisplay) {
        state[QStringLiteral("controlDisplayVisible")] = m_controlDisplay->isVisible();
        state[QStringLiteral("counts")] = m_controlDisplay->countsLabel()->text();
        state[QStringLiteral("rows")] = tableRows(m_controlDisplay->grid()->model());
        state[QStringLiteral("items")] = tableRows(m_controlDisplay->itemGrid()->model());
    }
    return state;
}

} // namespace kapitolo
