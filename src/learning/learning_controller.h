#pragma once

#include "learning/learning_items.h"
#include "learning/progress_chart.h"

#include <QObject>

#include <memory>

class QWidget;

namespace kapitolo {

class Clock;
class LearningRecord;
class LernkarteiWindow;
class Messages;

// The pupil's learning record in the window: the record, opened on first use (start-up
// reads no database), and the Lernkartei window, made when it is first opened.
//
// Where the quiz comes in: at a quiz's start take learningTopic(document), on every verdict
// call record().recordVerdict(topic, object, correct, firstTry) (own quizzes and a network
// participant's; the editor's test run records nothing), and at its end record().flush().
// The Lernkartei asks for a quiz by practiceRequested.
class LearningController : public QObject
{
    Q_OBJECT
public:
    LearningController(Messages &messages, Clock &clock, QWidget *parentWindow, const QString &recordPath);
    ~LearningController() override;

    LearningRecord &record();
    bool recordOpened() const { return m_record != nullptr; }

    // "Lernkartei" (menu "Aktion", the button of the left column, Ctrl+K).
    void showLernkartei();
    LernkarteiWindow *lernkarteiWindow() const { return m_window; }
    // The chart on the card panel's colour.
    void setChartBackground(const QColor &colour);
    // Whether "Fällige üben" can be served (the quiz asks a subset of a topic).
    void setDuePracticeEnabled(bool enabled);

Q_SIGNALS:
    void practiceRequested(const PracticeRequest &request);

private:
    Messages &m_messages;
    Clock &m_clock;
    QWidget *m_parentWindow;
    QString m_path;
    std::unique_ptr<LearningRecord> m_record;
    LernkarteiWindow *m_window = nullptr; // a child of the main window, deleted with the controller
    ChartColours m_colours;
    bool m_duePractice = false;
};

} // namespace kapitolo
