#include "document/document_file.h"

#include "document/caption_text.h"
#include "platform/png_codec.h"
#include "platform/binary_stream.h"
#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/wait_cursor.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <optional>

namespace kapitolo {

const char kDocumentKeyList[] =
    "|HD-vers|HD-titel|HD-autor|HD-bemerkung|HD-lueckentext|HD-fragentext|HD-AnzFrageNummern"
    "|HD-DokTyp|HD-RandErw|HD-NumArt|HD-GeordnetArt|OB-Sx|OB-Sy|OB-Kx|OB-Ky|OB-Cap|OB-KAusr"
    "|OB-TAusr|OB-Ebene|OB-Typ|OB-Sline|OB-Fsize|OB-KAusrAkt|OB-FrageNummer|";

namespace {

const char kMagic[] = "QMF-1.01";

bool magicMatches(QByteArrayView magic)
{
    return magic.startsWith("QMF-");
}

// One string field at the start of the bytes read so far: Int32 count, then the bytes.
// Moves past it; false when the count is negative or reaches past what has been read.
bool takeString(QByteArrayView &rest, QByteArrayView &value)
{
    if (rest.size() < 4)
        return false;
    const qint32 count = qFromLittleEndian<qint32>(rest.data());
    if (count < 0 || count > rest.size() - 4)
        return false;
    value = rest.sliced(4, count);
    rest = rest.sliced(4 + qsizetype(count));
    return true;
}

// Reads everything after the magic; false on any short or damaged field.
bool readBody(BinaryReader &in, TopicDocument &document)
{
    QByteArray keyBytes;
    if (!in.readBytes(keyBytes))
        return false;
    const QByteArray &keys = keyBytes;
    auto has = [&keys](const char *key) { return keys.contains(key); };

    if (!in.readString(document.vers) || !in.readString(document.titel) || !in.readString(document.autor)
        || !in.readString(document.bemerkung))
        return false;
    if (has("HD-lueckentext") && !in.readString(document.lueckentext))
        return false;
    if (has("HD-fragentext") && !in.readString(document.fragentext))
        return false;
    if (has("HD-AnzFrageNummern") && !in.readInt32(document.AnzFrageNummern))
        return false;
    if (has("HD-DokTyp") && !in.readInt32(document.DokTyp))
        return false;
    if (has("HD-RandErw") && !in.readRectD(document.RandErw))
        return false;
    if (has("HD-NumArt") && !in.readInt32(document.NumArt))
        return false;
    if (has("HD-GeordnetArt") && !in.readInt32(document.GeordnetArt))
        return false;

    const bool hasFrageNummer = has("OB-FrageNummer");
    qint32 count = 0;
    if (!in.readInt32(count) || count < 0)
        return false;
    // Every record takes at least 64 bytes: a count that cannot fit in the rest of
    // the file is refused before anything is allocated.
    const qint64 minRecord = hasFrageNummer ? 68 : 64;
    if (qint64(count) * minRecord > in.bytesLeft())
        return false;

    QList<DocObject> objects;
    objects.reserve(count);
    for (qint32 i = 0; i < count; ++i) {
        DocObject o;
        QString stored;
        if (!in.readFloat64(o.Sx) || !in.readFloat64(o.Sy) || !in.readFloat64(o.Kx) || !in.readFloat64(o.Ky)
            || !in.readString(stored) || !in.readInt32(o.KAusr) || !in.readInt32(o.TAusr)
            || !in.readInt32(o.Ebene) || !in.readInt32(o.Typ) || !in.readInt32(o.Sline)
            || !in.readInt32(o.Fsize) || !in.readInt32(o.KAusrAkt))
            return false;
        if (hasFrageNummer && !in.readInt32(o.FrageNummer))
            return false;
        o.Cap = decodeCaption(stored);
        if (o.Typ == otQuestion && o.Cap.contains(QLatin1String("Frage Nr.")))
            o.Cap.clear();
        objects.append(std::move(o));
    }
    document.objects = std::move(objects);

    QImage image = decodePng(in.device());
    if (image.isNull())
        return false;
    document.baseImage = std::move(image);
    return true;
}

} // namespace

ReadResult readDocument(const QString &pathArgument, TopicDocument &document, TopicNavigation &navigation,
                        Messages &messages)
{
    // A copy: the caller may pass the previously shown document, which the reset below replaces.
    const QString path = pathArgument;
    if (!QFileInfo(path).isFile()) {
        ShowMissingFileError(messages, path);
        return ReadResult::MissingFile;
    }
    document.reset(navigation);

    auto fail = [&](bool badMagic) {
        if (badMagic)
            messages.error(QStringLiteral("Ungültiges Dateiformat."));
        ShowReadError(messages, path);
        document.close(navigation);
        return ReadResult::Failed;
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(false);
    BinaryReader in(file);
    QByteArray magic;
    if (!in.readBytes(magic))
        return fail(false);
    if (!magicMatches(magic))
        return fail(true);

    WaitCursorScope wait;
    if (!readBody(in, document))
        return fail(false);
    document.fileName = path;
    navigation.currentTopicIndex = -1;
    return ReadResult::Ok;
}

bool readDocumentHeader(const QString &path, DocumentHeader &header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    // The magic, the key list and two short strings fit in the first few hundred
    // bytes; only a document with a very long title needs a second, larger read.
    // The topic list calls this for every file of a folder, so the head is parsed in
    // place, without a device or a copy of the discarded key list.
    const qint64 size = file.size();
    QByteArray head;
    for (qint64 want = 512;; want *= 16) {
        const qint64 chunk = qMin(want, size) - head.size();
        if (chunk > 0) {
            const qsizetype before = head.size();
            head.resize(before + chunk);
            const qint64 got = file.read(head.data() + before, chunk);
            head.resize(before + qMax<qint64>(got, 0));
        }
        QByteArrayView rest(head);
        QByteArrayView magic;
        QByteArrayView keys;
        QByteArrayView vers;
        QByteArrayView titel;
        if (takeString(rest, magic)) {
            if (!magicMatches(magic))
                return false;
            if (takeString(rest, keys) && takeString(rest, vers) && takeString(rest, titel)) {
                header.vers = fromCp1252(vers.data(), vers.size());
                header.titel = fromCp1252(titel.data(), titel.size());
                return true;
            }
        }
        if (head.size() >= size || want >= (qint64(1) << 30))
            return false;
    }
}

bool writeDocument(const QString &path, TopicDocument &document, bool takeAsCurrent, Messages &messages)
{
    WaitCursorScope wait;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ShowWriteError(messages, path);
        return false;
    }
    BinaryWriter out(file);
    out.writeBytes(QByteArray(kMagic));
    out.writeBytes(QByteArray(kDocumentKeyList));
    out.writeString(document.vers);
    out.writeString(document.titel);
    out.writeString(document.autor);
    out.writeString(document.bemerkung);
    out.writeString(document.lueckentext);
    out.writeString(document.fragentext);
    out.writeInt32(document.AnzFrageNummern);
    out.writeInt32(document.DokTyp);
    out.writeRectD(document.RandErw);
    out.writeInt32(document.NumArt);
    out.writeInt32(document.GeordnetArt);
    out.writeInt32(qint32(document.objects.size()));
    for (const DocObject &o : std::as_const(document.objects)) {
        out.writeFloat64(o.Sx);
        out.writeFloat64(o.Sy);
        out.writeFloat64(o.Kx);
        out.writeFloat64(o.Ky);
        out.writeString(encodeCaption(o.Cap));
        out.writeInt32(o.KAusr);
        out.writeInt32(o.TAusr);
        out.writeInt32(o.Ebene);
        out.writeInt32(o.Typ);
        out.writeInt32(o.Sline);
        out.writeInt32(o.Fsize);
        out.writeInt32(o.KAusrAkt);
        out.writeInt32(o.FrageNummer);
    }
    if (!out.ok() || !encodePng(document.baseImage, file, 5) || !file.commit()) {
        file.cancelWriting();
        ShowWriteError(messages, path);
        return false;
    }
    if (takeAsCurrent)
        document.fileName = path;
    return true;
}

} // namespace kapitolo
