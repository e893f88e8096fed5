#pragma once

#include "platform/geometry.h"

#include <QSize>
#include <QString>

namespace kapitolo {

// One message of the page, read strictly: exactly the keys of its kind, numbers whole
// and in range, texts without control characters and within their length. Anything else
// is Invalid, and the server drops it (counting it with the discarded reports).
struct WebMessage {
    enum class Kind { Invalid, Name, Join, Rejoin, Drop, Tap, Number, Resize };
    Kind kind = Kind::Invalid;
    QString name;    // Name, Join: as typed (cleaned by the classroom)
    QString code;    // Join
    QString token;   // Rejoin
    QSize size;      // Join, Rejoin, Resize: the browser's room for the card
    qint64 seq = 0;  // Drop, Tap, Number: the page's number of the answer
    QString tile;    // Drop, Tap, Number
    RectD rect;      // Drop: the tile where it was released, fractions of the card
    QString number;  // Number: the target typed

    bool isAnswer() const { return kind == Kind::Drop || kind == Kind::Tap || kind == Kind::Number; }
};

// Longest name the page's field allows.
constexpr int kMaxPupilNameChars = 30;

WebMessage parseWebMessage(const QString &text);

} // namespace kapitolo
