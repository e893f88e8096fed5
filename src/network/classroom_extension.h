#pragma once

#include <QJsonObject>
#include <QString>

class QWidget;

namespace kapitolo {

// The browser classroom sits above the network quiz and is wired in by the app: what of it
// the teacher's network windows show goes through this, so that the network knows nothing
// of the web.
class ClassroomExtension
{
public:
    virtual ~ClassroomExtension() = default;
    // The panel under the control display's counts: how pupils join in a browser.
    virtual QWidget *createAccessPanel(QWidget *parent) = 0;
    // The check of the browser values of the communication dialog; empty when they are good.
    virtual QString settingsProblem(const QString &port, const QString &code) const = 0;
    // For the end-to-end driver: whether it serves, its port, its code and its sessions.
    virtual QJsonObject automationState() const = 0;
};

} // namespace kapitolo
