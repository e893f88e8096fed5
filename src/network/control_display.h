#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTableView;

namespace kapitolo {

class ControlBoard;

// "Kontrollanzeige": the teacher's live view of a network exercise, one row per
// participant, counts at the top, and the commands the hidden teacher menu cannot reach.
// Not modal: the teacher keeps working in the main window.
class TKontrollanzeigeForm : public QWidget
{
    Q_OBJECT
public:
    explicit TKontrollanzeigeForm(ControlBoard &board, QWidget *parent = nullptr);

    // The line under the title: where the exercise runs, or that it has ended.
    void setExerciseState(bool active, const QString &folder, const QString &channel);

    QTableView *grid() const { return m_grid; }
    QLabel *countsLabel() const { return m_counts; }
    QLabel *stateLabel() const { return m_state; }
    QPushButton *endButton() const { return m_end; }
    QPushButton *communicationButton() const { return m_communication; }
    QPushButton *bestListButton() const { return m_bestList; }
    QPushButton *saveButton() const { return m_save; }

    std::function<void()> onEndExercise;
    std::function<void()> onCommunication;
    std::function<void()> onBestList;
    std::function<void()> onSaveResults;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateCounts();

    ControlBoard &m_board;
    QLabel *m_state;
    QLabel *m_counts;
    QTableView *m_grid;
    QPushButton *m_end;
    QPushButton *m_communication;
    QPushButton *m_bestList;
    QPushButton *m_save;
    QPushButton *m_close;
};

} // namespace kapitolo
