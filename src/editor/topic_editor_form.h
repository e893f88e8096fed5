#pragma once

#include "editor/topic_edit_model.h"
#include "platform/services.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTimer;

namespace kapitolo {

class EditorCanvas;

// What the editor needs from the main window.
class TopicEditorHost
{
public:
    virtual ~TopicEditorHost() = default;
    // "Testen": a quiz on the edited document at once, without saving it.
    virtual void testTopic(const TopicDocument &document) = 0;
    // Saved under the path: the topic menu may show it now.
    virtual void topicSaved(const QString &path) = 0;
    // Where "Speichern unter..." and "Bild wählen..." start.
    virtual QString topicFolder() const = 0;
};

// The topic editor "Themen-Editor": a window of its own in which a teacher makes or
// changes a topic — labels on a picture, a cloze text, or single questions — and saves
// it through the document writer. The window turns gestures into commands of the
// edit model and shows the model's document with the card renderer.
class TThemenEditorForm : public QWidget
{
    Q_OBJECT
public:
    TThemenEditorForm(Services &services, TopicEditorHost &host, QWidget *parent = nullptr);
    ~TThemenEditorForm() override;

    // Starts on a new document (from the picture, cloze or question template).
    void editNew(const TopicDocument &document);
    // Reads the topic from its file; false (after the reader's message) when it cannot.
    bool editFile(const QString &path);

    // Saving: "Speichern" writes to the current file (or asks for one), "Speichern
    // unter..." always asks. False when nothing was written.
    bool save();
    bool saveAs();
    void test();
    // Puts every field's pending text into the model (before saving, testing, closing).
    bool commitPendingEdits();

    TopicEditModel &model() { return *m_model; }
    EditorCanvas *canvas() const;
    QLabel *errorLabel() const { return m_error; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    QWidget *buildImagePage();
    QWidget *buildClozePage();
    QWidget *buildQuestionPage();
    void startEditing(const TopicDocument &document);

    // Runs a model command; on refusal the message stands under the field.
    bool run(bool ok, QWidget *field = nullptr);
    void showError(const QString &text, QWidget *field);
    void refresh();
    void refreshObjectPanel();
    void refreshQuestionTable();
    void updateTitle();

    // Slots of the fields.
    void labelRequested(const QPointF &spot, const QString &caption);
    void objectTextChanged();
    void commitObjectText();
    void commitHeaderField(HeaderField field);
    void commitClozeText();
    void makeGap();
    void commitQuestions();
    void questionRowAdd();
    void questionRowRemove();
    void questionRowMove(int delta);
    void randomChoiceToggled(bool on);
    void marginsChanged();
    void choosePicture();
    void undo();
    void redo();

    Services &m_services;
    TopicEditorHost &m_host;
    std::unique_ptr<TopicEditModel> m_model;

    QLineEdit *m_titel = nullptr;
    QLineEdit *m_autor = nullptr;
    QPlainTextEdit *m_bemerkung = nullptr;
    QCheckBox *m_zufall = nullptr;
    QStackedWidget *m_pages = nullptr;

    EditorCanvas *m_imageCanvas = nullptr;
    QPlainTextEdit *m_objectText = nullptr;
    QComboBox *m_objectKind = nullptr;
    QComboBox *m_placement = nullptr;
    QComboBox *m_layer = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QDoubleSpinBox *m_margin[4] = {};

    QPlainTextEdit *m_clozeText = nullptr;
    EditorCanvas *m_clozeCanvas = nullptr;

    QTableWidget *m_questions = nullptr;
    EditorCanvas *m_questionCanvas = nullptr;

    QLabel *m_error = nullptr;
    QPushButton *m_undoButton = nullptr;
    QPushButton *m_redoButton = nullptr;
    QTimer *m_typingPause = nullptr;
    QWidget *m_errorField = nullptr;
    bool m_refreshing = false;
};

} // namespace kapitolo
