#pragma once

#include "platform/geometry.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

namespace kapitolo {

// Little-endian field reader over an open device. Every length is checked against
// the bytes left before anything is allocated, so a damaged file fails at once
// instead of asking for gigabytes. After the first failure every call fails.
class BinaryReader
{
public:
    explicit BinaryReader(QIODevice &device);

    bool readInt32(qint32 &value);
    bool readFloat64(double &value);
    bool readRectD(RectD &value);
    // A string: Int32 byte count, then that many bytes, no terminator.
    bool readBytes(QByteArray &value);
    bool readString(QString &value); // bytes decoded from Windows-1252

    qint64 bytesLeft() const;
    bool ok() const { return m_ok; }
    QIODevice &device() { return m_device; }

private:
    bool readRaw(char *dst, qint64 size);

    QIODevice &m_device;
    qint64 m_size;
    bool m_ok = true;
};

// Little-endian field writer; ok() turns false on the first failed write.
class BinaryWriter
{
public:
    explicit BinaryWriter(QIODevice &device) : m_device(device) {}

    void writeInt32(qint32 value);
    void writeFloat64(double value);
    void writeRectD(const RectD &value);
    void writeBytes(const QByteArray &value);
    void writeString(const QString &value); // encoded as Windows-1252

    bool ok() const { return m_ok; }

private:
    void writeRaw(const char *src, qint64 size);

    QIODevice &m_device;
    bool m_ok = true;
};

} // namespace kapitolo
