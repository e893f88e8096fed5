#include "platform/widget_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace kapitolo {

bool DesktopShellOpener::open(const QString &target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return false;
    QUrl url;
    if (QFileInfo::exists(trimmed))
        url = QUrl::fromLocalFile(QFileInfo(trimmed).absoluteFilePath());
    else if (trimmed.contains(QLatin1String("://")) || trimmed.startsWith(QLatin1String("mailto:")))
        url = QUrl(trimmed);
    else if (trimmed.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        url = QUrl(QStringLiteral("https://") + trimmed);
    else
        return false; // a file that does not exist
    return url.isValid() && QDesktopServices::openUrl(url);
}

QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt shows the patterns itself when the description lacks them.
        filters << (parts.at(i).contains(QLatin1Char('(')) ? parts.at(i) : parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QLatin1String(";;"));
}

QString WidgetFileDialogs::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, qtFilter(filter));
}

QString WidgetFileDialogs::saveFileName(const QString &title, const QString &folder, const QString &fileName,
                                        const QString &filter, int *filterIndex)
{
    const QString filters = qtFilter(filter);
    const QStringList list = filters.split(QLatin1String(";;"));
    QString selected = filterIndex && *filterIndex >= 0 && *filterIndex < list.size() ? list.at(*filterIndex) : QString();
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    const QString result = QFileDialog::getSaveFileName(QApplication::activeWindow(), title, start, filters, &selected);
    if (filterIndex)
        *filterIndex = int(list.indexOf(selected));
    return result;
}

QString WidgetFileDialogs::folderName(const QString &title, const QString &folder)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, folder);
}

} // namespace kapitolo
