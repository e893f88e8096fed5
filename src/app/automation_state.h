#pragma once

#include <QString>

namespace kapitolo {

class TForm1;
struct QuizFinishedInfo;

// With KAPITOLO_AUTOMATION set, the window describes what is on the screen in that file
// after every change, so that an end-to-end test can play a quiz with the real mouse.
class AutomationState
{
public:
    AutomationState();
    bool enabled() const { return !m_file.isEmpty(); }
    void write(TForm1 &window, const QString &dialog = QString(), const QuizFinishedInfo *finished = nullptr);

private:
    QString m_file;
    int m_serial = 0;
};

} // namespace kapitolo
