#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace kapitolo {

class Messages;

// A file-save dialog as the program describes it: the filter in the authoring
// system's form "Beschreibung|Muster|Beschreibung|Muster".
struct SaveDialogOptions {
    QString title;
    QString filter;
    QString defaultExtension; // without the dot
    bool overwritePrompt = true;
};

// Asks for a file name to save to; an empty name means the user cancelled. The
// window layer shows the real dialog, tests script the answer.
class SaveFileDialog
{
public:
    virtual ~SaveFileDialog() = default;
    virtual QString getSaveFileName(const SaveDialogOptions &options) = 0;
};

// The dialog of "Ansicht in Bilddatei speichern".
SaveDialogOptions exportViewDialogOptions();
QString invalidExtensionText();

// Saves the display bitmap as an image file chosen in the dialog. Only ".bmp",
// ".png" and ".jpg" (in any case) are accepted; any other name is refused with an
// error message and nothing is written. False when cancelled, refused or failed.
bool ExportView(const QImage &display, SaveFileDialog &dialog, Messages &messages);

// Writes the bitmap by the lower-cased extension of the name: ".jpg" JPEG (quality
// 99), ".png" PNG (zlib level 5), anything else a Windows bitmap. Reports a failure
// itself.
bool SaveBitmapFile(const QImage &bitmap, const QString &fileName, Messages &messages);

// The three encoders; an empty result on failure.
QByteArray encodeJpeg(const QImage &image, int quality);
QByteArray encodeBmp(const QImage &image);
QByteArray encodePngBytes(const QImage &image, int compressionLevel);

// Fills the target (already sized) from a frame template: the inner part stretched
// over everything, the corners unscaled, the edges stretched along their side.
void FitNineSlice(QImage &target, const QImage &frameTemplate, int border);

} // namespace kapitolo
