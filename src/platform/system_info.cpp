#include "platform/system_info.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace kapitolo {

QString computerName()
{
    return QSysInfo::machineHostName().left(255);
}

QString userName()
{
    QString name;
    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
        name = QString::fromLocal8Bit(pw->pw_name);
    if (name.isEmpty())
        name = qEnvironmentVariable("USER");
    return name.left(255);
}

} // namespace kapitolo
