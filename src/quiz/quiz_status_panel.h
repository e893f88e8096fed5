#pragma once

#include <QFrame>
#include <QLabel>

namespace kapitolo {

class THoverPanel;
struct QuizStatusTexts;

// A label that shows as much of its text as fits and ends it with "…" otherwise.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);
    QSize minimumSizeHint() const override;
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The status panel UebInfoPan under the card while a quiz runs: status, name, the
// figures, the clock and the "?" button of the key figures.
class QuizStatusPanel : public QFrame
{
    Q_OBJECT
public:
    explicit QuizStatusPanel(QWidget *parent);

    void showTexts(const QuizStatusTexts &texts);
    void showClock(const QString &text);
    // "Richtig" or "Falsch", also announced to screen readers.
    void showVerdict(bool correct);
    // What a keyboard player holds, in the line of the hint; empty brings the hint back.
    void showKeyboardStatus(const QString &text);
    QString labelText(const QString &objectName) const;
    THoverPanel *keyFiguresButton() const { return m_kennz; }
    ElidedLabel *nameLabel() const { return m_name; }

Q_SIGNALS:
    void keyFiguresRequested();
    // A text told to screen readers at once (the verdict), whatever has the focus.
    void announced(const QString &text);

private:
    QLabel *addValue(const char *name, const QString &caption, int column, const QColor &colour,
                     const QStringList &widest);
    // The text, and for screen readers the caption with it ("Richtig: 3").
    static void setValue(QLabel *label, const QString &text);

    QLabel *m_status;
    QLabel *m_total;
    ElidedLabel *m_name;
    QLabel *m_correct;
    QLabel *m_failed;
    QLabel *m_rate;
    QLabel *m_open;
    QLabel *m_performance;
    QLabel *m_clockCaption;
    QLabel *m_clock;
    QLabel *m_note;
    QLabel *m_keyboard;
    THoverPanel *m_kennz;
};

} // namespace kapitolo
