#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace kapitolo {

// Runs a function once, right after the first paint of any window of the program has been
// handled and put on the screen: work that the first picture does not need waits for it.
class AfterFirstPaint : public QObject
{
public:
    explicit AfterFirstPaint(std::function<void()> run)
        : m_run(std::move(run))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            QCoreApplication::instance()->removeEventFilter(this);
            // After the paint pass this event belongs to has been flushed.
            QTimer::singleShot(0, this, [this] { m_run(); });
        }
        return false;
    }

private:
    std::function<void()> m_run;
};

// For start-up measurements: ends the process as soon as its first window has been painted
// (a warning about the display shown before the main window counts too), without the work
// of an orderly exit, so that a whole-process timing measures the start up to the first
// visible window. The baseline program of the measurement ends the same way.
inline void exitAfterFirstPaint()
{
    new AfterFirstPaint([] {
        std::fflush(nullptr);
        std::_Exit(0);
    });
}

} // namespace kapitolo
