// The learning card outside a quiz: the tool strip LernInfoPan and its menu "&Lernansicht".
// The product creates both hidden: their operations stay reachable through the keyboard
// and the card. "&Lernansicht anzeigen" in "&Optionen" shows them beside the learning
// card, which then takes the place of the start page while a document is open.

#include "view/learning_view_controller.h"

#include "controls/hover_panel.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"
#include "view/infobox_form.h"
#include "view/item_marks.h"
#include "view/learning_view.h"
#include "view/view_output.h"
#include "view/view_output_ui.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLayout>
#include <QMenu>
#include <QPainter>

#include <optional>

namespace kapitolo {

LearningViewController::LearningViewController(Services &services, TopicDocument &document, ViewState &view,
                                               CardBitmaps &bitmaps, LearningViewWindow &window)
    : m_services(services)
    , m_doc(document)
    , m_view(view)
    , m_bitmaps(bitmaps)
    , m_window(window)
{
    m_renderer = std::make_unique<CardRenderer>(m_doc, m_view, m_bitmaps, *this, m_services.messages);
    m_learning = std::make_unique<LearningView>(m_doc, m_view, *m_renderer, *this, m_services.messages,
                                                m_services.random);
}

LearningViewController::~LearningViewController() = default;

void LearningViewController::attachCard(CardImageWidget *image, QWidget *marker)
{
    m_image = image;
    m_marker = marker;
    m_image->setView(&m_bitmaps.display, m_learning.get());
    m_image->paintOverlay = [this](QPainter &painter) {
        if (!itemMarksShown())
            return;
        const QRect area(m_renderer->displayOrigin(), m_bitmaps.display.size());
        painter.setClipRect(area);
        paintItemMarks(painter, m_doc, m_bitmaps.layout, m_itemRates,
                       [this](double fx, double fy) { return QPointF(m_renderer->fractionToControl(fx, fy)); }, area);
    };
    m_saveDialog = std::make_unique<QtSaveFileDialog>(m_image->window());
}

void LearningViewController::showItemMarks(const QHash<int, double> &rates)
{
    m_itemRates = rates;
    m_itemMarksDocument = m_doc.fileName;
    if (m_image)
        m_image->update();
}

bool LearningViewController::itemMarksShown() const
{
    return !m_itemMarksDocument.isEmpty() && m_doc.fileName == m_itemMarksDocument && !quizRunning()
        && !m_view.cardHiddenOutsideQuiz && !m_bitmaps.display.isNull();
}

TInfoboxForm *LearningViewController::infoWindow()
{
    if (!m_infoboxForm) {
        m_infoboxForm = new TInfoboxForm(*m_saveDialog, m_services.messages, m_image->window());
        m_infoboxForm->setObjectName(QStringLiteral("TInfoboxForm"));
    }
    return m_infoboxForm;
}

void LearningViewController::placeToolStrip(bool learningViewActive)
{
    const bool shown = !m_view.cardHiddenOutsideQuiz && learningViewActive;
    if (m_lernInfoPan->isVisibleTo(m_lernInfoPan->window()) == shown)
        return;
    m_lernInfoPan->setVisible(shown);
    if (QLayout *layout = m_lernInfoPan->parentWidget()->layout())
        layout->activate();
}

// --- learning view host ---

QuizDisplay LearningViewController::quizDisplay() const
{
    return m_window.quizDisplay();
}

void LearningViewController::repaintCard()
{
    if (quizRunning())
        m_window.repaintQuizCard();
    else
        m_image->update();
}

void LearningViewController::redrawQuizPanel()
{
    if (quizRunning())
        m_window.repaintQuizCard();
}

void LearningViewController::placePositionMarker(const QRect &rect, bool visible)
{
    if (quizRunning()) {
        m_marker->hide();
        return;
    }
    m_marker->setGeometry(rect);
    m_marker->setVisible(visible);
}

void LearningViewController::setCardCursor(CardCursor cursor)
{
    m_image->setCardCursor(cursor);
}

bool LearningViewController::shellOpen(const QString &target)
{
    return m_services.shell.open(target);
}

void LearningViewController::showInfoText(const QString &caption)
{
    infoWindow()->showInfoText(caption, m_infoboxForm->parentWidget()->frameGeometry());
}

DocumentLinkFolders LearningViewController::documentLinkFolders() const
{
    return m_window.documentLinkFolders();
}

void LearningViewController::openTopicFolder(const QString &folder)
{
    m_window.openTopicFolder(folder);
}

void LearningViewController::openLinkedDocument(const QString &path)
{
    m_window.openLinkedDocument(path);
}

// --- the tool strip ---

QWidget *LearningViewController::createToolStrip(QWidget *parent, QAction *fold)
{
    m_fold = fold;
    m_lernInfoPan = new QWidget(parent);
    m_lernInfoPan->setObjectName(QStringLiteral("LernInfoPan"));
    m_lernInfoPan->hide();
    auto *grid = new QGridLayout(m_lernInfoPan);
    grid->setSpacing(2);
    m_lernansichtMenu = new QMenu(QStringLiteral("&Lernansicht"), parent);
    m_lernansichtMenu->setObjectName(QStringLiteral("Lernansicht1"));

    int slot = 0;
    auto place = [&](QWidget *w) {
        grid->addWidget(w, slot / 3, slot % 3);
        ++slot;
    };
    // A button of 37 x 37 pixels with its menu twin; both call the same operation.
    auto tool = [&](const char *name, const QString &caption, const QString &hint, const QString &menuCaption,
                    QActionGroup *group, std::function<void()> operation) {
        auto *button = new THoverPanel(m_lernInfoPan);
        button->setObjectName(QLatin1String(name));
        styleToolButton(*button);
        button->setCaption(caption);
        button->setToolTip(hint);
        button->setFixedSize(37, 37);
        place(button);
        auto *twin = m_lernansichtMenu->addAction(menuCaption);
        twin->setObjectName(QLatin1String(name) + QStringLiteral("Menu"));
        if (group) {
            twin->setCheckable(true);
            twin->setActionGroup(group);
        }
        connect(button, &THoverPanel::clicked, this, operation);
        connect(twin, &QAction::triggered, this, operation);
        m_learningTools.append({button, twin});
        return button;
    };

    auto layer = [&](int index, const QString &caption, const QString &menuCaption) {
        auto *check = new QCheckBox(caption, m_lernInfoPan);
        check->setObjectName(QStringLiteral("Ebene%1Check").arg(index));
        check->setChecked(true);
        grid->addWidget(check, 20 + index, 0, 1, 3);
        auto *twin = m_lernansichtMenu->addAction(menuCaption);
        twin->setCheckable(true);
        twin->setChecked(true);
        connect(check, &QCheckBox::toggled, this, [this, index, twin](bool on) {
            twin->setChecked(on);
            m_learning->SetLayer(index, on);
        });
        connect(twin, &QAction::triggered, check, &QCheckBox::setChecked);
    };
    layer(0, QStringLiteral(" Illustration "), QStringLiteral("&Illustration"));
    layer(1, QStringLiteral(" Beschriftung "), QStringLiteral("&Beschriftung"));
    layer(2, QStringLiteral(" Infopunkte "), QStringLiteral("Info&punkte"));
    m_lernansichtMenu->addSeparator();

    tool("AlleAbdeckenBtn", QStringLiteral("\u25A0"), QStringLiteral("Alle Beschriftungen abdecken"),
         QStringLiteral("Alle &abdecken"), nullptr, [this] { m_learning->CoverAll(); });
    tool("AlleAufdeckenBtn", QStringLiteral("\u25A1"), QStringLiteral("Alle Beschriftungen aufdecken"),
         QStringLiteral("Alle auf&decken"), nullptr, [this] { m_learning->UncoverAll(); });
    tool("MarkEntfBtn", QStringLiteral("\u2327"), QStringLiteral("Alle Zeichnungen entfernen"),
         QStringLiteral("Alle &Zeichnungen entfernen"), nullptr, [this] { m_learning->RemoveAllDrawings(); });
    m_lernansichtMenu->addSeparator();

    auto *numbering = new QActionGroup(parent);
    tool("NummerModeSort", QStringLiteral("1 2"), QStringLiteral("Abdecker geordnet nummerieren"),
         QStringLiteral("&Geordnet"), numbering, [this] { m_learning->SetNumbering(numberingOrdered, true); });
    tool("NummerModeZufall", QStringLiteral("2 1"), QStringLiteral("Abdecker zufällig nummerieren"),
         QStringLiteral("&Zufällig"), numbering, [this] { m_learning->SetNumbering(numberingRandom, true); });
    tool("NummerModeFragez", QStringLiteral("?"), QStringLiteral("Abdecker mit Fragezeichen"),
         QStringLiteral("&Fragezeichen"), numbering, [this] { m_learning->SetNumbering(numberingQuestionMark, true); });
    m_lernansichtMenu->addSeparator();

    auto *zoom = new QActionGroup(parent);
    tool("ZoomPan0", QStringLiteral("100"), QStringLiteral("Zoomstufe 100%"), QStringLiteral("&100 %"), zoom,
         [this] { m_learning->SetZoom(0); });
    tool("ZoomPan2", QStringLiteral("150"), QStringLiteral("Zoomstufe 150%"), QStringLiteral("1&50 %"), zoom,
         [this] { m_learning->SetZoom(2); });
    tool("ZoomPan4", QStringLiteral("200"), QStringLiteral("Zoomstufe 200%"), QStringLiteral("&200 % "), zoom,
         [this] { m_learning->SetZoom(4); });
    m_lernansichtMenu->addSeparator();

    tool("ScrollLiBtn", QStringLiteral("\u2190"), QStringLiteral("nach links scrollen"), QStringLiteral("nach &links"),
         nullptr, [this] { m_learning->Scroll(ScrollDirection::Left); });
    tool("ScrollReBtn", QStringLiteral("\u2192"), QStringLiteral("nach rechts scrollen"), QStringLiteral("nach &rechts"),
         nullptr, [this] { m_learning->Scroll(ScrollDirection::Right); });
    tool("ScrollHoBtn", QStringLiteral("\u2191"), QStringLiteral("nach oben scrollen"), QStringLiteral("nach &oben"),
         nullptr, [this] { m_learning->Scroll(ScrollDirection::Up); });
    tool("ScrollRuBtn", QStringLiteral("\u2193"), QStringLiteral("nach unten scrollen"), QStringLiteral("nach &unten"),
         nullptr, [this] { m_learning->Scroll(ScrollDirection::Down); });
    m_lernansichtMenu->addSeparator();

    auto *tools = new QActionGroup(parent);
    tool("ZeigerBtn", QStringLiteral("\u2196"), QStringLiteral("Zeiger zum Auf- und Abdecken von Beschriftungen"),
         QStringLiteral("&Zeiger zum Auf-/Abdecken"), tools, [this] { m_learning->SelectTool(toolPointer); });
    tool("HandBtn", QStringLiteral("\u2725"), QStringLiteral("Bildausschnitt verschieben"),
         QStringLiteral("Hand zum &Verschieben"), tools, [this] { m_learning->SelectTool(toolHand); });
    // The drawing tools, each button in the colour of its mark.
    struct DrawingTool {
        const char *name;
        const char *caption;
        const char *hint;
        const char *menuCaption;
        int tool;
        QColor colour;
    };
    const DrawingTool drawing[] = {
        {"RadierBtn", "\u232B", "Radierwerkzeug", "&Radierwerkzeug", toolEraser, QColor(81, 81, 78)},
        {"StiftBtn", "\u270E", "roter Stift, deckend", "Roter &Stift, deckend", toolRedPen, QColor(220, 0, 0)},
        {"MarkerBtn", "\u25AC", "gelber Marker, teiltransparent", "Gelber &Marker, teiltransparent", toolYellowMarker,
         QColor(214, 178, 0)},
        {"Marker2Btn", "\u25AC", "grüner Marker, teiltransparent", "&Grüner Marker, teiltransparent", toolGreenMarker,
         QColor(0, 170, 0)},
        {"HaekchenBtn", "\u2714", "grünes Häkchen", "Grünes &Häkchen", toolTick, cardcolour::tick()},
        {"KreuzBtn", "\u2718", "rotes Kreuz", "Rotes &Kreuz", toolCross, cardcolour::cross()},
        {"TexteingabeBtn", "T", "blauer Text für Schlagwörter", "Schlag&wörter einsetzen", toolKeyword,
         keywordColour()},
    };
    for (const DrawingTool &d : drawing) {
        const int id = d.tool;
        THoverPanel *button = tool(d.name, QString::fromUtf8(d.caption), QString::fromUtf8(d.hint),
                                   QString::fromUtf8(d.menuCaption), tools, [this, id] { m_learning->SelectTool(id); });
        button->setNormFontColor(d.colour);
        button->setCheckFontColor(d.colour);
        button->setFontColor(d.colour);
        QFont f = button->font();
        f.setPointSize(14);
        f.setBold(true);
        button->setFont(f);
    }
    m_lernansichtMenu->addSeparator();

    tool("ExportBtn", QStringLiteral("\u21E9"), QStringLiteral("Ansicht in Bilddatei speichern"),
         QStringLiteral("&Exportieren..."), nullptr, [this] { ExportView1Click(); });
    tool("ClipbordBtn", QStringLiteral("\u2750"), QStringLiteral("Ansicht in die Zwischenablage kopieren"),
         QStringLiteral("In Zwischen&ablage kopieren"), nullptr, [this] { CopyView1Click(); });

    auto *collapse = new THoverPanel(m_lernInfoPan);
    collapse->setObjectName(QStringLiteral("KlappPan"));
    styleToolButton(*collapse);
    collapse->setCaption(QStringLiteral("x"));
    collapse->setFixedSize(37, 20);
    grid->addWidget(collapse, 30, 2);
    connect(collapse, &THoverPanel::clicked, this, [this] { toggleToolStrip(); });
    if (fold) {
        m_lernansichtMenu->addSeparator();
        m_lernansichtMenu->addAction(fold);
    }
    viewControlsChanged();
    return m_lernInfoPan;
}

void LearningViewController::hideKeywordEdit()
{
    m_image->hideKeywordEdit();
}

void LearningViewController::showKeywordEdit(const QPoint &click)
{
    m_image->showKeywordEdit(click);
}

void LearningViewController::clearHiddenKeywordEdit()
{
    m_image->clearHiddenKeywordEdit();
}

void LearningViewController::repaintCardArea(const QRect &controlRect)
{
    if (quizRunning())
        repaintCard();
    else
        m_image->update(controlRect);
}

// For the end-to-end driver: where the learning card, its labels and the tool buttons are.
QJsonObject LearningViewController::automationState(bool startPageShown) const
{
    QJsonObject state;
    const QWidget *image = m_image;
    const QPoint origin = image->mapToGlobal(QPoint(0, 0));
    state[QStringLiteral("shown")] = !m_view.cardHiddenOutsideQuiz && !startPageShown;
    state[QStringLiteral("card")] = QJsonArray{origin.x(), origin.y(), image->width(), image->height()};
    state[QStringLiteral("tool")] = m_view.activeTool;
    state[QStringLiteral("zoom")] = m_view.zoomIndex;
    QJsonArray labels;
    for (int i = 0; i < m_doc.objects.size(); ++i) {
        const DocObject &o = m_doc.objects.at(i);
        const RectD &b = m_bitmaps.layout.hitBox(i);
        if ((o.Typ != otLabel && o.Typ != otGap) || b.left < 0)
            continue;
        const QPoint c = m_renderer->fractionToControl((b.left + b.right) / 2, (b.top + b.bottom) / 2);
        QJsonObject l;
        l[QStringLiteral("caption")] = o.Cap;
        l[QStringLiteral("x")] = origin.x() + c.x();
        l[QStringLiteral("y")] = origin.y() + c.y();
        l[QStringLiteral("covered")] = markOf(m_view.marks, i).coverState == csCovered;
        labels.append(l);
    }
    state[QStringLiteral("labels")] = labels;
    QJsonObject buttons;
    for (const auto &[button, twin] : m_learningTools) {
        if (!button->isVisible())
            continue;
        const QPoint c = button->mapToGlobal(button->rect().center());
        buttons[button->objectName()] = QJsonArray{c.x(), c.y()};
    }
    state[QStringLiteral("buttons")] = buttons;
    return state;
}

void LearningViewController::toggleToolStrip()
{
    m_view.toolStripCollapsed = m_view.toolStripCollapsed ? 0 : 1;
    // Folded, the strip keeps only its "x" to unfold it again.
    for (QWidget *child : m_lernInfoPan->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child->objectName() != QLatin1String("KlappPan"))
            child->setVisible(!m_view.toolStripCollapsed);
    if (QAction *a = m_fold)
        a->setText(m_view.toolStripCollapsed ? QStringLiteral("Werkzeugleiste auf&klappen")
                                             : QStringLiteral("Werkzeugleiste zu&klappen"));
}

void LearningViewController::viewControlsChanged()
{
    // The buttons and their menu twins show the tool, the numbering and the zoom in effect.
    static const std::pair<const char *, int> toolButtons[] = {
        {"ZeigerBtn", toolPointer},       {"HandBtn", toolHand},         {"StiftBtn", toolRedPen},
        {"MarkerBtn", toolYellowMarker},  {"Marker2Btn", toolGreenMarker}, {"RadierBtn", toolEraser},
        {"HaekchenBtn", toolTick},        {"KreuzBtn", toolCross},       {"TexteingabeBtn", toolKeyword},
    };
    for (const auto &[button, twin] : std::as_const(m_learningTools)) {
        const QString name = button->objectName();
        std::optional<bool> on;
        for (const auto &[toolName, id] : toolButtons)
            if (name == QLatin1String(toolName))
                on = m_view.activeTool == id;
        if (name == QLatin1String("NummerModeSort"))
            on = m_view.numberingMode == numberingOrdered;
        else if (name == QLatin1String("NummerModeZufall"))
            on = m_view.numberingMode == numberingRandom;
        else if (name == QLatin1String("NummerModeFragez"))
            on = m_view.numberingMode == numberingQuestionMark;
        else if (name.startsWith(QLatin1String("ZoomPan")))
            on = m_view.zoomIndex == name.mid(7).toInt();
        if (!on)
            continue;
        button->setChecked(*on);
        twin->setChecked(*on);
    }
    // For the end-to-end driver: the learning card after a tool, zoom or numbering change.
    m_window.learningViewChanged();
}

void LearningViewController::ExportView1Click()
{
    if (!m_saveDialog)
        return;
    ExportView(m_bitmaps.display, *m_saveDialog, m_services.messages);
}

void LearningViewController::CopyView1Click()
{
    CopyView(m_bitmaps.display, m_services.clock);
}

void LearningViewController::ScrollView(int dx, int dy)
{
    m_keyLog.append(dx * 10 + dy);
    if (quizRunning())
        return; // the quiz keeps its card still under the tiles
    m_learning->Scroll(dx < 0 ? ScrollDirection::Left : dx > 0 ? ScrollDirection::Right
                       : dy < 0                  ? ScrollDirection::Up
                                                 : ScrollDirection::Down);
}

void LearningViewController::ZoomView(int steps)
{
    m_keyLog.append(100 * steps);
    if (quizRunning())
        return;
    if (steps > 0)
        m_learning->ZoomIn();
    else
        m_learning->ZoomOut();
}

void LearningViewController::documentRead()
{
    // Every object of a document just read is covered and not numbered yet.
    m_view.marks = ObjectMarks(m_doc.objects.size());
    m_view.zoomIndex = 0;
    m_view.zoomFactor = kZoomTable[0];
    m_learning->SetNumbering(m_view.numberingMode, false);
}

} // namespace kapitolo
