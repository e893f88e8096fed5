// libFuzzer target for what a browser (or a script) sends the teacher's web server: the
// bytes of its HTTP requests, read in pieces as they arrive, and the messages of its
// WebSocket (join, reconnect, answers, size, name). Nothing may crash; the reading of the
// requests must not depend on how the bytes were cut into pieces; a message is either
// dropped or holds only values in range; a cleaned name never keeps what it must lose.

#include "web/connection_guard.h"
#include "web/web_classroom.h"
#include "web/web_messages.h"

#include <QChar>
#include <QRegularExpression>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace kapitolo;

namespace {

constexpr int kMaxHeader = 512;

void checkRequests(const QByteArray &bytes)
{
    RequestScanner whole;
    const RequestScanner::Step all = whole.feed(bytes.constData(), bytes.size(), kMaxHeader);
    // The same bytes in pieces cut where the bytes themselves say.
    RequestScanner pieces;
    int completed = 0;
    bool tooLarge = false;
    qsizetype at = 0;
    while (at < bytes.size() && !tooLarge) {
        const qsizetype piece = 1 + quint8(bytes.at(at)) % 7;
        const RequestScanner::Step step = pieces.feed(bytes.constData() + at, qMin(piece, bytes.size() - at), kMaxHeader);
        completed += step.completed;
        tooLarge = step.tooLarge;
        at += piece;
    }
    if (tooLarge != all.tooLarge || completed != all.completed)
        std::abort();
    if (!all.tooLarge && (whole.inRequest() != pieces.inRequest() || whole.headerBytes() > kMaxHeader))
        std::abort();
}

void checkName(const QString &typed)
{
    const QString name = cleanPupilName(typed);
    if (name.isEmpty())
        return;
    if (name.front().isSpace() || name.back().isSpace() || name.contains(QStringLiteral("  ")))
        std::abort();
    bool letterOrDigit = false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && (i + 1 == name.size() || !name.at(i + 1).isLowSurrogate()))
            std::abort();
        if (c.isLowSurrogate() && (i == 0 || !name.at(i - 1).isHighSurrogate()))
            std::abort();
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            std::abort();
        default:
            break;
        }
        letterOrDigit = letterOrDigit || c.isLetterOrNumber() || c.isSurrogate();
    }
    // Cleaning twice changes nothing.
    if (!letterOrDigit || cleanPupilName(name) != name)
        std::abort();
}

void checkMessage(const QString &text)
{
    static const QRegularExpression tileId(QStringLiteral("^[A-Za-z0-9]{1,32}$"));
    const WebMessage m = parseWebMessage(text);
    switch (m.kind) {
    case WebMessage::Kind::Invalid:
        return;
    case WebMessage::Kind::Join:
    case WebMessage::Kind::Rejoin:
    case WebMessage::Kind::Resize:
        if (m.size.width() < 1 || m.size.width() > 10000 || m.size.height() < 1 || m.size.height() > 10000)
            std::abort();
        break;
    case WebMessage::Kind::Drop:
        if (!std::isfinite(m.rect.left) || !std::isfinite(m.rect.bottom) || m.rect.left >= m.rect.right
            || m.rect.top >= m.rect.bottom || std::fabs(m.rect.left) > 10 || std::fabs(m.rect.bottom) > 10)
            std::abort();
        [[fallthrough]];
    case WebMessage::Kind::Tap:
    case WebMessage::Kind::Number:
        if (m.seq < 1 || m.seq > 0x7fffffff || !tileId.match(m.tile).hasMatch() || m.number.size() > 4)
            std::abort();
        break;
    case WebMessage::Kind::Name:
        break;
    }
    if (m.name.size() > kMaxPupilNameChars || m.code.size() > 16 || m.token.size() > 64)
        std::abort();
    for (const QString *field : {&m.name, &m.code, &m.token, &m.number})
        for (const QChar c : *field)
            if (c.category() == QChar::Other_Control)
                std::abort();
    checkName(m.name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkRequests(bytes);
    const QString text = QString::fromUtf8(bytes);
    checkMessage(text);
    checkName(text);
    return 0;
}
