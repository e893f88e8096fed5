// The main window's side of the classroom network quiz: it routes the commands to the
// network quiz and gives it the windows it needs.

#include "app/main_window.h"

#include "platform/folders.h"
#include "results/best_list_commands.h"

#include <QFileInfo>

namespace kapitolo {

bool TForm1::labelEditorOpen() const
{
    return m_editorCtl->editorOpen();
}

bool TForm1::askNetworkOptions(qint32 dokTyp, QuizOptions &options)
{
    return m_quiz->askNetworkOptions(dokTyp, options);
}

bool TForm1::openExchangeDocument(const QString &path)
{
    // The pupil's topic menu stays with the pupil's topics, not the exchange folder.
    return readCopyAsTopic(path) && m_doc.fileName == path;
}

void TForm1::startTestQuiz()
{
    raise();
    activateWindow();
    UebungStart1Click();
}

void TForm1::closeExchangeDocument()
{
    if (m_doc.isLoaded() && QFileInfo(m_doc.fileName).fileName().endsWith(QLatin1String("tsrnetzuebung.tsr")))
        m_topics->CloseDocument();
}

void TForm1::clearBestList()
{
    m_bestList = BestList();
}

void TForm1::showNetworkBestList()
{
    if (NetworkBestListCommand(m_doc, bestListPlaces(), m_bestList, m_services.clock, m_services.messages))
        showBestList();
}

void TForm1::networkRoleChanged()
{
    m_quiz->updateModeControls();
}

} // namespace kapitolo
