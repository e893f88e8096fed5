#include "editor/topic_edit_model.h"

#include "document/document_check.h"
#include "document/document_json.h"
#include "platform/png_codec.h"
#include "platform/cp1252.h"

#include <QFile>
#include <QImageReader>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace kapitolo {

namespace {

// Margins beyond twice the picture make a card the renderer refuses to build.
constexpr double kMaxMargin = 2.0;
// A box closer to its spot than this (a fraction of the card) needs no leader line.
constexpr double kLeaderLineDistance = 0.01;

QStringList splitLines(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
}

// Blanks at both ends of every line and empty lines at both ends go; the file keeps
// captions that way anyway.
QString normaliseCaption(const QString &caption)
{
    QStringList lines = splitLines(caption);
    for (QString &line : lines)
        line = line.trimmed();
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1String("\r\n"));
}

QString typeName(qint32 type)
{
    switch (type) {
    case otLabel:
        return QStringLiteral("Beschriftung");
    case otText:
        return QStringLiteral("Text");
    case otInfoPoint:
        return QStringLiteral("Infopunkt");
    case otLink:
        return QStringLiteral("Verknüpfung");
    case otDocLink:
        return QStringLiteral("Dokumentverknüpfung");
    case otGap:
        return QStringLiteral("Lücke");
    default:
        return QStringLiteral("Objekt");
    }
}

qint32 defaultLayer(qint32 type)
{
    switch (type) {
    case otText:
        return layerIllustration;
    case otInfoPoint:
    case otLink:
    case otDocLink:
        return layerInfopunkte;
    default:
        return layerBeschriftung;
    }
}

bool editableType(qint32 type)
{
    return type == otLabel || type == otText || type == otInfoPoint || type == otLink || type == otDocLink;
}

// Image and cloze documents count their labels or gaps as their questions.
void updateQuestionCount(TopicDocument &d)
{
    if (d.DokTyp == dtSingleQuestions)
        return;
    d.AnzFrageNummern = qint32(std::count_if(d.objects.begin(), d.objects.end(), [](const DocObject &o) {
        return o.Typ == otLabel || o.Typ == otGap;
    }));
}

QImage whitePage()
{
    QImage page(1000, 700, QImage::Format_ARGB32);
    page.fill(Qt::white);
    return page;
}

double remap(double v, double oldBefore, double oldAfter, double newBefore, double newAfter)
{
    const double onPicture = v * (oldBefore + 1.0 + oldAfter) - oldBefore;
    return std::clamp((onPicture + newBefore) / (newBefore + 1.0 + newAfter), 0.0, 1.0);
}

} // namespace

QImage readPicture(const QString &path, QString *error)
{
    // The reader of topic documents allows no larger base image either.
    constexpr qint64 kMaxPixels = 100'000'000;
    QFile file(path);
    QImage picture;
    if (file.open(QIODevice::ReadOnly)) {
        if (file.peek(8).startsWith("\x89PNG")) {
            picture = decodePng(file);
        } else {
            QImageReader reader(&file);
            reader.setAutoTransform(true);
            const QSize size = reader.size();
            if (size.isValid() && qint64(size.width()) * size.height() <= kMaxPixels)
                picture = reader.read();
        }
    }
    if (picture.isNull() || qint64(picture.width()) * picture.height() > kMaxPixels) {
        *error = QStringLiteral("Das Bild \"") + path
            + QStringLiteral("\" kann nicht gelesen werden. Bitte wählen Sie ein PNG- oder JPEG-Bild "
                             "(höchstens 100 Millionen Bildpunkte).");
        return QImage();
    }
    return picture.convertToFormat(QImage::Format_ARGB32);
}

std::optional<TextProblem> storableTextProblem(const QString &text, bool multiLine)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(i + 1));
        const QString shown = QString::fromUcs4(&code, 1);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (multiLine)
                continue;
            return TextProblem{i, code, QStringLiteral("Zeilenumbrüche sind in diesem Feld nicht möglich.")};
        }
        if (code < 32 || code == 127)
            return TextProblem{i, code, QStringLiteral("Das Feld enthält ein Steuerzeichen (Code %1).").arg(code)};
        if (code > 0xFFFF || !fitsCp1252(QString(c)))
            return TextProblem{i, code,
                               QStringLiteral("Das Zeichen \"") + shown + QStringLiteral("\" (U+")
                                   + QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0'))
                                   + QStringLiteral(") kann im Themendokument nicht gespeichert werden. Bitte ersetzen "
                                                    "Sie es, zum Beispiel durch den Buchstaben ohne Akzent.")};
    }
    return std::nullopt;
}

QList<QuestionRow> questionRows(const QString &fragentext)
{
    QList<QuestionRow> rows;
    for (const QString &raw : splitLines(fragentext)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype sep = line.indexOf(QLatin1String("//"));
        rows.append({(sep < 0 ? line : line.left(sep)).trimmed(),
                     sep < 0 ? QStringLiteral("---") : line.mid(sep + 2).trimmed()});
    }
    return rows;
}

QString fragentextFromRows(const QList<QuestionRow> &rows)
{
    QStringList lines;
    for (const QuestionRow &row : rows)
        lines.append(row.question.trimmed() + QLatin1String("//") + row.answer.trimmed());
    return lines.join(QLatin1String("\r\n"));
}

bool makeClozeGap(QString &text, qsizetype selectionStart, qsizetype selectionEnd, qsizetype *cursor)
{
    qsizetype start = std::clamp<qsizetype>(std::min(selectionStart, selectionEnd), 0, text.size());
    qsizetype end = std::clamp<qsizetype>(std::max(selectionStart, selectionEnd), 0, text.size());
    auto blank = [&text](qsizetype i) { return text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t'); };
    while (start < end && blank(start))
        ++start;
    while (end > start && blank(end - 1))
        --end;
    if (start == end)
        return false;
    const QString selected = text.mid(start, end - start);
    if (selected.contains(QLatin1Char('\r')) || selected.contains(QLatin1Char('\n'))
        || selected.contains(QLatin1Char('<')) || selected.contains(QLatin1Char('>')))
        return false;
    // Inside a gap or a tag when the line before the selection opened one and did not
    // close it again.
    qsizetype lineStart = start;
    while (lineStart > 0 && text.at(lineStart - 1) != QLatin1Char('\n') && text.at(lineStart - 1) != QLatin1Char('\r'))
        --lineStart;
    const QString before = text.mid(lineStart, start - lineStart);
    if (before.lastIndexOf(QLatin1Char('<')) > before.lastIndexOf(QLatin1Char('>')))
        return false;
    text = text.left(start) + QLatin1String("<<") + selected + QLatin1String(">>") + text.mid(end);
    if (cursor)
        *cursor = end + 4;
    return true;
}

TopicDocument TopicEditModel::newImageTopic(const QImage &picture)
{
    TopicDocument d;
    d.DokTyp = dtImageLabelling;
    d.baseImage = picture.isNull() ? whitePage() : picture.convertToFormat(QImage::Format_ARGB32);
    return d;
}

TopicDocument TopicEditModel::newClozeTopic()
{
    TopicDocument d;
    d.DokTyp = dtCloze;
    d.baseImage = whitePage();
    return d;
}

TopicDocument TopicEditModel::newQuestionTopic()
{
    TopicDocument d;
    d.DokTyp = dtSingleQuestions;
    d.baseImage = whitePage();
    QList<DocObject> objects;
    d.AnzFrageNummern = createQuestionObjects(QString(), objects);
    d.objects = objects;
    return d;
}

TopicEditModel::TopicEditModel(TopicDocument document)
    : m_doc(std::move(document))
{
}

bool TopicEditModel::onCard(double x, double y)
{
    return x >= 0.0 && x <= 1.0 && y >= 0.0 && y <= 1.0;
}

bool TopicEditModel::checkIndex(int index)
{
    if (index >= 0 && index < m_doc.objects.size())
        return true;
    m_lastError = QStringLiteral("Dieses Objekt gibt es nicht (mehr).");
    return false;
}

bool TopicEditModel::checkText(const QString &text, bool multiLine, const QString &field)
{
    if (const auto problem = storableTextProblem(text, multiLine)) {
        m_lastError = field + QStringLiteral(": ") + problem->message;
        return false;
    }
    return true;
}

QString TopicEditModel::objectLabel(int index) const
{
    return typeName(m_doc.objects.at(index).Typ);
}

bool TopicEditModel::push(Command command)
{
    if (m_cleanIndex > m_index)
        m_cleanIndex = -1; // the saved state was undone and is now overwritten
    m_commands.erase(m_commands.begin() + m_index, m_commands.end());
    apply(command, true);
    m_commands.append(std::move(command));
    ++m_index;
    if (m_commands.size() > kUndoLimit) {
        m_commands.removeFirst();
        --m_index;
        m_cleanIndex = m_cleanIndex > 0 ? m_cleanIndex - 1 : -1;
    }
    m_lastError.clear();
    return true;
}

void TopicEditModel::apply(const Command &command, bool forward)
{
    std::visit(
        [&](const auto &c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, ObjectInsert>) {
                if (forward)
                    m_doc.objects.insert(c.index, c.object);
                else
                    m_doc.objects.removeAt(c.index);
            } else if constexpr (std::is_same_v<T, ObjectRemove>) {
                if (forward)
                    m_doc.objects.removeAt(c.index);
                else
                    m_doc.objects.insert(c.index, c.object);
            } else if constexpr (std::is_same_v<T, ObjectChange>) {
                m_doc.objects[c.index] = forward ? c.after : c.before;
            } else {
                // The file name belongs to the file, not to the step.
                const QString fileName = m_doc.fileName;
                m_doc = forward ? c.after : c.before;
                m_doc.fileName = fileName;
            }
        },
        command.change);
    updateQuestionCount(m_doc);
}

bool TopicEditModel::pushObjectChange(int index, const DocObject &after, const QString &label)
{
    DocObject changed = after;
    // The renderer places the box anew from KAusr whenever position or placement change.
    changed.KAusrAkt = 0;
    return push({label, ObjectChange{index, m_doc.objects.at(index), changed}});
}

bool TopicEditModel::pushDocumentChange(const TopicDocument &after, const QString &label)
{
    return push({label, DocumentChange{m_doc, after}});
}

bool TopicEditModel::prepareObject(DocObject &o)
{
    if (!onCard(o.Sx, o.Sy) || !onCard(o.Kx, o.Ky)) {
        m_lastError = QStringLiteral("Die Stelle liegt außerhalb der Karte.");
        return false;
    }
    o.Cap = normaliseCaption(o.Cap);
    if (!checkText(o.Cap, true, typeName(o.Typ)))
        return false;
    if (o.Cap.isEmpty() && o.Typ != otText) {
        m_lastError = QStringLiteral("Bitte geben Sie einen Text ein.");
        return false;
    }
    return true;
}

int TopicEditModel::addObject(const DocObject &object)
{
    DocObject o = object;
    if (!prepareObject(o))
        return -1;
    o.KAusrAkt = 0;
    const int index = int(m_doc.objects.size());
    push({typeName(o.Typ) + QStringLiteral(" hinzufügen"), ObjectInsert{index, o}});
    return index;
}

int TopicEditModel::addLabel(double x, double y, const QString &caption)
{
    DocObject o;
    o.Typ = otLabel;
    o.Sx = o.Kx = x;
    o.Sy = o.Ky = y;
    o.Cap = caption;
    o.KAusr = placeAutomatic;
    o.Ebene = layerBeschriftung;
    return addObject(o);
}

bool TopicEditModel::removeObject(int index)
{
    if (!checkIndex(index))
        return false;
    return push({objectLabel(index) + QStringLiteral(" löschen"), ObjectRemove{index, m_doc.objects.at(index)}});
}

bool TopicEditModel::moveObject(int index, double x, double y)
{
    if (!checkIndex(index))
        return false;
    DocObject o = m_doc.objects.at(index);
    const double dx = x - o.Sx;
    const double dy = y - o.Sy;
    // The box keeps its offset from the spot but never leaves the card.
    const double kx = std::clamp(o.Kx + dx, 0.0, 1.0);
    const double ky = std::clamp(o.Ky + dy, 0.0, 1.0);
    if (!onCard(x, y)) {
        m_lastError = QStringLiteral("Die Stelle liegt außerhalb der Karte.");
        return false;
    }
    if (x == o.Sx && y == o.Sy)
        return unchanged();
    o.Sx = x;
    o.Sy = y;
    o.Kx = kx;
    o.Ky = ky;
    return pushObjectChange(index, o, objectLabel(index) + QStringLiteral(" verschieben"));
}

bool TopicEditModel::moveLabelBox(int index, double kx, double ky)
{
    if (!checkIndex(index))
        return false;
    if (!onCard(kx, ky)) {
        m_lastError = QStringLiteral("Die Stelle liegt außerhalb der Karte.");
        return false;
    }
    DocObject o = m_doc.objects.at(index);
    if (kx == o.Kx && ky == o.Ky)
        return unchanged();
    o.Kx = kx;
    o.Ky = ky;
    o.Sline = std::hypot(kx - o.Sx, ky - o.Sy) > kLeaderLineDistance ? 1 : 0;
    return pushObjectChange(index, o, QStringLiteral("Schild verschieben"));
}

bool TopicEditModel::setCaption(int index, const QString &caption)
{
    if (!checkIndex(index))
        return false;
    DocObject o = m_doc.objects.at(index);
    o.Cap = caption;
    if (!prepareObject(o))
        return false;
    if (o.Cap == m_doc.objects.at(index).Cap)
        return unchanged();
    return pushObjectChange(index, o, QStringLiteral("Text ändern"));
}

bool TopicEditModel::setPlacement(int index, qint32 placement)
{
    if (!checkIndex(index))
        return false;
    if (placement < placeAutomatic || placement > placeBelow) {
        m_lastError = QStringLiteral("Unbekannte Ausrichtung.");
        return false;
    }
    DocObject o = m_doc.objects.at(index);
    if (o.KAusr == placement)
        return unchanged();
    o.KAusr = placement;
    return pushObjectChange(index, o, QStringLiteral("Ausrichtung ändern"));
}

bool TopicEditModel::setLayer(int index, qint32 layer)
{
    if (!checkIndex(index))
        return false;
    if (layer < layerIllustration || layer > layerInfopunkte) {
        m_lastError = QStringLiteral("Unbekannte Ebene.");
        return false;
    }
    DocObject o = m_doc.objects.at(index);
    if (o.Ebene == layer)
        return unchanged();
    o.Ebene = layer;
    return pushObjectChange(index, o, QStringLiteral("Ebene ändern"));
}

bool TopicEditModel::setObjectType(int index, qint32 type)
{
    if (!checkIndex(index))
        return false;
    DocObject o = m_doc.objects.at(index);
    if (!editableType(type) || !editableType(o.Typ)) {
        m_lastError = QStringLiteral("Diese Objektart kann hier nicht gewählt werden.");
        return false;
    }
    if (o.Typ == type)
        return unchanged();
    // A layer the teacher chose stays; the old kind's usual layer becomes the new one's.
    if (o.Ebene == defaultLayer(o.Typ))
        o.Ebene = defaultLayer(type);
    o.Typ = type;
    return pushObjectChange(index, o, QStringLiteral("Objektart ändern"));
}

bool TopicEditModel::setHeaderText(HeaderField field, const QString &text)
{
    static const QString names[] = {QStringLiteral("Titel"), QStringLiteral("Autor"), QStringLiteral("Bemerkung")};
    const QString &name = names[int(field)];
    const bool multiLine = field == HeaderField::Bemerkung;
    if (!checkText(text, multiLine, name))
        return false;
    TopicDocument after = m_doc;
    QString &target = field == HeaderField::Titel ? after.titel
        : field == HeaderField::Autor             ? after.autor
                                                  : after.bemerkung;
    const QString value = multiLine ? text : text.trimmed();
    if (target == value)
        return unchanged();
    target = value;
    return pushDocumentChange(after, name + QStringLiteral(" ändern"));
}

bool TopicEditModel::setMargins(const RectD &margins)
{
    for (double v : {margins.left, margins.top, margins.right, margins.bottom})
        if (!(v >= 0.0 && v <= kMaxMargin)) {
            m_lastError = QStringLiteral("Ein Rand muss zwischen 0 und %1 % des Bildes liegen.").arg(kMaxMargin * 100);
            return false;
        }
    if (margins == m_doc.RandErw)
        return unchanged();
    TopicDocument after = m_doc;
    const RectD &o = m_doc.RandErw;
    for (DocObject &obj : after.objects) {
        obj.Sx = remap(obj.Sx, o.left, o.right, margins.left, margins.right);
        obj.Kx = remap(obj.Kx, o.left, o.right, margins.left, margins.right);
        obj.Sy = remap(obj.Sy, o.top, o.bottom, margins.top, margins.bottom);
        obj.Ky = remap(obj.Ky, o.top, o.bottom, margins.top, margins.bottom);
        obj.KAusrAkt = 0;
    }
    after.RandErw = margins;
    return pushDocumentChange(after, QStringLiteral("Rand ändern"));
}

bool TopicEditModel::setPicture(const QImage &picture)
{
    if (picture.isNull()) {
        m_lastError = QStringLiteral("Das Bild kann nicht gelesen werden.");
        return false;
    }
    TopicDocument after = m_doc;
    after.baseImage = picture.convertToFormat(QImage::Format_ARGB32);
    return pushDocumentChange(after, QStringLiteral("Bild ersetzen"));
}

bool TopicEditModel::setClozeText(const QString &text)
{
    if (!checkText(text, true, QStringLiteral("Lückentext")))
        return false;
    if (text == m_doc.lueckentext)
        return unchanged();
    TopicDocument after = m_doc;
    after.lueckentext = text;
    QList<DocObject> objects;
    createGapObjects(text, objects);
    // Gaps keep the layer and placement a teacher gave them, in text order.
    QList<DocObject> oldGaps;
    for (const DocObject &o : m_doc.objects)
        if (o.Typ == otGap)
            oldGaps.append(o);
    for (qsizetype i = 0; i < objects.size() && i < oldGaps.size(); ++i) {
        objects[i].Ebene = oldGaps.at(i).Ebene;
        objects[i].Fsize = oldGaps.at(i).Fsize;
    }
    for (const DocObject &o : m_doc.objects)
        if (o.Typ != otGap)
            objects.append(o);
    after.objects = objects;
    return pushDocumentChange(after, QStringLiteral("Lückentext ändern"));
}

bool TopicEditModel::setQuestions(const QList<QuestionRow> &rows)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString field = QStringLiteral("Frage %1").arg(i + 1);
        if (!checkText(rows.at(i).question, false, field) || !checkText(rows.at(i).answer, false, field))
            return false;
        if (rows.at(i).question.contains(QLatin1String("//")) || rows.at(i).answer.contains(QLatin1String("//"))) {
            m_lastError = field + QStringLiteral(": \"//\" trennt Frage und Antwort und darf im Text nicht vorkommen.");
            return false;
        }
        if (rows.at(i).question.trimmed().isEmpty()) {
            m_lastError = field + QStringLiteral(": Bitte geben Sie eine Frage ein.");
            return false;
        }
    }
    const QString text = fragentextFromRows(rows);
    if (text == m_doc.fragentext)
        return unchanged();
    TopicDocument after = m_doc;
    after.fragentext = text;
    QList<DocObject> objects;
    after.AnzFrageNummern = createQuestionObjects(text, objects);
    const qint32 generated[] = {otAnswer,       otQuestion,       otAnswerHeading,  otPrevQuestion,
                                otNextQuestion, otFirstQuestion, otLastQuestion, otRandomQuestion};
    for (const DocObject &o : m_doc.objects)
        if (std::find(std::begin(generated), std::end(generated), o.Typ) == std::end(generated))
            objects.append(o);
    after.objects = objects;
    return pushDocumentChange(after, QStringLiteral("Fragen ändern"));
}

QString TopicEditModel::undoText() const
{
    return canUndo() ? QStringLiteral("Rückgängig: ") + m_commands.at(m_index - 1).label : QString();
}

QString TopicEditModel::redoText() const
{
    return canRedo() ? QStringLiteral("Wiederholen: ") + m_commands.at(m_index).label : QString();
}

bool TopicEditModel::undo()
{
    if (!canUndo())
        return false;
    --m_index;
    apply(m_commands.at(m_index), false);
    return true;
}

bool TopicEditModel::redo()
{
    if (!canRedo())
        return false;
    apply(m_commands.at(m_index), true);
    ++m_index;
    return true;
}

QStringList TopicEditModel::validate() const
{
    QStringList problems;
    auto text = [&problems](const QString &value, bool multiLine, const QString &field) {
        if (const auto problem = storableTextProblem(value, multiLine))
            problems << field + QStringLiteral(": ") + problem->message;
    };
    if (m_doc.titel.trimmed().isEmpty())
        problems << QStringLiteral("Das Thema hat noch keinen Titel; im Themenmenü erscheint es dann ohne Namen.");
    text(m_doc.titel, false, QStringLiteral("Titel"));
    text(m_doc.autor, false, QStringLiteral("Autor"));
    text(m_doc.bemerkung, true, QStringLiteral("Bemerkung"));
    text(m_doc.lueckentext, true, QStringLiteral("Lückentext"));
    text(m_doc.fragentext, true, QStringLiteral("Fragen"));
    for (qsizetype i = 0; i < m_doc.objects.size(); ++i)
        text(m_doc.objects.at(i).Cap, true, QStringLiteral("Objekt %1").arg(i));
    problems << checkDocument(m_doc);
    return problems;
}

} // namespace kapitolo
