#include "platform/system_info.h"

#include <QDir>
#include <QSysInfo>

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

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

int openFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return int(std::min<rlim_t>(limit.rlim_cur, 1 << 30));
}

int raiseOpenFileLimit(int wanted)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    const rlim_t target = limit.rlim_max == RLIM_INFINITY ? rlim_t(wanted) : std::min<rlim_t>(limit.rlim_max, wanted);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < target) {
        limit.rlim_cur = target;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    return openFileLimit();
}

int openDescriptorCount()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (!fds.exists())
        return -1;
    // The listing's own descriptor is among them.
    return qMax(0, int(fds.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size()) - 1);
}

} // namespace kapitolo
