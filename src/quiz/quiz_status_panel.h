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
// figures, the clock and the "?" button of the key figures. It is hidden until the first
// quiz, so its labels, their fonts and their measuring are made when it is first shown or
// asked for anything, not while the program starts.
class QuizStatusPanel : public QFrame
{
    Q_OBJECT
public:
    explicit QuizStatusPanel(QWidget *parent);
    void setVisible(bool visible) override;

    void showTexts(const QuizStatusTexts &texts);
    void showClock(const QString &text);
    // "Richtig" or "Falsch", also announced to screen readers.
    void showVerdict(bool correct);
    // What a keyboard player holds, in the line of the hint; empty brings the hint back.
    void showKeyboardStatus(const QString &text);
    QString labelText(const QString &objectName) const;
    THoverPanel *keyFiguresButton() const;
    ElidedLabel *nameLabel() const;

Q_SIGNALS:
    void keyFiguresRequested();
    // A text told to screen readers at once (the verdict), whatever has the focus.
    void announced(const QString &text);

private:
    void ensureBuilt() const;
    void build();
    QLabel *addValue(const char *name, const QString &caption, int column, const QColor &colour,
                     const QStringList &widest);
    // The text, and for screen readers the caption with it ("Richtig: 3").
    static void setValue(QLabel *label, const QString &text);

    QLabel *m_status = nullptr;
    QLabel *m_total = nullptr;
    ElidedLabel *m_name = nullptr;
    QLabel *m_correct = nullptr;
    QLabel *m_failed = nullptr;
    QLabel *m_rate = nullptr;
    QLabel *m_open = nullptr;
    QLabel *m_performance = nullptr;
    QLabel *m_clockCaption = nullptr;
    QLabel *m_clock = nullptr;
    QLabel *m_note = nullptr;
    QLabel *m_keyboard = nullptr;
    THoverPanel *m_kennz = nullptr;
    bool m_built = false;
};

} // namespace kapitolo
