#include "platform/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace kapitolo {

WaitCursorScope::WaitCursorScope()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_active = true;
    }
}

WaitCursorScope::~WaitCursorScope()
{
    if (m_active && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

} // namespace kapitolo
