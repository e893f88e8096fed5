#pragma once

#include "app/app_settings.h"
#include "app/topic_folder.h"
#include "document/topic_document.h"
#include "platform/services.h"

#include <QImage>
#include <QMainWindow>

class QAction;
class QDialog;
class QLabel;
class QMenu;

namespace kapitolo {

class TInfoBox;
class TopicMenu;
class CardArea;

// The program's one main window: it owns the document, the view, the quiz state and
// the settings, and its handlers carry every user action.
class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    // appMode values.
    static constexpr int kLearningView = 2;
    static constexpr int kQuizRunning = 3;

    TForm1(Services &services, const QString &commandLineArgument, QWidget *parent = nullptr);
    ~TForm1() override;

    // The first showing: settings, command line, topic folder and menu. Runs once.
    void FormShow();

    // Topic folder and navigation.
    void ReadTopicFolder();
    void OpenTopicEntry(int index);
    void OpenNextTopic();
    void OpenPreviousTopic();
    void ShowStartPage();
    void OpenPreviousDocument();
    void ChooseFolder();
    void OpenDocumentDialog();
    void CloseDocument();
    void FollowDocumentLink(const QString &caption);
    void FollowLink(const QString &caption);
    // Reads a document as a topic (its folder becomes the topic folder); false on failure.
    bool ReadDocumentAsTopic(const QString &path);
    void UpdateTitles();

    // Asks before a running quiz is left; true when there is none or the user agrees.
    bool ConfirmLeaveQuiz();
    bool quizInProgress() const { return m_appMode == kQuizRunning; }

    // Window modes.
    void SetFullScreenMode();
    void SetWindowMode();
    void MinimiseApplication();

    // Help and web pages through the shell's open action.
    void OpenHelp();
    void OpenWebPage(const QString &address);

    // The view's keyboard operations (scrolling and zooming).
    void ScrollView(int dx, int dy);
    void ZoomView(int steps);

    // State for the tests and the other windows.
    const TopicDocument &document() const { return m_doc; }
    TopicDocument &document() { return m_doc; }
    const QList<TopicEntry> &topicList() const { return m_topicList; }
    int currentTopicIndex() const { return m_nav.currentTopicIndex; }
    const QString &topicFolder() const { return m_topicFolder; }
    const QString &startFolder() const { return m_startFolder; }
    const QString &previousDocument() const { return m_nav.previousDocument; }
    const QString &openDialogFolder() const { return m_openDialogFolder; }
    const QString &protocolDialogFolder() const { return m_protocolDialogFolder; }
    AppSettings &settings() { return m_settings; }
    int appMode() const { return m_appMode; }
    bool firstShowingPending() const { return m_firstShowing; }
    TopicMenu *quizMenu() const { return m_quizMenu; }
    QLabel *titleLabel() const { return m_dokTitelLab; }
    QWidget *startInfoPanel() const;
    const QImage &startPicture() const { return m_startPicture; }
    QAction *findMenuAction(const QString &objectName) const;
    const QList<int> &viewKeyLog() const { return m_viewKeyLog; }
    TInfoBox *infoBox() const { return m_infoBox; }
    QColor windowColor() const { return m_windowColor; }
    QColor cardColor() const { return m_cardColor; }

    // The dialogs, created once after the main window, in the program's fixed order.
    void CreateDialogs();
    QStringList dialogCreationOrder() const;

Q_SIGNALS:
    // A topic item was chosen: the quiz starts on it at once.
    void quizRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createMenus();
    void createPanels();
    void loadThemeColours();
    void loadStartPicture();
    void applySettingsToControls();
    void takeSettingsFromControls();
    void deleteExchangeFiles();
    void setQuizMenuEnabled(bool enabled);
    QAction *addMenuAction(QMenu *menu, const QString &name, const QString &caption, const QKeySequence &shortcut,
                           bool hidden);

    Services &m_services;
    QString m_commandLineArgument;

    TopicDocument m_doc;
    TopicNavigation m_nav;
    AppSettings m_settings;
    QList<TopicEntry> m_topicList;

    QString m_programFolder;
    QString m_soundFolder;
    QString m_helpFolder;
    QString m_dataFolder;
    QString m_startFolder;
    QString m_topicFolder;
    QString m_startDocument;
    QString m_openDialogFolder;
    QString m_protocolDialogFolder;

    int m_appMode = kLearningView;
    bool m_firstShowing = true;
    bool m_closing = false;
    bool m_layoutAllowed = true;

    QColor m_windowColor;
    QColor m_cardColor;
    QColor m_toolButtonBase;
    QImage m_startPicture;

    TopicMenu *m_quizMenu = nullptr;
    QList<QAction *> m_quizMenuHiddenActions;
    QLabel *m_dokTitelLab = nullptr;
    CardArea *m_cardArea = nullptr;
    QList<int> m_viewKeyLog;

    TInfoBox *m_infoBox = nullptr;
    QList<QDialog *> m_dialogs;
};

} // namespace kapitolo
