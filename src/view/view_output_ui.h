#pragma once

#include "view/view_output.h"

#include <QImage>

class QWidget;

namespace kapitolo {

class Clock;

// The real file-save dialog.
class QtSaveFileDialog : public SaveFileDialog
{
public:
    explicit QtSaveFileDialog(QWidget *parent = nullptr) : m_parent(parent) {}
    QString getSaveFileName(const SaveDialogOptions &options) override;

private:
    QWidget *m_parent;
};

// Puts the display bitmap on the clipboard; waits 100 ms without handling input so
// that the clipboard owner has settled before the user acts again.
void CopyView(const QImage &display, Clock &clock);

} // namespace kapitolo
