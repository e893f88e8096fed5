#pragma once

#include <QString>

namespace kapitolo {

// The check of the folders dialog's OK: each field completed with a trailing separator,
// then tested as an existing folder, the protocol folder first. Folders are never
// created here.
struct ResultFolderCheck {
    enum Field { None, Protocol, BestList };

    QString protocolText; // the fields as they are to show afterwards
    QString bestListText;
    Field invalid = None;

    bool ok() const { return invalid == None; }
    QString errorText() const;
};

// "" stays empty; anything else ends with a separator afterwards.
QString completeFolderText(const QString &text);
bool isExistingFolder(const QString &text);
ResultFolderCheck checkResultFolders(const QString &protocolText, const QString &bestListText);

} // namespace kapitolo
