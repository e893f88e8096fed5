#include "web/web_messages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace kapitolo {

namespace {

bool hasExactKeys(const QJsonObject &o, std::initializer_list<const char *> keys)
{
    if (o.size() != qsizetype(keys.size()))
        return false;
    for (const char *k : keys)
        if (!o.contains(QLatin1String(k)))
            return false;
    return true;
}

bool readInt(const QJsonObject &o, const char *key, qint64 low, qint64 high, qint64 &value)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < double(low) || d > double(high))
        return false;
    value = qint64(d);
    return true;
}

bool readText(const QJsonObject &o, const char *key, int maxChars, QString &value)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return false;
    value = v.toString();
    if (value.size() > maxChars)
        return false;
    for (const QChar c : std::as_const(value))
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

bool readFraction(const QJsonObject &o, const char *key, double &value)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    value = v.toDouble();
    // A tile may hang over the card's edge, but not by ten cards.
    return std::isfinite(value) && value >= -10 && value <= 10;
}

bool isTileId(const QString &id)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9]{1,32}$"));
    return pattern.match(id).hasMatch();
}

} // namespace

WebMessage parseWebMessage(const QString &text)
{
    WebMessage m;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return m;
    const QJsonObject o = doc.object();
    const QString kind = o.value(QStringLiteral("art")).toString();
    qint64 w = 0, h = 0;
    auto size = [&] {
        if (!readInt(o, "breite", 1, 10000, w) || !readInt(o, "hoehe", 1, 10000, h))
            return false;
        m.size = QSize(int(w), int(h));
        return true;
    };
    auto answer = [&] {
        return readInt(o, "seq", 1, 0x7fffffff, m.seq) && readText(o, "kachel", 32, m.tile) && isTileId(m.tile);
    };
    bool ok = false;
    if (kind == QLatin1String("name")) {
        m.kind = WebMessage::Kind::Name;
        ok = hasExactKeys(o, {"art", "name"}) && readText(o, "name", kMaxPupilNameChars, m.name);
    } else if (kind == QLatin1String("anmelden")) {
        m.kind = WebMessage::Kind::Join;
        ok = hasExactKeys(o, {"art", "code", "name", "breite", "hoehe"}) && readText(o, "code", 16, m.code)
            && readText(o, "name", kMaxPupilNameChars, m.name) && size();
    } else if (kind == QLatin1String("wieder")) {
        m.kind = WebMessage::Kind::Rejoin;
        ok = hasExactKeys(o, {"art", "token", "breite", "hoehe"}) && readText(o, "token", 64, m.token) && size();
    } else if (kind == QLatin1String("ablegen")) {
        m.kind = WebMessage::Kind::Drop;
        ok = hasExactKeys(o, {"art", "seq", "kachel", "x0", "y0", "x1", "y1"}) && readFraction(o, "x0", m.rect.left)
            && readFraction(o, "y0", m.rect.top) && readFraction(o, "x1", m.rect.right)
            && readFraction(o, "y1", m.rect.bottom) && m.rect.left < m.rect.right && m.rect.top < m.rect.bottom
            && answer();
    } else if (kind == QLatin1String("antwort")) {
        m.kind = WebMessage::Kind::Tap;
        ok = hasExactKeys(o, {"art", "seq", "kachel"}) && answer();
    } else if (kind == QLatin1String("nummer")) {
        m.kind = WebMessage::Kind::Number;
        ok = hasExactKeys(o, {"art", "seq", "kachel", "nummer"}) && readText(o, "nummer", 4, m.number) && answer();
    } else if (kind == QLatin1String("groesse")) {
        m.kind = WebMessage::Kind::Resize;
        ok = hasExactKeys(o, {"art", "breite", "hoehe"}) && size();
    }
    if (!ok)
        return WebMessage();
    return m;
}

} // namespace kapitolo
