#pragma once

#include <QString>

namespace kapitolo {

class Clock;
class Messages;
class Random;
class SettingsStore;

// The shell's "open" action for web pages, the help page and link objects.
class ShellOpener
{
public:
    virtual ~ShellOpener() = default;
    // A file path or an Internet address; false when the system could not open it.
    virtual bool open(const QString &target) = 0;
};

// File and folder dialogs; tests script the chosen name.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Filters in the form "Beschreibung (*.x)|*.x|..."; an empty result means cancelled.
    virtual QString openFileName(const QString &title, const QString &folder, const QString &filter) = 0;
    virtual QString saveFileName(const QString &title, const QString &folder, const QString &fileName,
                                 const QString &filter, int *filterIndex) = 0;
    virtual QString folderName(const QString &title, const QString &folder) = 0;
};

// The services the windows need, passed in at creation.
struct Services {
    Messages &messages;
    Clock &clock;
    Random &random;
    SettingsStore &settings;
    ShellOpener &shell;
    FileDialogs &fileDialogs;
    QString programFolder; // with a trailing separator
    // Where the result folders are when the program folder is not writable; empty: none.
    QString sharedFolder = {};
};

} // namespace kapitolo
