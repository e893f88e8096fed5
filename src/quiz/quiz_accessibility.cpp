#include "quiz/quiz_accessibility.h"

#include "quiz/quiz_board.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWindow>

namespace kapitolo {

namespace {

AccessibleTarget findTarget(const QuizBoard *board, int object, int *index = nullptr)
{
    if (!board || !board->accessibleTargets)
        return {};
    const QList<AccessibleTarget> targets = board->accessibleTargets();
    for (int i = 0; i < targets.size(); ++i)
        if (targets.at(i).object == object) {
            if (index)
                *index = i;
            return targets.at(i);
        }
    return {};
}

// One target on the card: it lives as long as the panel and says "invalid" once the
// quiz has no such target any more.
class TargetAccessible : public QAccessibleInterface
{
public:
    TargetAccessible(QuizBoard *board, int object)
        : m_board(board)
        , m_object(object)
    {
    }

    bool isValid() const override { return m_board && findTarget(m_board, m_object).object >= 0; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_board ? m_board->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return m_board ? QAccessible::queryAccessibleInterface(m_board) : nullptr; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    void setText(QAccessible::Text, const QString &) override {}

    QString text(QAccessible::Text t) const override
    {
        const AccessibleTarget target = findTarget(m_board, m_object);
        switch (t) {
        case QAccessible::Name:
            return target.name;
        case QAccessible::Description:
        case QAccessible::Value:
            return target.state;
        default:
            return QString();
        }
    }

    QRect rect() const override
    {
        if (!m_board)
            return QRect();
        const QRect r = findTarget(m_board, m_object).rect;
        return QRect(m_board->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_board || !m_board->isVisible();
        s.readOnly = true;
        return s;
    }

private:
    QPointer<QuizBoard> m_board;
    int m_object;
};

// The quiz panel: its widgets first (tiles, frame, counter), then the targets.
class BoardAccessible : public QAccessibleWidget
{
public:
    explicit BoardAccessible(QuizBoard *board)
        : QAccessibleWidget(board, QAccessible::Pane)
    {
    }

    QuizBoard *board() const { return static_cast<QuizBoard *>(widget()); }

    int childCount() const override
    {
        return QAccessibleWidget::childCount() + int(targets().size());
    }

    QAccessibleInterface *child(int index) const override
    {
        const int own = QAccessibleWidget::childCount();
        if (index < own)
            return QAccessibleWidget::child(index);
        const QList<AccessibleTarget> list = targets();
        if (index - own >= list.size())
            return nullptr;
        return targetInterface(list.at(index - own).object);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (const auto *target = dynamic_cast<const TargetAccessible *>(child)) {
            const QList<AccessibleTarget> list = targets();
            for (int i = 0; i < list.size(); ++i)
                if (targetInterface(list.at(i).object) == target)
                    return QAccessibleWidget::childCount() + i;
            return -1;
        }
        return QAccessibleWidget::indexOfChild(child);
    }

private:
    QList<AccessibleTarget> targets() const
    {
        return board()->accessibleTargets ? board()->accessibleTargets() : QList<AccessibleTarget>();
    }

    // One interface per target, kept in the accessibility cache (which owns it).
    QAccessibleInterface *targetInterface(int object) const
    {
        const auto found = m_ids.constFind(object);
        if (found != m_ids.constEnd())
            if (QAccessibleInterface *iface = QAccessible::accessibleInterface(*found))
                return iface;
        auto *iface = new TargetAccessible(board(), object);
        m_ids.insert(object, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }

    mutable QHash<int, QAccessible::Id> m_ids;
};

QAccessibleInterface *quizFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("kapitolo::QuizBoard"))
        return new BoardAccessible(static_cast<QuizBoard *>(object));
    if (className == QLatin1String("kapitolo::AnswerTile"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Button);
    return nullptr;
}

} // namespace

void installQuizAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(quizFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace kapitolo
