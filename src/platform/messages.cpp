#include "platform/messages.h"

#include <QDir>

namespace kapitolo {

namespace {
QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
} // namespace

QString readErrorText(const QString &path)
{
    return QStringLiteral("Die Datei \"") + shownPath(path)
        + QStringLiteral("\" kann nicht gelesen werden. ") + QStringLiteral("Mögliche Ursachen:\r\n")
        + QStringLiteral("- Datei existiert nicht\r\n") + QStringLiteral("- Ungültiges Dateiformat\r\n")
        + QStringLiteral("- fehlende Lesezugriffsberechtigung im Netzwerk");
}

QString writeErrorText(const QString &path)
{
    return QStringLiteral("Die Datei \"") + shownPath(path)
        + QStringLiteral("\" kann nicht geschrieben werden. ") + QStringLiteral("Mögliche Ursachen:\r\n")
        + QStringLiteral("- Ungültiger Ordner oder Dateiname\r\n")
        + QStringLiteral("- fehlende Schreibzugriffsberechtigung im Netzwerk");
}

QString missingFileErrorText(const QString &path)
{
    return QStringLiteral("Die Datei \"") + shownPath(path) + QStringLiteral("\" existiert nicht.");
}

void ShowReadError(Messages &messages, const QString &path)
{
    messages.error(readErrorText(path));
}

void ShowWriteError(Messages &messages, const QString &path)
{
    messages.error(writeErrorText(path));
}

void ShowMissingFileError(Messages &messages, const QString &path)
{
    messages.error(missingFileErrorText(path));
}

} // namespace kapitolo
