#pragma once

#include "document/topic_document.h"

#include <QImage>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace kapitolo {

// The header texts a teacher edits.
enum class HeaderField { Titel, Autor, Bemerkung };

// Label box placement beside its anchor (KAusr); automatic lets the renderer choose.
enum LabelPlacement : qint32 {
    placeAutomatic = 0,
    placeRight = 1,
    placeAbove = 2,
    placeLeft = 3,
    placeBelow = 4,
};

// One row of a single-questions topic.
struct QuestionRow {
    QString question;
    QString answer;
    bool operator==(const QuestionRow &) const = default;
};

// Why a text cannot go into a topic document, for a message at the field.
struct TextProblem {
    qsizetype position = -1; // index into the text
    char32_t character = 0;  // the offending character
    QString message;         // German, names the character
};

// The first character the document's code page cannot hold, or that would break the
// line structure of the field; nothing when the text can be stored as it is.
std::optional<TextProblem> storableTextProblem(const QString &text, bool multiLine);

// Question rows from the stored question text: one per non-empty line, split at the
// first "//"; a line without it has the answer "---", as the quiz reads it.
QList<QuestionRow> questionRows(const QString &fragentext);

// The stored question text for the rows (CR LF between the lines).
QString fragentextFromRows(const QList<QuestionRow> &rows);

// Turns the selected words of a cloze text into a gap ("<<" and ">>"), leaving blanks
// at the edges of the selection outside. False (text unchanged) when the selection is
// empty, crosses a line break, or touches a gap or a mark-up tag. On success *cursor
// is the position just behind the new gap.
bool makeClozeGap(QString &text, qsizetype selectionStart, qsizetype selectionEnd, qsizetype *cursor = nullptr);

// A picture for a new topic or a new background: PNG through the document's own codec,
// JPEG through the toolkit. A null image and a German *error when it cannot be read.
QImage readPicture(const QString &path, QString *error);

// The editable model behind the topic editor: a document, the list of commands that
// changed it (undo and redo) and the rules for what may be stored. Widget-free; the
// editor window only turns gestures into these calls.
class TopicEditModel
{
public:
    static constexpr int kUndoLimit = 500;

    // A new image-labelling topic on the picture, a new cloze topic, a new
    // single-questions topic (both on a plain white page, as the tool makes them).
    static TopicDocument newImageTopic(const QImage &picture);
    static TopicDocument newClozeTopic();
    static TopicDocument newQuestionTopic();

    explicit TopicEditModel(TopicDocument document = newImageTopic(QImage()));

    const TopicDocument &document() const { return m_doc; }
    // The path the document was opened from or last saved to; empty for a new one.
    const QString &filePath() const { return m_doc.fileName; }
    void setFilePath(const QString &path) { m_doc.fileName = path; }

    // Changed since it was opened or last saved (undoing back to that point clears it).
    bool isModified() const { return m_cleanIndex != m_index; }
    void markSaved() { m_cleanIndex = m_index; }

    // --- Commands. Each valid call is one undo step; an invalid one changes nothing
    // and returns false (or -1), with the reason in lastError().

    // A label (or another object kind) at a spot of the card; returns its index.
    int addObject(const DocObject &object);
    // A new label whose box sits on the spot, placed automatically, on the labels' layer.
    int addLabel(double x, double y, const QString &caption);
    bool removeObject(int index);
    // Moves the spot and the box together.
    bool moveObject(int index, double x, double y);
    // Moves only the box; away from its spot the box gets a leader line, back on it
    // the line goes.
    bool moveLabelBox(int index, double kx, double ky);
    bool setCaption(int index, const QString &caption);
    bool setPlacement(int index, qint32 placement);
    bool setLayer(int index, qint32 layer);
    // Label, info point, link or document link; the caption stays.
    bool setObjectType(int index, qint32 type);

    bool setHeaderText(HeaderField field, const QString &text);
    // Margins around the picture, as fractions of its size; objects keep their place
    // on the picture.
    bool setMargins(const RectD &margins);
    bool setPicture(const QImage &picture);
    // Cloze text: the gap objects follow the gaps of the text; other objects stay.
    bool setClozeText(const QString &text);
    // Single questions: text, question objects and count follow the rows.
    bool setQuestions(const QList<QuestionRow> &rows);

    bool canUndo() const { return m_index > 0; }
    bool canRedo() const { return m_index < m_commands.size(); }
    // "Rückgängig: ..." and "Wiederholen: ..." name the step.
    QString undoText() const;
    QString redoText() const;
    bool undo();
    bool redo();

    const QString &lastError() const { return m_lastError; }

    // Everything a teacher must fix before saving: texts the file cannot hold,
    // positions off the card, empty captions, and the document check's findings.
    QStringList validate() const;

    // A spot between 0 and 1 on both axes.
    static bool onCard(double x, double y);

private:
    struct ObjectInsert {
        int index;
        DocObject object;
    };
    struct ObjectRemove {
        int index;
        DocObject object;
    };
    struct ObjectChange {
        int index;
        DocObject before;
        DocObject after;
    };
    // Header, picture, texts and the whole object list at once (cloze and question
    // edits regenerate many objects; margins move every one).
    struct DocumentChange {
        TopicDocument before;
        TopicDocument after;
    };
    struct Command {
        QString label;
        std::variant<ObjectInsert, ObjectRemove, ObjectChange, DocumentChange> change;
    };

    bool push(Command command);
    // A value set to what it already is: no step, and no error either.
    bool unchanged()
    {
        m_lastError.clear();
        return false;
    }
    void apply(const Command &command, bool forward);
    bool checkIndex(int index);
    bool checkText(const QString &text, bool multiLine, const QString &field);
    // Position on the card, caption storable and not empty; normalises the caption.
    bool prepareObject(DocObject &object);
    bool pushObjectChange(int index, const DocObject &after, const QString &label);
    bool pushDocumentChange(const TopicDocument &after, const QString &label);
    QString objectLabel(int index) const;

    TopicDocument m_doc;
    QList<Command> m_commands;
    qsizetype m_index = 0;      // commands before this are applied
    qsizetype m_cleanIndex = 0; // m_index when saved; -1 when that state is gone
    QString m_lastError;
};

} // namespace kapitolo
