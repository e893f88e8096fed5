#include "view/view_output_ui.h"

#include "platform/clock.h"
#include "platform/wait_cursor.h"
#include "view/info_text.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QRegularExpression>

namespace kapitolo {

QString QtSaveFileDialog::getSaveFileName(const SaveDialogOptions &options)
{
    QFileDialog dialog(m_parent, options.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(qtNameFilters(options.filter));
    dialog.setDefaultSuffix(options.defaultExtension);
    // A name typed without extension takes the one of the chosen file type.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, options](const QString &filter) {
        static const QRegularExpression extension(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch match = extension.match(filter);
        dialog.setDefaultSuffix(match.hasMatch() ? match.captured(1) : options.defaultExtension);
    });
    if (!options.overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

void CopyView(const QImage &display, Clock &clock)
{
    WaitCursorScope wait;
    QGuiApplication::clipboard()->setImage(display);
    clock.busyWait(100, false);
}

} // namespace kapitolo
