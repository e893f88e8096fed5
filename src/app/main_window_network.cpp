// The main window's side of the classroom network quiz: it routes the commands to the
// network quiz and gives it the windows it needs.

#include "app/main_window.h"

#include "editor/topic_editor_form.h"
#include "network/communication_dialog.h"
#include "network/control_display.h"
#include "platform/folders.h"
#include "platform/save_path.h"
#include "quiz/quiz_option_forms.h"
#include "results/best_list_commands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QTableView>
#include <QTimer>

namespace kapitolo {

void TForm1::createNetworkWindows()
{
    m_controlDisplay = new TKontrollanzeigeForm(m_network->board(), this);
    m_controlDisplay->onEndExercise = [this] { NetzBeenden1Click(); };
    m_controlDisplay->onCommunication = [this] { NetzKom1Click(); };
    m_controlDisplay->onBestList = [this] {
        if (NetworkBestListCommand(m_doc, bestListPlaces(), m_bestList, m_services.clock, m_services.messages))
            showBestList();
    };
    m_controlDisplay->onSaveResults = [this] { saveNetworkResultsAs(); };
    m_netzKomForm = new TNetzKomForm(m_services.messages, m_services.fileDialogs, this);
}

void TForm1::NetzInit1Click()
{
    m_network->Initiate();
    writeAutomationState();
}

void TForm1::NetzTeilnehmen1Click()
{
    m_network->Participate();
    writeAutomationState();
}

void TForm1::Kontrollanzeige1Click()
{
    if (!m_controlDisplay)
        return;
    m_controlDisplay->setExerciseState(m_network->initiator(), communicationFolder(), channel());
    m_controlDisplay->show();
    m_controlDisplay->raise();
    m_controlDisplay->activateWindow();
    writeAutomationState();
}

void TForm1::NetzBeenden1Click()
{
    m_network->EndExercise();
    writeAutomationState();
}

void TForm1::NetzKom1Click()
{
    if (!m_netzKomForm)
        return;
    // The running exercise lives in these files and on this channel.
    const bool locked = m_network->initiator() || m_quiz->engine().run().networkRole == nrParticipant;
    m_netzKomForm->setValues(m_settings.communicationFolder, m_settings.channel, locked);
    if (m_netzKomForm->exec() != QDialog::Accepted || locked)
        return;
    m_settings.communicationFolder = m_netzKomForm->folder();
    m_settings.channel = m_netzKomForm->channel();
}

void TForm1::saveNetworkResultsAs()
{
    const QString path = askSaveFileName(m_services.fileDialogs, m_services.messages,
                                         QStringLiteral("Ergebnisse der Netzwerk-Übung speichern"),
                                         m_settings.protocolFolder,
                                         QStringLiteral("CSV-Datei (*.csv)|*.csv|Alle Dateien (*.*)|*.*"),
                                         QStringLiteral("csv"));
    if (!path.isEmpty())
        m_network->saveResults(path);
}

QString TForm1::communicationFolder() const
{
    return m_settings.communicationFolder;
}

QString TForm1::channel() const
{
    return m_settings.channel;
}

QString TForm1::protocolFolder() const
{
    return m_settings.protocolFolder;
}

bool TForm1::labelEditorOpen() const
{
    return m_editor && m_editor->isVisible();
}

bool TForm1::askNetworkOptions(qint32 dokTyp, QuizOptions &options)
{
    QuizOptionsDialog *form = m_quiz->optionsForm(dokTyp);
    if (!form)
        return false;
    form->setNetworkMode(true); // closing the dialog in any way restores it
    QTimer::singleShot(0, this, [this, form] { writeAutomationState(form->objectName()); });
    if (form->exec() != QuizOptionsDialog::kStartQuiz)
        return false;
    options = dokTyp == dtSingleQuestions ? m_quiz->uebOptFragenForm()->readOptions() : m_quiz->uebOptForm()->readOptions();
    return true;
}

bool TForm1::openExchangeDocument(const QString &path)
{
    // The pupil's topic menu stays with the pupil's topics, not the exchange folder.
    const QString topicFolder = m_topicFolder;
    const bool read = ReadDocumentAsTopic(path);
    m_topicFolder = topicFolder;
    return read && m_doc.fileName == path;
}

void TForm1::closeExchangeDocument()
{
    if (m_doc.isLoaded() && QFileInfo(m_doc.fileName).fileName().endsWith(QLatin1String("tsrnetzuebung.tsr")))
        CloseDocument();
}

void TForm1::clearBestList()
{
    m_bestList = BestList();
}

void TForm1::showControlDisplay()
{
    Kontrollanzeige1Click();
}

void TForm1::networkStateChanged()
{
    m_quiz->updateModeControls();
    if (m_controlDisplay)
        m_controlDisplay->setExerciseState(m_network->initiator(), communicationFolder(), channel());
    writeAutomationState();
}

QJsonObject TForm1::networkAutomationState() const
{
    QJsonObject state;
    state[QStringLiteral("role")] = m_quiz->engine().run().networkRole;
    const ControlBoard &board = m_network->board();
    state[QStringLiteral("joined")] = board.joinedCount();
    state[QStringLiteral("running")] = board.runningCount();
    state[QStringLiteral("finished")] = board.finishedCount();
    state[QStringLiteral("discarded")] = board.discardedCount();
    state[QStringLiteral("resultsFile")] = m_network->lastResultsFile();
    if (m_controlDisplay) {
        state[QStringLiteral("controlDisplayVisible")] = m_controlDisplay->isVisible();
        state[QStringLiteral("counts")] = m_controlDisplay->countsLabel()->text();
        // What the grid shows, read from the view's own model.
        const QAbstractItemModel *model = m_controlDisplay->grid()->model();
        QJsonArray rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            QJsonObject row;
            for (int c = 0; c < model->columnCount(); ++c)
                row[model->headerData(c, Qt::Horizontal).toString()] = model->index(r, c).data().toString();
            rows.append(row);
        }
        state[QStringLiteral("rows")] = rows;
    }
    return state;
}

} // namespace kapitolo
