#include "view/view_output_ui.h"

#include "platform/clock.h"
#include "platform/wait_cursor.h"
#include "view/info_text.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>

namespace kapitolo {

QString QtSaveFileDialog::getSaveFileName(const SaveDialogOptions &options)
{
    QFileDialog dialog(m_parent, options.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(qtNameFilters(options.filter));
    dialog.setDefaultSuffix(options.defaultExtension);
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
