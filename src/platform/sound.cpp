#include "platform/sound.h"

#include <QFile>
#include <QtEndian>

namespace kapitolo {

int wavDurationMs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    // Walk the chunks: "fmt " gives the byte rate, "data" the length.
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return -1;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(qMin<quint32>(size, 64));
            if (fmt.size() < 16)
                return -1;
            byteRate = qFromLittleEndian<quint32>(fmt.constData() + 8);
            if (size > 64 && !file.seek(file.pos() + (size - 64)))
                return -1;
        } else if (chunk.startsWith("data")) {
            if (byteRate == 0)
                return -1;
            const quint64 available = quint64(qMax<qint64>(0, file.size() - file.pos()));
            return int(qMin<quint64>(size, available) * 1000 / byteRate);
        } else if (!file.seek(file.pos() + size + (size & 1))) {
            return -1;
        }
        if (size & 1 && chunk.startsWith("fmt "))
            file.seek(file.pos() + 1);
    }
    return -1;
}

} // namespace kapitolo
