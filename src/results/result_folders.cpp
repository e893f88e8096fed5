#include "results/result_folders.h"

#include "platform/folders.h"

#include <QFileInfo>

namespace kapitolo {

QString ResultFolderCheck::errorText() const
{
    switch (invalid) {
    case Protocol: return QStringLiteral("Der angegebene Ordner für die Protokolle ist ungültig.");
    case BestList: return QStringLiteral("Der angegebene Ordner für die Bestenlisten ist ungültig.");
    case None: break;
    }
    return QString();
}

QString completeFolderText(const QString &text)
{
    return withTrailingSeparator(text);
}

bool isExistingFolder(const QString &text)
{
    return !text.isEmpty() && QFileInfo(fromStoredPath(text)).isDir();
}

ResultFolderCheck checkResultFolders(const QString &protocolText, const QString &bestListText)
{
    ResultFolderCheck check;
    check.protocolText = completeFolderText(protocolText);
    check.bestListText = bestListText;
    if (!isExistingFolder(check.protocolText)) {
        check.invalid = ResultFolderCheck::Protocol;
        return check;
    }
    check.bestListText = completeFolderText(bestListText);
    if (!isExistingFolder(check.bestListText))
        check.invalid = ResultFolderCheck::BestList;
    return check;
}

} // namespace kapitolo
