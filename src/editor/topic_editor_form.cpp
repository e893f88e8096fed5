#include "editor/topic_editor_form.h"

#include "document/document_file.h"
#include "editor/editor_canvas.h"
#include "platform/folders.h"
#include "platform/messages.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

// The words that make a quiz take 20 questions at random; appended and removed by the
// check box.
const QString kRandomSuffix = QStringLiteral(" – zufällige Auswahl");

bool titleAsksForRandom(const QString &title)
{
    return title.toLower().contains(QStringLiteral("zufällig"));
}

// The object kinds a teacher chooses between, in the order of the box.
const qint32 kKinds[] = {otLabel, otInfoPoint, otLink, otDocLink};

QString errorStyle()
{
    return QStringLiteral("border: 2px solid rgb(200, 0, 0);");
}

} // namespace

TThemenEditorForm::TThemenEditorForm(Services &services, TopicEditorHost &host, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_services(services)
    , m_host(host)
    , m_model(std::make_unique<TopicEditModel>())
{
    setObjectName(QStringLiteral("TThemenEditorForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1100, 760);
    m_typingPause = new QTimer(this);
    m_typingPause->setSingleShot(true);
    m_typingPause->setInterval(700);
    connect(m_typingPause, &QTimer::timeout, this, [this] { commitPendingEdits(); });
    buildWindow();
}

TThemenEditorForm::~TThemenEditorForm() = default;

EditorCanvas *TThemenEditorForm::canvas() const
{
    switch (m_model->document().DokTyp) {
    case dtCloze:
        return m_clozeCanvas;
    case dtSingleQuestions:
        return m_questionCanvas;
    default:
        return m_imageCanvas;
    }
}

void TThemenEditorForm::buildWindow()
{
    auto *layout = new QVBoxLayout(this);

    auto *header = new QGroupBox(QStringLiteral(" Thema "), this);
    auto *form = new QFormLayout(header);
    m_titel = new QLineEdit(header);
    m_titel->setObjectName(QStringLiteral("TitelEdit"));
    m_titel->setPlaceholderText(QStringLiteral("erscheint im Themenmenü und in der Titelzeile"));
    m_autor = new QLineEdit(header);
    m_autor->setObjectName(QStringLiteral("AutorEdit"));
    m_bemerkung = new QPlainTextEdit(header);
    m_bemerkung->setObjectName(QStringLiteral("BemerkungEdit"));
    m_bemerkung->setTabChangesFocus(true);
    m_bemerkung->setFixedHeight(48);
    m_zufall = new QCheckBox(QStringLiteral("&Zufällige Auswahl: jedes Quiz stellt 20 zufällig gewählte Fragen"), header);
    m_zufall->setObjectName(QStringLiteral("ZufallCheck"));
    m_zufall->setToolTip(QStringLiteral("Fügt dem Titel \"zufällige Auswahl\" hinzu; ein Titel mit dem Wort "
                                        "\"zufällig\" lässt das Quiz 20 Fragen zufällig auswählen."));
    form->addRow(QStringLiteral("&Titel:"), m_titel);
    form->addRow(QStringLiteral("&Autor:"), m_autor);
    form->addRow(QStringLiteral("&Bemerkung:"), m_bemerkung);
    form->addRow(QString(), m_zufall);
    layout->addWidget(header);

    connect(m_titel, &QLineEdit::editingFinished, this, [this] { commitHeaderField(HeaderField::Titel); });
    connect(m_autor, &QLineEdit::editingFinished, this, [this] { commitHeaderField(HeaderField::Autor); });
    connect(m_bemerkung, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_refreshing)
            m_typingPause->start();
    });
    connect(m_zufall, &QCheckBox::toggled, this, &TThemenEditorForm::randomChoiceToggled);

    m_pages = new QStackedWidget(this);
    m_pages->addWidget(buildImagePage());
    m_pages->addWidget(buildClozePage());
    m_pages->addWidget(buildQuestionPage());
    layout->addWidget(m_pages, 1);

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("FehlerLab"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0); font-weight: bold;"));
    m_error->hide();
    layout->addWidget(m_error);

    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const QString &caption, const QString &tip) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    m_undoButton = button("UndoBtn", QStringLiteral("&Rückgängig"), QStringLiteral("Strg+Z"));
    m_redoButton = button("RedoBtn", QStringLiteral("&Wiederholen"), QStringLiteral("Strg+Y"));
    buttons->addStretch(1);
    QPushButton *testen = button("TestenBtn", QStringLiteral("T&esten"),
                                 QStringLiteral("Startet ein Quiz mit dem Thema, ohne es zu speichern (F7)"));
    QPushButton *speichern = button("SpeichernBtn", QStringLiteral("&Speichern"), QStringLiteral("Strg+S"));
    QPushButton *speichernUnter = button("SpeichernUnterBtn", QStringLiteral("Speichern &unter..."),
                                         QStringLiteral("Strg+Umschalt+S"));
    QPushButton *schliessen = button("SchliessenBtn", QStringLiteral("S&chließen"), QString());
    layout->addLayout(buttons);

    connect(m_undoButton, &QPushButton::clicked, this, &TThemenEditorForm::undo);
    connect(m_redoButton, &QPushButton::clicked, this, &TThemenEditorForm::redo);
    connect(testen, &QPushButton::clicked, this, &TThemenEditorForm::test);
    connect(speichern, &QPushButton::clicked, this, &TThemenEditorForm::save);
    connect(speichernUnter, &QPushButton::clicked, this, &TThemenEditorForm::saveAs);
    connect(schliessen, &QPushButton::clicked, this, &QWidget::close);

    auto shortcut = [this](const QKeySequence &keys, auto slot) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Undo, &TThemenEditorForm::undo);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), &TThemenEditorForm::redo);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TThemenEditorForm::redo);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &TThemenEditorForm::save);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &TThemenEditorForm::saveAs);
    shortcut(QKeySequence(Qt::Key_F7), &TThemenEditorForm::test);
}

QWidget *TThemenEditorForm::buildImagePage()
{
    auto *page = new QWidget(this);
    auto *row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    m_imageCanvas = new EditorCanvas(m_services.messages, m_services.random, page);
    row->addWidget(m_imageCanvas, 1);

    auto *side = new QVBoxLayout;
    auto *hint = new QLabel(QStringLiteral("Klicken Sie auf eine Stelle des Bildes und geben Sie die Beschriftung ein. "
                                           "Ziehen Sie ein Schild von seiner Stelle weg, erhält es eine Linie zur "
                                           "Stelle; den roten Punkt ziehen Sie, um die ganze Beschriftung zu "
                                           "verschieben. Entf löscht."),
                               page);
    hint->setWordWrap(true);
    hint->setMaximumWidth(300);
    side->addWidget(hint);

    auto *objectBox = new QGroupBox(QStringLiteral(" Gewählte Beschriftung "), page);
    auto *form = new QFormLayout(objectBox);
    m_objectText = new QPlainTextEdit(objectBox);
    m_objectText->setObjectName(QStringLiteral("ObjTextEdit"));
    m_objectText->setTabChangesFocus(true);
    m_objectText->setFixedHeight(72);
    m_objectText->setToolTip(QStringLiteral("Beschriftung; bei Infopunkten der Infotext mit Auszeichnungen wie "
                                            "<B>fett</B>, bei Verknüpfungen die Adresse oder Datei"));
    m_objectKind = new QComboBox(objectBox);
    m_objectKind->setObjectName(QStringLiteral("ObjArtCombo"));
    m_objectKind->addItems({QStringLiteral("Beschriftung"), QStringLiteral("Infopunkt"),
                            QStringLiteral("Verknüpfung (Datei oder Internet)"), QStringLiteral("Dokumentverknüpfung")});
    m_placement = new QComboBox(objectBox);
    m_placement->setObjectName(QStringLiteral("ObjAusrCombo"));
    m_placement->addItems({QStringLiteral("automatisch"), QStringLiteral("rechts"), QStringLiteral("oberhalb"),
                           QStringLiteral("links"), QStringLiteral("unterhalb")});
    m_layer = new QComboBox(objectBox);
    m_layer->setObjectName(QStringLiteral("ObjEbeneCombo"));
    m_layer->addItems({QStringLiteral("Illustration"), QStringLiteral("Beschriftung"), QStringLiteral("Infopunkte")});
    m_deleteButton = new QPushButton(QStringLiteral("&Löschen"), objectBox);
    m_deleteButton->setObjectName(QStringLiteral("ObjLoeschenBtn"));
    m_deleteButton->setAutoDefault(false);
    form->addRow(QStringLiteral("Te&xt:"), m_objectText);
    form->addRow(QStringLiteral("&Art:"), m_objectKind);
    form->addRow(QStringLiteral("&Platzierung:"), m_placement);
    form->addRow(QStringLiteral("&Ebene:"), m_layer);
    form->addRow(QString(), m_deleteButton);
    side->addWidget(objectBox);

    auto *marginBox = new QGroupBox(QStringLiteral(" Rand um das Bild (in % der Bildgröße) "), page);
    auto *marginForm = new QFormLayout(marginBox);
    const char *names[4] = {"RandLinksSpin", "RandObenSpin", "RandRechtsSpin", "RandUntenSpin"};
    const QString captions[4] = {QStringLiteral("links:"), QStringLiteral("oben:"), QStringLiteral("rechts:"),
                                 QStringLiteral("unten:")};
    for (int i = 0; i < 4; ++i) {
        m_margin[i] = new QDoubleSpinBox(marginBox);
        m_margin[i]->setObjectName(QLatin1String(names[i]));
        m_margin[i]->setRange(0, 200);
        m_margin[i]->setDecimals(0);
        m_margin[i]->setSingleStep(5);
        m_margin[i]->setSuffix(QStringLiteral(" %"));
        m_margin[i]->setKeyboardTracking(false);
        marginForm->addRow(captions[i], m_margin[i]);
        connect(m_margin[i], &QDoubleSpinBox::valueChanged, this, &TThemenEditorForm::marginsChanged);
    }
    side->addWidget(marginBox);
    auto *picture = new QPushButton(QStringLiteral("&Bild wählen..."), page);
    picture->setObjectName(QStringLiteral("BildBtn"));
    picture->setAutoDefault(false);
    side->addWidget(picture);
    side->addStretch(1);
    row->addLayout(side);

    connect(m_imageCanvas, &EditorCanvas::labelRequested, this, &TThemenEditorForm::labelRequested);
    connect(m_imageCanvas, &EditorCanvas::selectionChanged, this, [this] { refreshObjectPanel(); });
    connect(m_imageCanvas, &EditorCanvas::boxMoved, this,
            [this](int i, const QPointF &p) { run(m_model->moveLabelBox(i, p.x(), p.y())); });
    connect(m_imageCanvas, &EditorCanvas::objectMoved, this,
            [this](int i, const QPointF &p) { run(m_model->moveObject(i, p.x(), p.y())); });
    connect(m_imageCanvas, &EditorCanvas::deleteRequested, this, [this](int i) { run(m_model->removeObject(i)); });
    connect(m_deleteButton, &QPushButton::clicked, this,
            [this] { run(m_model->removeObject(m_imageCanvas->selected())); });
    connect(m_objectText, &QPlainTextEdit::textChanged, this, &TThemenEditorForm::objectTextChanged);
    connect(m_objectKind, &QComboBox::activated, this,
            [this](int item) { run(m_model->setObjectType(m_imageCanvas->selected(), kKinds[item]), m_objectKind); });
    connect(m_placement, &QComboBox::activated, this,
            [this](int item) { run(m_model->setPlacement(m_imageCanvas->selected(), item), m_placement); });
    connect(m_layer, &QComboBox::activated, this,
            [this](int item) { run(m_model->setLayer(m_imageCanvas->selected(), item), m_layer); });
    connect(picture, &QPushButton::clicked, this, &TThemenEditorForm::choosePicture);
    return page;
}

QWidget *TThemenEditorForm::buildClozePage()
{
    auto *page = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(page);
    auto *column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    auto *hint = new QLabel(QStringLiteral("Markieren Sie ein Wort und klicken Sie auf \"Auswahl als Lücke\". Lücken "
                                           "stehen zwischen << und >>; <B>fett</B>, <I>kursiv</I> und <@LINIE> "
                                           "gestalten den Text."),
                            left);
    hint->setWordWrap(true);
    column->addWidget(hint);
    m_clozeText = new QPlainTextEdit(left);
    m_clozeText->setObjectName(QStringLiteral("LueckentextEdit"));
    column->addWidget(m_clozeText, 1);
    auto *gap = new QPushButton(QStringLiteral("Auswahl als &Lücke"), left);
    gap->setObjectName(QStringLiteral("LueckeBtn"));
    gap->setAutoDefault(false);
    column->addWidget(gap);
    m_clozeCanvas = new EditorCanvas(m_services.messages, m_services.random, page);
    m_clozeCanvas->setAddingLabels(false);
    page->addWidget(left);
    page->addWidget(m_clozeCanvas);
    // Text and preview side by side, about equally wide.
    page->setSizes({450, 550});

    connect(m_clozeText, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_refreshing)
            m_typingPause->start();
    });
    connect(gap, &QPushButton::clicked, this, &TThemenEditorForm::makeGap);
    return page;
}

QWidget *TThemenEditorForm::buildQuestionPage()
{
    auto *page = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(page);
    auto *column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    m_questions = new QTableWidget(0, 2, left);
    m_questions->setObjectName(QStringLiteral("FragenTabelle"));
    m_questions->setHorizontalHeaderLabels({QStringLiteral("Frage"), QStringLiteral("Antwort")});
    m_questions->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_questions->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_questions->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_questions->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addWidget(m_questions, 1);
    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, left);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton *add = button("ZeileNeuBtn", QStringLiteral("Zeile &hinzufügen"));
    QPushButton *remove = button("ZeileLoeschenBtn", QStringLiteral("Zeile &entfernen"));
    QPushButton *up = button("ZeileHochBtn", QStringLiteral("Nach &oben"));
    QPushButton *down = button("ZeileRunterBtn", QStringLiteral("Nach u&nten"));
    column->addLayout(buttons);
    m_questionCanvas = new EditorCanvas(m_services.messages, m_services.random, page);
    m_questionCanvas->setAddingLabels(false);
    page->addWidget(left);
    page->addWidget(m_questionCanvas);
    page->setSizes({520, 480});

    connect(m_questions, &QTableWidget::itemChanged, this, [this] {
        if (!m_refreshing)
            commitQuestions();
    });
    connect(m_questions, &QTableWidget::currentCellChanged, this, [this] {
        if (!m_refreshing)
            refresh();
    });
    connect(add, &QPushButton::clicked, this, &TThemenEditorForm::questionRowAdd);
    connect(remove, &QPushButton::clicked, this, &TThemenEditorForm::questionRowRemove);
    connect(up, &QPushButton::clicked, this, [this] { questionRowMove(-1); });
    connect(down, &QPushButton::clicked, this, [this] { questionRowMove(1); });
    return page;
}

void TThemenEditorForm::editNew(const TopicDocument &document)
{
    startEditing(document);
}

bool TThemenEditorForm::editFile(const QString &path)
{
    TopicDocument document;
    TopicNavigation navigation;
    if (readDocument(path, document, navigation, m_services.messages) != ReadResult::Ok)
        return false;
    startEditing(document);
    return true;
}

void TThemenEditorForm::startEditing(const TopicDocument &document)
{
    m_typingPause->stop();
    m_model = std::make_unique<TopicEditModel>(document);
    m_refreshing = true;
    m_titel->setText(document.titel);
    m_autor->setText(document.autor);
    m_bemerkung->setPlainText(document.bemerkung);
    m_clozeText->setPlainText(document.lueckentext);
    m_refreshing = false;
    m_pages->setCurrentIndex(qBound(0, int(document.DokTyp), 2));
    m_imageCanvas->select(-1);
    showError(QString(), nullptr);
    refreshQuestionTable();
    refresh();
}

bool TThemenEditorForm::run(bool ok, QWidget *field)
{
    if (!ok && !m_model->lastError().isEmpty())
        showError(m_model->lastError(), field);
    else if (ok || field == m_errorField)
        showError(QString(), nullptr);
    refresh();
    return ok;
}

void TThemenEditorForm::showError(const QString &text, QWidget *field)
{
    if (m_errorField && m_errorField != field)
        m_errorField->setStyleSheet(QString());
    m_errorField = text.isEmpty() ? nullptr : field;
    if (m_errorField)
        m_errorField->setStyleSheet(errorStyle());
    m_error->setText(text);
    m_error->setVisible(!text.isEmpty());
}

void TThemenEditorForm::refresh()
{
    m_refreshing = true;
    const TopicDocument &d = m_model->document();
    // A field the teacher is typing in keeps its text; the others follow the model
    // (after undo and redo too).
    if (!m_titel->hasFocus() && m_errorField != m_titel && m_titel->text() != d.titel)
        m_titel->setText(d.titel);
    if (!m_autor->hasFocus() && m_errorField != m_autor && m_autor->text() != d.autor)
        m_autor->setText(d.autor);
    if (!m_bemerkung->hasFocus() && m_errorField != m_bemerkung && m_bemerkung->toPlainText() != d.bemerkung)
        m_bemerkung->setPlainText(d.bemerkung);
    if (!m_clozeText->hasFocus() && m_errorField != m_clozeText && m_clozeText->toPlainText() != d.lueckentext)
        m_clozeText->setPlainText(d.lueckentext);
    m_zufall->setChecked(titleAsksForRandom(d.titel));
    for (int i = 0; i < 4; ++i) {
        const double v[4] = {d.RandErw.left, d.RandErw.top, d.RandErw.right, d.RandErw.bottom};
        if (!m_margin[i]->hasFocus())
            m_margin[i]->setValue(v[i] * 100.0);
    }
    m_refreshing = false;

    if (d.DokTyp == dtSingleQuestions) {
        TopicDocument shown = d;
        shown.currentQuestion = qMax(1, m_questions->currentRow() + 1);
        m_questionCanvas->showDocument(shown);
    } else {
        canvas()->showDocument(d);
    }
    refreshObjectPanel();
    m_undoButton->setEnabled(m_model->canUndo());
    m_undoButton->setToolTip(m_model->undoText());
    m_redoButton->setEnabled(m_model->canRedo());
    m_redoButton->setToolTip(m_model->redoText());
    updateTitle();
}

void TThemenEditorForm::refreshObjectPanel()
{
    const int index = m_imageCanvas->selected();
    const bool on = index >= 0 && index < m_model->document().objects.size();
    for (QWidget *w : {static_cast<QWidget *>(m_objectText), static_cast<QWidget *>(m_objectKind),
                       static_cast<QWidget *>(m_placement), static_cast<QWidget *>(m_layer),
                       static_cast<QWidget *>(m_deleteButton)})
        w->setEnabled(on);
    const bool wasRefreshing = m_refreshing;
    m_refreshing = true;
    if (!on) {
        m_objectText->clear();
    } else {
        const DocObject &o = m_model->document().objects.at(index);
        if (!m_objectText->hasFocus() && m_errorField != m_objectText && m_objectText->toPlainText() != o.Cap)
            m_objectText->setPlainText(o.Cap);
        const auto kind = std::find(std::begin(kKinds), std::end(kKinds), o.Typ);
        m_objectKind->setCurrentIndex(kind == std::end(kKinds) ? -1 : int(kind - std::begin(kKinds)));
        m_placement->setCurrentIndex(qBound(0, int(o.KAusr), 4));
        m_layer->setCurrentIndex(qBound(0, int(o.Ebene), 2));
    }
    m_refreshing = wasRefreshing;
}

void TThemenEditorForm::refreshQuestionTable()
{
    // The table is where the teacher types; it is filled from the model only when the
    // model changed behind it (opening, undo, redo).
    const QList<QuestionRow> rows = questionRows(m_model->document().fragentext);
    const int current = m_questions->currentRow();
    const bool wasRefreshing = m_refreshing;
    m_refreshing = true;
    m_questions->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        m_questions->setItem(r, 0, new QTableWidgetItem(rows.at(r).question));
        m_questions->setItem(r, 1, new QTableWidgetItem(rows.at(r).answer));
    }
    if (!rows.isEmpty())
        m_questions->setCurrentCell(qBound(0, current, int(rows.size()) - 1), 0);
    m_refreshing = wasRefreshing;
}

void TThemenEditorForm::updateTitle()
{
    const TopicDocument &d = m_model->document();
    QString name = d.titel;
    if (name.isEmpty())
        name = d.fileName.isEmpty() ? QStringLiteral("Neues Thema") : QFileInfo(d.fileName).fileName();
    setWindowTitle(QStringLiteral("Themen-Editor - ") + name + (m_model->isModified() ? QStringLiteral(" *") : QString()));
}

void TThemenEditorForm::labelRequested(const QPointF &spot, const QString &caption)
{
    const int index = m_model->addLabel(spot.x(), spot.y(), caption);
    if (index < 0) {
        showError(m_model->lastError(), m_imageCanvas->captionEdit());
        return;
    }
    m_imageCanvas->closeCaptionEdit();
    showError(QString(), nullptr);
    refresh();
    m_imageCanvas->select(index);
}

void TThemenEditorForm::objectTextChanged()
{
    if (!m_refreshing)
        m_typingPause->start();
}

void TThemenEditorForm::commitObjectText()
{
    const int index = m_imageCanvas->selected();
    if (index < 0 || index >= m_model->document().objects.size())
        return;
    if (m_objectText->toPlainText() == m_model->document().objects.at(index).Cap)
        return;
    run(m_model->setCaption(index, m_objectText->toPlainText()), m_objectText);
}

void TThemenEditorForm::commitHeaderField(HeaderField field)
{
    if (m_refreshing)
        return;
    // Only what the teacher typed goes in; a field the model set keeps the model's value.
    if (field == HeaderField::Bemerkung) {
        if (!m_bemerkung->document()->isModified())
            return;
        if (run(m_model->setHeaderText(field, m_bemerkung->toPlainText()), m_bemerkung) || m_errorField != m_bemerkung)
            m_bemerkung->document()->setModified(false);
        return;
    }
    QLineEdit *edit = field == HeaderField::Titel ? m_titel : m_autor;
    if (!edit->isModified())
        return;
    if (run(m_model->setHeaderText(field, edit->text()), edit) || m_errorField != edit)
        edit->setModified(false);
}

void TThemenEditorForm::commitClozeText()
{
    if (m_model->document().DokTyp != dtCloze || m_clozeText->toPlainText() == m_model->document().lueckentext)
        return;
    QString text = m_clozeText->toPlainText();
    // The document keeps CR LF between its lines.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (text == m_model->document().lueckentext)
        return;
    run(m_model->setClozeText(text), m_clozeText);
}

void TThemenEditorForm::makeGap()
{
    QTextCursor cursor = m_clozeText->textCursor();
    QString text = m_clozeText->toPlainText();
    qsizetype after = 0;
    if (!makeClozeGap(text, cursor.selectionStart(), cursor.selectionEnd(), &after)) {
        showError(QStringLiteral("Bitte markieren Sie ein Wort oder mehrere Wörter einer Zeile, die noch nicht in "
                                 "einer Lücke oder Auszeichnung stehen."),
                  m_clozeText);
        return;
    }
    m_clozeText->setPlainText(text);
    cursor = m_clozeText->textCursor();
    cursor.setPosition(int(after));
    m_clozeText->setTextCursor(cursor);
    m_typingPause->stop();
    commitClozeText();
}

void TThemenEditorForm::commitQuestions()
{
    QList<QuestionRow> rows;
    for (int r = 0; r < m_questions->rowCount(); ++r) {
        const QTableWidgetItem *q = m_questions->item(r, 0);
        const QTableWidgetItem *a = m_questions->item(r, 1);
        const QString question = q ? q->text().trimmed() : QString();
        const QString answer = a ? a->text().trimmed() : QString();
        if (question.isEmpty() && answer.isEmpty())
            continue; // a new row not filled in yet
        rows.append({question, answer.isEmpty() ? QStringLiteral("---") : answer});
    }
    run(m_model->setQuestions(rows), m_questions);
}

void TThemenEditorForm::questionRowAdd()
{
    const int row = m_questions->rowCount();
    m_refreshing = true;
    m_questions->insertRow(row);
    m_questions->setItem(row, 0, new QTableWidgetItem);
    m_questions->setItem(row, 1, new QTableWidgetItem);
    m_refreshing = false;
    m_questions->setCurrentCell(row, 0);
    m_questions->editItem(m_questions->item(row, 0));
}

void TThemenEditorForm::questionRowRemove()
{
    const int row = m_questions->currentRow();
    if (row < 0)
        return;
    m_refreshing = true;
    m_questions->removeRow(row);
    m_refreshing = false;
    commitQuestions();
}

void TThemenEditorForm::questionRowMove(int delta)
{
    const int row = m_questions->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= m_questions->rowCount())
        return;
    m_refreshing = true;
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem *a = m_questions->takeItem(row, column);
        QTableWidgetItem *b = m_questions->takeItem(target, column);
        m_questions->setItem(row, column, b);
        m_questions->setItem(target, column, a);
    }
    m_questions->setCurrentCell(target, m_questions->currentColumn());
    m_refreshing = false;
    commitQuestions();
}

void TThemenEditorForm::randomChoiceToggled(bool on)
{
    if (m_refreshing)
        return;
    commitHeaderField(HeaderField::Titel);
    const QString title = m_model->document().titel;
    if (on == titleAsksForRandom(title))
        return;
    QString changed = title;
    if (on) {
        changed += kRandomSuffix;
    } else if (changed.endsWith(kRandomSuffix)) {
        changed.chop(kRandomSuffix.size());
    } else {
        showError(QStringLiteral("Der Titel enthält das Wort \"zufällig\"; ändern Sie bitte den Titel, damit das Quiz "
                                 "alle Fragen stellt."),
                  m_titel);
        refresh();
        return;
    }
    m_titel->setText(changed);
    run(m_model->setHeaderText(HeaderField::Titel, changed), m_titel);
}

void TThemenEditorForm::marginsChanged()
{
    if (m_refreshing)
        return;
    const RectD margins{m_margin[0]->value() / 100.0, m_margin[1]->value() / 100.0, m_margin[2]->value() / 100.0,
                        m_margin[3]->value() / 100.0};
    run(m_model->setMargins(margins));
}

void TThemenEditorForm::choosePicture()
{
    const QString path = m_services.fileDialogs.openFileName(
        QStringLiteral("Bild wählen"), m_host.topicFolder(),
        QStringLiteral("Bilder (*.png *.jpg *.jpeg)|*.png;*.jpg;*.jpeg|Alle Dateien (*.*)|*.*"));
    if (path.isEmpty())
        return;
    QString error;
    const QImage picture = readPicture(path, &error);
    if (picture.isNull()) {
        m_services.messages.error(error);
        return;
    }
    run(m_model->setPicture(picture));
}

bool TThemenEditorForm::commitPendingEdits()
{
    m_typingPause->stop();
    commitHeaderField(HeaderField::Titel);
    commitHeaderField(HeaderField::Autor);
    commitHeaderField(HeaderField::Bemerkung);
    commitObjectText();
    commitClozeText();
    return m_errorField == nullptr;
}

void TThemenEditorForm::undo()
{
    commitPendingEdits();
    showError(QString(), nullptr);
    m_model->undo();
    refreshQuestionTable();
    refresh();
}

void TThemenEditorForm::redo()
{
    commitPendingEdits();
    showError(QString(), nullptr);
    m_model->redo();
    refreshQuestionTable();
    refresh();
}

void TThemenEditorForm::test()
{
    if (!commitPendingEdits())
        return;
    m_host.testTopic(m_model->document());
}

bool TThemenEditorForm::save()
{
    if (m_model->filePath().isEmpty())
        return saveAs();
    if (!commitPendingEdits())
        return false;
    const QStringList problems = m_model->validate();
    if (!problems.isEmpty()
        && !m_services.messages.confirm(QStringLiteral("Das Thema hat noch Mängel:\r\n\r\n- ")
                                            + problems.join(QLatin1String("\r\n- "))
                                            + QStringLiteral("\r\n\r\nTrotzdem speichern?")))
        return false;
    TopicDocument written = m_model->document();
    const QString path = m_model->filePath();
    if (!writeDocument(path, written, true, m_services.messages))
        return false;
    m_model->markSaved();
    updateTitle();
    m_host.topicSaved(path);
    return true;
}

bool TThemenEditorForm::saveAs()
{
    if (!commitPendingEdits())
        return false;
    const TopicDocument &d = m_model->document();
    QString suggested = d.fileName.isEmpty() ? d.titel.trimmed() : QFileInfo(d.fileName).fileName();
    suggested.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("-"));
    if (suggested.isEmpty())
        suggested = QStringLiteral("Neues Thema");
    if (!suggested.endsWith(QLatin1String(".tsr"), Qt::CaseInsensitive))
        suggested += QStringLiteral(".tsr");
    const QString folder = d.fileName.isEmpty() ? m_host.topicFolder() : QFileInfo(d.fileName).absolutePath();
    QString path = m_services.fileDialogs.saveFileName(QStringLiteral("Thema speichern unter"), folder, suggested,
                                                       QStringLiteral("Themendokument (*.tsr)|*.tsr"), nullptr);
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QLatin1String(".tsr"), Qt::CaseInsensitive))
        path += QStringLiteral(".tsr");
    const QString previous = m_model->filePath();
    m_model->setFilePath(path);
    if (!save()) {
        m_model->setFilePath(previous);
        return false;
    }
    return true;
}

void TThemenEditorForm::closeEvent(QCloseEvent *event)
{
    commitPendingEdits();
    if (m_model->isModified()) {
        const QString name = m_model->document().titel.isEmpty() ? QStringLiteral("Neues Thema")
                                                                  : m_model->document().titel;
        const MessageAnswer answer = m_services.messages.confirmWithCancel(
            QStringLiteral("Das Thema \"") + name + QStringLiteral("\" wurde geändert.\r\nÄnderungen speichern?"));
        if (answer == MessageAnswer::Cancel || (answer == MessageAnswer::Yes && !save())) {
            event->ignore();
            return;
        }
    }
    showError(QString(), nullptr);
    event->accept();
}

} // namespace kapitolo
