#include "results/results_controller.h"

#include "document/topic_document.h"
#include "platform/app_settings.h"
#include "platform/folders.h"
#include "platform/system_info.h"
#include "quiz/quiz_engine.h"
#include "results/best_list_window.h"
#include "results/result_folders_dialog.h"

namespace kapitolo {

ResultsController::ResultsController(Services &services, const TopicDocument &document, AppSettings &settings,
                                     QuizEngine &engine, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_doc(document)
    , m_settings(settings)
    , m_engine(engine)
{
}

ResultsController::~ResultsController() = default;

QWidget *ResultsController::createDialog(const QString &name, QWidget *parent)
{
    if (name == QLatin1String("TBestListForm"))
        return m_bestListForm = new TBestListForm(m_services.messages, m_services.fileDialogs, parent);
    if (name == QLatin1String("TBestListVerzForm"))
        return m_bestListVerzForm = new TBestListVerzForm(m_services.messages, m_services.fileDialogs, parent);
    return nullptr;
}

BestListPlaces ResultsController::places() const
{
    return BestListPlaces{m_settings.bestListFolder, withTrailingSeparator(m_settings.communicationFolder),
                          m_settings.channel};
}

void ResultsController::setProtocolFolder(const QString &folder)
{
    if (m_bestListForm)
        m_bestListForm->setTextSaveFolder(folder);
}

void ResultsController::showBestList()
{
    m_bestListForm->ShowList(m_doc.titel, m_bestList);
    m_bestListForm->exec();
}

void ResultsController::Bestenliste1Click()
{
    if (BestListCommand(m_engine.run().networkRole, m_doc, places(), m_bestList, m_services.clock,
                        m_services.messages))
        showBestList();
}

void ResultsController::showNetworkBestList()
{
    if (NetworkBestListCommand(m_doc, places(), m_bestList, m_services.clock, m_services.messages))
        showBestList();
}

void ResultsController::showFinishedDialogBestList()
{
    if (FinishedDialogBestListCommand(m_engine.run().networkRole, m_doc, places(), m_bestList, m_services.clock,
                                      m_services.messages))
        showBestList();
}

bool ResultsController::enterResultOnRequest()
{
    // The result as the quiz has it; the quiz keeps the note that it was entered.
    QuizRun result = m_engine.run();
    if (EnterResultOnRequest(result, m_engine.score(), m_doc, places(), computerName(), m_services.clock,
                             m_services.messages)
        != EnterResult::Entered)
        return false;
    m_engine.noteBestListEntry();
    return true;
}

bool ResultsController::enterResultAtQuizEnd()
{
    QuizRun result = m_engine.run();
    EnterResultAtQuizEnd(result, m_engine.score(), true, m_doc, places(), computerName(), m_services.clock,
                         m_services.messages);
    return result.bestListEntered;
}

void ResultsController::BestListVerz1Click()
{
    m_bestListVerzForm->setFolders(m_settings.protocolFolder, m_settings.bestListFolder);
    if (m_bestListVerzForm->exec() != QDialog::Accepted)
        return;
    m_settings.protocolFolder = m_bestListVerzForm->protocolFolder();
    m_settings.bestListFolder = m_bestListVerzForm->bestListFolder();
    m_bestListForm->setTextSaveFolder(m_settings.protocolFolder);
    Q_EMIT protocolFolderChosen(m_settings.protocolFolder);
}

void ResultsController::clearBestList()
{
    m_bestList = BestList();
}

} // namespace kapitolo
