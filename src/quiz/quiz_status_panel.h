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
    void showVerdict(bool correct);
    QString labelText(const QString &objectName) const;
    THoverPanel *keyFiguresButton() const { return m_kennz; }
    ElidedLabel *nameLabel() const { return m_name; }

Q_SIGNALS:
    void keyFiguresRequested();

private:
    QLabel *addValue(const char *name, const QString &caption, int column, const QColor &colour,
                     const QStringList &widest);

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
    THoverPanel *m_kennz;
};

} // namespace kapitolo
