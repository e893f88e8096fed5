#include "document/document_json.h"

#include "platform/png_codec.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kapitolo {

namespace {

// A small writer that keeps the keys in the order given (QJsonObject sorts them).
class JsonWriter
{
public:
    QByteArray result() const { return m_out; }

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    void key(const char *name)
    {
        separate();
        appendString(QString::fromUtf8(name));
        m_out += ": ";
        m_afterKey = true;
    }
    void value(const QString &s)
    {
        separate();
        appendString(s);
    }
    void value(qint64 n)
    {
        separate();
        m_out += QByteArray::number(n);
    }
    void value(double d)
    {
        separate();
        if (!std::isfinite(d)) {
            m_out += "null";
            return;
        }
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, d);
        m_out.append(buf, res.ptr - buf);
    }

private:
    void open(char c)
    {
        separate();
        m_out += c;
        m_first = true;
        ++m_depth;
    }
    void close(char c)
    {
        --m_depth;
        if (!m_first)
            newline();
        m_out += c;
        m_first = false;
    }
    void newline()
    {
        m_out += '\n';
        m_out += QByteArray(2 * m_depth, ' ');
    }
    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (m_depth > 0) {
            if (!m_first)
                m_out += ',';
            newline();
        }
        m_first = false;
    }
    void appendString(const QString &s)
    {
        m_out += '"';
        for (QChar c : s) {
            const char16_t u = c.unicode();
            switch (u) {
            case '"': m_out += "\\\""; break;
            case '\\': m_out += "\\\\"; break;
            case '\n': m_out += "\\n"; break;
            case '\r': m_out += "\\r"; break;
            case '\t': m_out += "\\t"; break;
            default:
                if (u < 0x20)
                    m_out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')).toLatin1();
                else
                    m_out += QString(c).toUtf8();
            }
        }
        m_out += '"';
    }

    QByteArray m_out;
    int m_depth = 0;
    bool m_first = true;
    bool m_afterKey = false;
};

QStringList textLines(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
}

} // namespace

QByteArray documentToJson(const TopicDocument &d)
{
    JsonWriter w;
    w.beginObject();
    w.key("vers"), w.value(d.vers);
    w.key("titel"), w.value(d.titel);
    w.key("autor"), w.value(d.autor);
    w.key("bemerkung"), w.value(d.bemerkung);
    w.key("lueckentext"), w.value(d.lueckentext);
    w.key("fragentext"), w.value(d.fragentext);
    w.key("AnzFrageNummern"), w.value(qint64(d.AnzFrageNummern));
    w.key("DokTyp"), w.value(qint64(d.DokTyp));
    w.key("RandErw");
    w.beginArray();
    w.value(d.RandErw.left), w.value(d.RandErw.top), w.value(d.RandErw.right), w.value(d.RandErw.bottom);
    w.endArray();
    w.key("NumArt"), w.value(qint64(d.NumArt));
    w.key("GeordnetArt"), w.value(qint64(d.GeordnetArt));
    w.key("image");
    w.beginObject();
    w.key("width"), w.value(qint64(d.baseImage.width()));
    w.key("height"), w.value(qint64(d.baseImage.height()));
    w.endObject();
    w.key("objects");
    w.beginArray();
    for (const DocObject &o : d.objects) {
        w.beginObject();
        w.key("Sx"), w.value(o.Sx);
        w.key("Sy"), w.value(o.Sy);
        w.key("Kx"), w.value(o.Kx);
        w.key("Ky"), w.value(o.Ky);
        w.key("Cap"), w.value(o.Cap);
        w.key("KAusr"), w.value(qint64(o.KAusr));
        w.key("TAusr"), w.value(qint64(o.TAusr));
        w.key("Ebene"), w.value(qint64(o.Ebene));
        w.key("Typ"), w.value(qint64(o.Typ));
        w.key("Sline"), w.value(qint64(o.Sline));
        w.key("Fsize"), w.value(qint64(o.Fsize));
        w.key("KAusrAkt"), w.value(qint64(o.KAusrAkt));
        w.key("FrageNummer"), w.value(qint64(o.FrageNummer));
        w.endObject();
    }
    w.endArray();
    w.endObject();
    QByteArray out = w.result();
    out += '\n';
    return out;
}

qint32 createQuestionObjects(const QString &fragentext, QList<DocObject> &objects)
{
    auto make = [](qint32 typ, const QString &cap, double x, double y, qint32 fsize, qint32 layer, qint32 number) {
        DocObject o;
        o.Typ = typ;
        o.Cap = cap;
        o.Sx = o.Kx = x;
        o.Sy = o.Ky = y;
        o.Fsize = fsize;
        o.Ebene = layer;
        o.KAusr = 1;
        o.TAusr = 0;
        o.Sline = 0;
        o.FrageNummer = number;
        return o;
    };
    qint32 n = 0;
    for (const QString &raw : textLines(fragentext)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        ++n;
        const qsizetype sep = line.indexOf(QLatin1String("//"));
        const QString question = (sep < 0 ? line : line.left(sep)).trimmed();
        const QString answer = sep < 0 ? QStringLiteral("---") : line.mid(sep + 2).trimmed();
        objects.append(make(otQuestion, QStringLiteral("Frage:"), 0.1, 0.175, 0, layerBeschriftung, n));
        objects.append(make(otQuestion, question, 0.1, 0.4, 5, layerBeschriftung, n));
        objects.append(make(otAnswerHeading, QStringLiteral("Antwort:"), 0.1, 0.6, 0, layerBeschriftung, n));
        objects.append(make(otAnswer, answer, 0.225, 0.6, 0, layerBeschriftung, n));
    }
    const std::pair<qint32, double> buttons[] = {{otFirstQuestion, 0.10}, {otPrevQuestion, 0.16},
                                                 {otNextQuestion, 0.22},  {otLastQuestion, 0.28},
                                                 {otRandomQuestion, 0.34}};
    for (const auto &[typ, x] : buttons)
        objects.append(make(typ, QString(), x, 0.775, 0, layerInfopunkte, -1));
    return n;
}

QStringList clozeGapWords(const QString &lueckentext)
{
    QStringList words;
    for (const QString &line : textLines(lueckentext)) {
        qsizetype p = 0;
        while (true) {
            const qsizetype open = line.indexOf(QLatin1String("<<"), p);
            if (open < 0)
                break;
            const qsizetype close = line.indexOf(QLatin1String(">>"), open + 2);
            if (close < 0)
                break;
            words.append(line.mid(open + 2, close - open - 2));
            p = close + 2;
        }
    }
    return words;
}

void createGapObjects(const QString &lueckentext, QList<DocObject> &objects)
{
    for (const QString &word : clozeGapWords(lueckentext)) {
        DocObject o;
        o.Typ = otGap;
        o.Cap = word.trimmed();
        o.Ebene = layerBeschriftung;
        o.KAusr = 2;
        o.TAusr = 0;
        o.Sline = 0;
        o.Fsize = 0;
        objects.append(o);
    }
}

bool documentFromJson(const QByteArray &json, const QString &baseFolder, TopicDocument &d, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("Ungültiges JSON: ") + parseError.errorString();
        return false;
    }
    const QJsonObject root = doc.object();
    auto str = [&](const char *key, const QString &def = QString()) {
        return root.contains(QLatin1String(key)) ? root.value(QLatin1String(key)).toString() : def;
    };
    auto num = [](const QJsonObject &o, const char *key, qint32 def) {
        return o.contains(QLatin1String(key)) ? qint32(o.value(QLatin1String(key)).toInteger(def)) : def;
    };
    auto real = [](const QJsonObject &o, const char *key, double def) {
        return o.contains(QLatin1String(key)) ? o.value(QLatin1String(key)).toDouble(def) : def;
    };

    d.vers = str("vers", QStringLiteral("1.00"));
    d.titel = str("titel");
    d.autor = str("autor");
    d.bemerkung = str("bemerkung");
    d.lueckentext = str("lueckentext");
    d.fragentext = str("fragentext");
    d.AnzFrageNummern = num(root, "AnzFrageNummern", 0);
    d.DokTyp = num(root, "DokTyp", 0);
    const QJsonArray rand = root.value(QLatin1String("RandErw")).toArray();
    if (!rand.isEmpty() && rand.size() != 4) {
        *error = QStringLiteral("\"RandErw\" braucht vier Zahlen.");
        return false;
    }
    if (rand.size() == 4)
        d.RandErw = RectD{rand[0].toDouble(), rand[1].toDouble(), rand[2].toDouble(), rand[3].toDouble()};
    d.NumArt = num(root, "NumArt", 0);
    d.GeordnetArt = num(root, "GeordnetArt", 0);

    d.objects.clear();
    for (const QJsonValue &value : root.value(QLatin1String("objects")).toArray()) {
        const QJsonObject o = value.toObject();
        DocObject obj;
        obj.Sx = real(o, "Sx", 0);
        obj.Sy = real(o, "Sy", 0);
        obj.Kx = real(o, "Kx", 0);
        obj.Ky = real(o, "Ky", 0);
        obj.Cap = o.value(QLatin1String("Cap")).toString();
        obj.KAusr = num(o, "KAusr", 0);
        obj.TAusr = num(o, "TAusr", 0);
        obj.Ebene = num(o, "Ebene", layerBeschriftung);
        obj.Typ = num(o, "Typ", otLabel);
        obj.Sline = num(o, "Sline", 0);
        obj.Fsize = num(o, "Fsize", 0);
        obj.KAusrAkt = num(o, "KAusrAkt", 0);
        obj.FrageNummer = num(o, "FrageNummer", -1);
        d.objects.append(obj);
    }

    auto hasType = [&d](auto pred) { return std::any_of(d.objects.begin(), d.objects.end(), pred); };
    if (d.DokTyp == dtSingleQuestions && !d.fragentext.isEmpty()
        && !hasType([](const DocObject &o) { return o.isQuestionObject(); })) {
        QList<DocObject> made;
        const qint32 n = createQuestionObjects(d.fragentext, made);
        if (!root.contains(QLatin1String("AnzFrageNummern")))
            d.AnzFrageNummern = n;
        d.objects = made + d.objects;
    }
    if (d.DokTyp == dtCloze && !d.lueckentext.isEmpty()
        && !hasType([](const DocObject &o) { return o.Typ == otGap; })) {
        QList<DocObject> made;
        createGapObjects(d.lueckentext, made);
        d.objects = made + d.objects;
    }

    // Label and cloze documents count their questions as the authoring system does.
    if (d.DokTyp != dtSingleQuestions && !root.contains(QLatin1String("AnzFrageNummern")))
        d.AnzFrageNummern = qint32(std::count_if(d.objects.begin(), d.objects.end(), [](const DocObject &o) {
            return o.Typ == otLabel || o.Typ == otGap;
        }));

    const QString imagePath = str("image");
    if (imagePath.isEmpty()) {
        // Question cards need no picture: they get a plain white page.
        d.baseImage = QImage(1000, 700, QImage::Format_ARGB32);
        d.baseImage.fill(Qt::white);
        return true;
    }
    const QString full = QDir(baseFolder).absoluteFilePath(imagePath);
    QFile file(full);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Das Bild \"") + full + QStringLiteral("\" kann nicht geöffnet werden.");
        return false;
    }
    d.baseImage = decodePng(file);
    if (d.baseImage.isNull()) {
        *error = QStringLiteral("Das Bild \"") + full + QStringLiteral("\" ist kein lesbares PNG.");
        return false;
    }
    return true;
}

} // namespace kapitolo
