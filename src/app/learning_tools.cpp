// The learning view's tool strip LernInfoPan and its menu "&Lernansicht". The product
// creates both hidden: their operations stay reachable through the keyboard and the
// card, and the strip follows the view state so that showing it needs nothing more.

#include "app/main_window.h"

#include "controls/hover_panel.h"
#include "view/learning_view.h"
#include "view/view_output.h"
#include "view/view_output_ui.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QMenu>

namespace kapitolo {

void TForm1::createLearningToolStrip()
{
    m_lernInfoPan = new QWidget(this);
    m_lernInfoPan->setObjectName(QStringLiteral("LernInfoPan"));
    m_lernInfoPan->hide();
    auto *grid = new QGridLayout(m_lernInfoPan);
    grid->setSpacing(2);
    m_lernansichtMenu = new QMenu(QStringLiteral("&Lernansicht"), this);
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
    m_lernansichtMenu->addSeparator();

    auto *numbering = new QActionGroup(this);
    tool("NummerModeSort", QStringLiteral("1 2"), QStringLiteral("Abdecker geordnet nummerieren"),
         QStringLiteral("&Geordnet"), numbering, [this] { m_learning->SetNumbering(numberingOrdered, true); });
    tool("NummerModeZufall", QStringLiteral("2 1"), QStringLiteral("Abdecker zufällig nummerieren"),
         QStringLiteral("&Zufällig"), numbering, [this] { m_learning->SetNumbering(numberingRandom, true); });
    tool("NummerModeFragez", QStringLiteral("?"), QStringLiteral("Abdecker mit Fragezeichen"),
         QStringLiteral("&Fragezeichen"), numbering, [this] { m_learning->SetNumbering(numberingQuestionMark, true); });
    m_lernansichtMenu->addSeparator();

    auto *zoom = new QActionGroup(this);
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

    auto *tools = new QActionGroup(this);
    tool("ZeigerBtn", QStringLiteral("\u2196"), QStringLiteral("Zeiger zum Auf- und Abdecken von Beschriftungen"),
         QStringLiteral("&Zeiger zum Auf-/Abdecken"), tools, [this] { m_learning->SelectTool(toolPointer); });
    tool("HandBtn", QStringLiteral("\u270B"), QStringLiteral("Bildausschnitt verschieben"),
         QStringLiteral("Hand zum &Verschieben"), tools, [this] { m_learning->SelectTool(toolHand); });
    m_lernansichtMenu->addSeparator();

    tool("ExportBtn", QStringLiteral("\u21E9"), QStringLiteral("Ansicht in Bilddatei speichern"),
         QStringLiteral("&Exportieren..."), nullptr, [this] { ExportView1Click(); });
    tool("ClipbordBtn", QStringLiteral("\u2398"), QStringLiteral("Ansicht in die Zwischenablage kopieren"),
         QStringLiteral("In Zwischen&ablage kopieren"), nullptr, [this] { CopyView1Click(); });

    auto *collapse = new THoverPanel(m_lernInfoPan);
    collapse->setObjectName(QStringLiteral("KlappPan"));
    styleToolButton(*collapse);
    collapse->setCaption(QStringLiteral("x"));
    collapse->setFixedSize(37, 20);
    grid->addWidget(collapse, 30, 2);
    connect(collapse, &THoverPanel::clicked, this, [this] { toggleToolStrip(); });
    viewControlsChanged();
}

void TForm1::toggleToolStrip()
{
    m_view.toolStripCollapsed = m_view.toolStripCollapsed ? 0 : 1;
    if (QAction *a = findMenuAction(QStringLiteral("Klappen1")))
        a->setText(m_view.toolStripCollapsed ? QStringLiteral("Werkzeugleiste auf&klappen")
                                             : QStringLiteral("Werkzeugleiste zu&klappen"));
}

void TForm1::viewControlsChanged()
{
    // The buttons and their menu twins show the tool, the numbering and the zoom in effect.
    for (const auto &[button, twin] : std::as_const(m_learningTools)) {
        const QString name = button->objectName();
        bool on = false;
        if (name == QLatin1String("ZeigerBtn"))
            on = m_view.activeTool == toolPointer;
        else if (name == QLatin1String("HandBtn"))
            on = m_view.activeTool == toolHand;
        else if (name == QLatin1String("NummerModeSort"))
            on = m_view.numberingMode == numberingOrdered;
        else if (name == QLatin1String("NummerModeZufall"))
            on = m_view.numberingMode == numberingRandom;
        else if (name == QLatin1String("NummerModeFragez"))
            on = m_view.numberingMode == numberingQuestionMark;
        else if (name.startsWith(QLatin1String("ZoomPan")))
            on = m_view.zoomIndex == name.mid(7).toInt();
        else
            continue;
        button->setChecked(on);
        twin->setChecked(on);
    }
}

void TForm1::ExportView1Click()
{
    if (!m_saveDialog)
        return;
    ExportView(m_bitmaps.display, *m_saveDialog, m_services.messages);
}

void TForm1::CopyView1Click()
{
    CopyView(m_bitmaps.display, m_services.clock);
}

} // namespace kapitolo
