#pragma once

#include "document/topic_document.h"
#include "platform/services.h"
#include "view/view_state.h"

#include <QHash>
#include <QObject>

#include <memory>

class QAction;
class QJsonObject;
class QMenu;
class QWidget;

namespace kapitolo {

class CardImageWidget;
class CardRenderer;
class LearningView;
class QtSaveFileDialog;
class THoverPanel;
class TInfoboxForm;

// What the learning view needs of the window around it: the quiz that may cover the card,
// the folders and documents its links lead to, and the description for the end-to-end driver.
class LearningViewWindow
{
public:
    virtual ~LearningViewWindow() = default;
    virtual QuizDisplay quizDisplay() const = 0;
    // During a quiz the quiz panel shows the card.
    virtual void repaintQuizCard() = 0;
    virtual DocumentLinkFolders documentLinkFolders() const = 0;
    virtual void openTopicFolder(const QString &folder) = 0;
    virtual void openLinkedDocument(const QString &path) = 0;
    // Tool, zoom or numbering changed.
    virtual void learningViewChanged() = 0;
};

// The learning card outside a quiz: the renderer and the view operations, the tool strip
// with its menu, the information window of info points, and the view's export.
class LearningViewController : public QObject, public LearningViewHost
{
    Q_OBJECT
public:
    LearningViewController(Services &services, TopicDocument &document, ViewState &view, CardBitmaps &bitmaps,
                           LearningViewWindow &window);
    ~LearningViewController() override;

    CardRenderer &renderer() { return *m_renderer; }
    LearningView &learningView() { return *m_learning; }
    bool quizRunning() const { return m_window.quizDisplay().running; }

    // The image control and the position marker over it.
    void attachCard(CardImageWidget *image, QWidget *marker);
    // The tool strip LernInfoPan and its menu "&Lernansicht", both hidden; fold is the
    // window's command that folds the strip.
    QWidget *createToolStrip(QWidget *parent, QAction *fold);
    QWidget *toolStrip() const { return m_lernInfoPan; }
    QMenu *menu() const { return m_lernansichtMenu; }
    // The information window of info points, created on first use.
    TInfoboxForm *infoWindow();
    // The tool strip beside the card while the learning view is shown and no quiz runs
    // (the quiz takes its room); the card area takes its new size at once.
    void placeToolStrip(bool learningViewActive);
    void toggleToolStrip();
    // A document was read: zoom and numbering start afresh.
    void documentRead();
    // The keyboard's scrolling and zooming (Ctrl+arrows, Ctrl+keypad plus and minus); the
    // quiz keeps its card still under the tiles. Every key is logged for the tests.
    void ScrollView(int dx, int dy);
    void ZoomView(int steps);
    const QList<int> &keyLog() const { return m_keyLog; }

    // The class's rates at the first try (object -> percent) marked on the card of the shown
    // document, until another document is shown or a quiz starts.
    void showItemMarks(const QHash<int, double> &rates);
    bool itemMarksShown() const;

    // Ctrl+E and Ctrl+Z: the view as an image file, and on the clipboard.
    void ExportView1Click();
    void CopyView1Click();

    // For the end-to-end driver: where the learning card, its labels and the tool buttons are.
    QJsonObject automationState(bool startPageShown) const;

    // LearningViewHost
    QuizDisplay quizDisplay() const override;
    void repaintCard() override;
    void repaintCardArea(const QRect &controlRect) override;
    void redrawQuizPanel() override;
    void placePositionMarker(const QRect &rect, bool visible) override;
    void setCardCursor(CardCursor cursor) override;
    void viewControlsChanged() override;
    void hideKeywordEdit() override;
    void showKeywordEdit(const QPoint &click) override;
    void clearHiddenKeywordEdit() override;
    bool shellOpen(const QString &target) override;
    void showInfoText(const QString &caption) override;
    DocumentLinkFolders documentLinkFolders() const override;
    void openTopicFolder(const QString &folder) override;
    void openLinkedDocument(const QString &path) override;

private:
    Services &m_services;
    TopicDocument &m_doc;
    ViewState &m_view;
    CardBitmaps &m_bitmaps;
    LearningViewWindow &m_window;
    std::unique_ptr<CardRenderer> m_renderer;
    std::unique_ptr<LearningView> m_learning;
    std::unique_ptr<QtSaveFileDialog> m_saveDialog;
    CardImageWidget *m_image = nullptr;
    QWidget *m_marker = nullptr;
    TInfoboxForm *m_infoboxForm = nullptr;
    QWidget *m_lernInfoPan = nullptr;
    QMenu *m_lernansichtMenu = nullptr;
    QAction *m_fold = nullptr;
    QList<std::pair<THoverPanel *, QAction *>> m_learningTools;
    QHash<int, double> m_itemRates;
    QString m_itemMarksDocument;
    QList<int> m_keyLog;
};

} // namespace kapitolo
