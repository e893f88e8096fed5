#include "platform/binary_stream.h"

#include "platform/cp1252.h"

#include <QIODevice>
#include <QtEndian>

#include <bit>
#include <cstring>

namespace kapitolo {

BinaryReader::BinaryReader(QIODevice &device)
    : m_device(device)
    , m_size(device.isSequential() ? -1 : device.size())
{
}

qint64 BinaryReader::bytesLeft() const
{
    if (m_size < 0)
        return m_device.bytesAvailable();
    return m_size - m_device.pos();
}

bool BinaryReader::readRaw(char *dst, qint64 size)
{
    if (!m_ok)
        return false;
    if (size < 0 || size > bytesLeft() || m_device.read(dst, size) != size) {
        m_ok = false;
        return false;
    }
    return true;
}

bool BinaryReader::readInt32(qint32 &value)
{
    char buf[4];
    if (!readRaw(buf, 4))
        return false;
    value = qFromLittleEndian<qint32>(buf);
    return true;
}

bool BinaryReader::readFloat64(double &value)
{
    char buf[8];
    if (!readRaw(buf, 8))
        return false;
    value = std::bit_cast<double>(qFromLittleEndian<quint64>(buf));
    return true;
}

bool BinaryReader::readRectD(RectD &value)
{
    return readFloat64(value.left) && readFloat64(value.top) && readFloat64(value.right)
        && readFloat64(value.bottom);
}

bool BinaryReader::readBytes(QByteArray &value)
{
    qint32 count = 0;
    if (!readInt32(count))
        return false;
    if (count < 0 || count > bytesLeft()) {
        m_ok = false;
        return false;
    }
    value.resize(count);
    return readRaw(value.data(), count);
}

bool BinaryReader::readString(QString &value)
{
    QByteArray bytes;
    if (!readBytes(bytes))
        return false;
    value = fromCp1252(bytes);
    return true;
}

void BinaryWriter::writeRaw(const char *src, qint64 size)
{
    if (m_ok && m_device.write(src, size) != size)
        m_ok = false;
}

void BinaryWriter::writeInt32(qint32 value)
{
    char buf[4];
    qToLittleEndian(value, buf);
    writeRaw(buf, 4);
}

void BinaryWriter::writeFloat64(double value)
{
    char buf[8];
    qToLittleEndian(std::bit_cast<quint64>(value), buf);
    writeRaw(buf, 8);
}

void BinaryWriter::writeRectD(const RectD &value)
{
    writeFloat64(value.left);
    writeFloat64(value.top);
    writeFloat64(value.right);
    writeFloat64(value.bottom);
}

void BinaryWriter::writeBytes(const QByteArray &value)
{
    if (value.size() > INT32_MAX) {
        m_ok = false;
        return;
    }
    writeInt32(qint32(value.size()));
    writeRaw(value.constData(), value.size());
}

void BinaryWriter::writeString(const QString &value)
{
    writeBytes(toCp1252(value));
}

} // namespace kapitolo
