#pragma once

#include "platform/services.h"

#include <QStringList>

namespace kapitolo::test {

// Records what would have been opened; answers with the scripted result.
class RecordingShell : public ShellOpener
{
public:
    bool open(const QString &target) override
    {
        opened << target;
        return succeed;
    }
    QStringList opened;
    bool succeed = true;
};

// Gives the scripted names in turn (empty: cancelled) and records the dialogs' titles and folders.
class ScriptedFileDialogs : public FileDialogs
{
public:
    QString openFileName(const QString &title, const QString &folder, const QString &filter) override
    {
        asked << title + QLatin1Char('|') + folder + QLatin1Char('|') + filter;
        return next();
    }
    QString saveFileName(const QString &title, const QString &folder, const QString &fileName, const QString &filter,
                         int *filterIndex) override
    {
        asked << title + QLatin1Char('|') + folder + QLatin1Char('|') + fileName + QLatin1Char('|') + filter;
        if (filterIndex && nextFilterIndex >= 0)
            *filterIndex = nextFilterIndex;
        return next();
    }
    QString folderName(const QString &title, const QString &folder) override
    {
        asked << title + QLatin1Char('|') + folder;
        return next();
    }

    QStringList answers;
    QStringList asked;
    int nextFilterIndex = -1;

private:
    QString next() { return answers.isEmpty() ? QString() : answers.takeFirst(); }
};

} // namespace kapitolo::test
