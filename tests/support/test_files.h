#pragma once

#include "document/topic_document.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace kapitolo::test {

// A small image with a recognisable pattern (every pixel differs from its neighbours).
QImage patternImage(int width, int height, bool withAlpha = false);

// PNG bytes of the image, written by the project's encoder.
QByteArray pngBytes(const QImage &image);

// A small topic document with a title and a question count, written to the path (the
// folder is made when missing, as writeFile makes it).
bool writeTopic(const QString &path, const QString &title, int questions = 0);

// A document of each kind, built in memory for round trips.
TopicDocument sampleLabelDocument();

// Raw little-endian pieces for hand-made (and deliberately broken) files.
class RawFile
{
public:
    RawFile &int32(qint32 v);
    RawFile &float64(double v);
    RawFile &string(const QByteArray &bytes);
    RawFile &raw(const QByteArray &bytes);
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Makes the folder of the path when it is missing.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

} // namespace kapitolo::test
