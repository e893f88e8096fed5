#pragma once

#include "platform/services.h"

namespace kapitolo {

class DesktopShellOpener : public ShellOpener
{
public:
    bool open(const QString &target) override;
};

class WidgetFileDialogs : public FileDialogs
{
public:
    QString openFileName(const QString &title, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &folder, const QString &fileName, const QString &filter,
                         int *filterIndex) override;
    QString folderName(const QString &title, const QString &folder) override;
};

// "Text (*.a)|*.a|Alle (*.*)|*.*" in the form Qt's dialogs take.
QString qtFilter(const QString &filter);

} // namespace kapitolo
