#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

namespace kapitolo::test {

// A text record as a reader finds it, with the font and colour in effect.
struct MetafileText {
    QString text;
    QPoint reference;
    QList<int> dx;
    int fontHeight = 0;
    QString face;
    bool bold = false;
    quint32 colour = 0; // COLORREF: 0x00BBGGRR
};

// What an independent reading of a metafile finds. `error` names the first fault of
// the structure; the lists are filled only as far as the reading got.
struct MetafileContent {
    QString error;
    QList<int> types; // record types (EMF) or functions (WMF) in file order
    QList<MetafileText> texts;
    int images = 0;
    QRect box;        // EMF: the bounds; WMF: the placeable header's box
    QRect frame;      // EMF: the frame in 0.01 mm
    int unitsPerInch = 0; // WMF
    bool ok() const { return error.isEmpty(); }
};

// Checks every record size against the file, the header's counts, the end record,
// the object table (objects created, selected and deleted) and, for WMF, the
// placeable header's checksum.
MetafileContent readEmfFile(const QByteArray &bytes);
MetafileContent readWmfFile(const QByteArray &bytes);

} // namespace kapitolo::test
