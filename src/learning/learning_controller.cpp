#include "learning/learning_controller.h"

#include "learning/learning_record.h"
#include "learning/lernkartei_window.h"
#include "platform/wait_cursor.h"

#include <QTableView>

namespace kapitolo {

LearningController::LearningController(Messages &messages, Clock &clock, QWidget *parentWindow,
                                       const QString &recordPath)
    : m_messages(messages)
    , m_clock(clock)
    , m_parentWindow(parentWindow)
    , m_path(recordPath)
{
}

LearningController::~LearningController()
{
    // The window reads the record: it goes first.
    delete m_window;
}

LearningRecord &LearningController::record()
{
    if (!m_record)
        m_record = std::make_unique<LearningRecord>(m_path, m_messages, m_clock);
    return *m_record;
}

void LearningController::showLernkartei()
{
    if (!m_window) {
        WaitCursorScope wait;
        m_window = new LernkarteiWindow(record(), m_clock, m_parentWindow);
        m_window->setChartColours(m_colours);
        m_window->setDuePracticeEnabled(m_duePractice);
        connect(m_window, &LernkarteiWindow::practiceRequested, this, &LearningController::practiceRequested);
    }
    // Shown again, it reads the record again.
    if (m_window->isVisible())
        m_window->refresh();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->table()->setFocus();
}

void LearningController::setChartBackground(const QColor &colour)
{
    m_colours = chartColoursOn(colour);
    if (m_window)
        m_window->setChartColours(m_colours);
}

void LearningController::setDuePracticeEnabled(bool enabled)
{
    m_duePractice = enabled;
    if (m_window)
        m_window->setDuePracticeEnabled(enabled);
}

} // namespace kapitolo
