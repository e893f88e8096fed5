#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QAbstractItemModel;
class QPushButton;
class QTabWidget;
class QTableView;

namespace kapitolo {

class ControlBoard;

// "Kontrollanzeige": the teacher's live view of a network exercise, one row per
// participant, a second tab with one row per answered place, gap or question (hardest
// first), counts at the top, and the commands the hidden teacher menu cannot reach.
// Not modal: the teacher keeps working in the main window.
class TKontrollanzeigeForm : public QWidget
{
    Q_OBJECT
public:
    TKontrollanzeigeForm(ControlBoard &board, QAbstractItemModel *items, QWidget *parent = nullptr);

    // The line under the title: where the exercise runs, or that it has ended.
    void setExerciseState(bool active, const QString &folder, const QString &channel);

    QTableView *grid() const { return m_grid; }
    QTableView *itemGrid() const { return m_itemGrid; }
    QTabWidget *tabs() const { return m_tabs; }
    QLabel *countsLabel() const { return m_counts; }
    QLabel *stateLabel() const { return m_state; }
    QPushButton *endButton() const { return m_end; }
    QPushButton *communicationButton() const { return m_communication; }
    QPushButton *bestListButton() const { return m_bestList; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *showOnCardButton() const { return m_showOnCard; }
    QPushButton *reportButton() const { return m_report; }
    QPushButton *removeButton() const { return m_remove; }
    QPushButton *historyButton() const { return m_history; }
    // Single questions have no places to mark.
    void setCardAvailable(bool available);

    std::function<void()> onEndExercise;
    std::function<void()> onCommunication;
    std::function<void()> onBestList;
    std::function<void()> onSaveResults;
    std::function<void()> onShowOnCard;
    std::function<void()> onPrintReport;
    std::function<void()> onRemoveParticipant;
    std::function<void()> onClassHistory;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateCounts();
    void updateRemove();

    ControlBoard &m_board;
    QLabel *m_state;
    QLabel *m_counts;
    QTabWidget *m_tabs;
    QTableView *m_grid;
    QTableView *m_itemGrid;
    QPushButton *m_end;
    QPushButton *m_communication;
    QPushButton *m_bestList;
    QPushButton *m_save;
    QPushButton *m_showOnCard;
    QPushButton *m_report;
    QPushButton *m_remove;
    QPushButton *m_history;
    QPushButton *m_close;
    bool m_cardAvailable = true;
    bool m_active = false;
};

} // namespace kapitolo
