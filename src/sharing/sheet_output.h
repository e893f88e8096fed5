#pragma once

#include "sharing/sheet_picture.h"
#include "view/view_output.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QMimeData;

namespace kapitolo {

class Messages;

enum class SheetFormat { None, Emf, Wmf, Pdf, Svg, Png };

// The format a file name asks for by its extension, compared without regard to case.
SheetFormat sheetFormatForName(const QString &fileName);

// The sheet as SVG (text as text, pictures embedded as PNG), as a one-page vector PDF
// the size of the sheet, and as a 300 dpi picture.
QByteArray writeSvg(const SheetPicture &picture);
QByteArray writePdf(const SheetPicture &picture);
// Several sheets as the pages of one PDF (a report).
QByteArray writePdf(const QList<SheetPicture> &pages, const QString &title);
QImage sheetImage300(const SheetPicture &picture);
QByteArray writeSheetPng(const SheetPicture &picture);
QByteArray sheetBytes(const SheetPicture &picture, SheetFormat format);

// Writes the sheet in the format of the file name's extension; reports a failure itself.
bool SaveSheetFile(const SheetPicture &picture, const QString &fileName, Messages &messages);

// The save dialog of "Speichern...".
SaveDialogOptions sheetSaveDialogOptions();
// True for the extensions the save dialog accepts: .emf, .wmf, .pdf and .svg.
bool sheetSaveExtensionAccepted(const QString &fileName);

// "Speichern...": asks for the name, refuses any other extension with an error box and
// writes nothing then, else writes the sheet with the busy cursor. False when
// cancelled, refused or failed.
bool SaveSheet(const SheetPicture &picture, SaveFileDialog &dialog, Messages &messages);

// The clipboard's forms of the sheet: an Enhanced Metafile ("image/x-emf"), SVG and
// a 300 dpi picture, so that office programs and image editors all paste it.
QMimeData *sheetMimeData(const SheetPicture &picture);

} // namespace kapitolo
