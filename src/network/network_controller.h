#pragma once

#include "network/network_quiz.h"
#include "sharing/sheet_picture.h"
#include "platform/services.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

class QJsonObject;
class QWidget;

namespace kapitolo {

struct AppSettings;
class QuizEngine;
class TKontrollanzeigeForm;
class TNetzKomForm;
class ClassHistory;
class TKlassenverlaufForm;
class ItemTableModel;
class WebParticipation;

// What the network quiz needs of the window around it: the documents it opens and
// closes, the quiz options, the best list, and the description for the end-to-end driver.
class NetworkWindow
{
public:
    virtual ~NetworkWindow() = default;
    virtual bool labelEditorOpen() const = 0;
    virtual bool askNetworkOptions(qint32 dokTyp, QuizOptions &options) = 0;
    virtual bool openExchangeDocument(const QString &path) = 0;
    virtual void closeExchangeDocument() = 0;
    virtual void clearBestList() = 0;
    virtual void showNetworkBestList() = 0;
    // The role changed: the buttons and menus of the quiz follow.
    virtual void networkRoleChanged() = 0;
    virtual void describeNetworkState() = 0;
    // Shows the exercise's document in the learning view with the class's rates at the
    // first try (object -> percent) on its places and gaps; false (after a message) when
    // that document cannot be shown.
    virtual bool showItemCard(const TopicDocument &exercise, const QHash<int, double> &rates) = 0;
};

// The classroom network quiz in the window: the commands, the control display and the
// communication settings dialog.
class NetworkController : public QObject, public NetworkQuizFrontend
{
    Q_OBJECT
public:
    NetworkController(Services &services, TopicDocument &document, QuizEngine &engine, AppSettings &settings,
                      NetworkWindow &window, QWidget *parentWindow);
    ~NetworkController() override;

    // The control display and the communication dialog are created on first use.

    NetworkQuiz &network() { return *m_network; }
    WebParticipation &web() { return *m_web; }
    TKontrollanzeigeForm *controlDisplay() const { return m_controlDisplay; }
    TNetzKomForm *netzKomForm() const { return m_netzKomForm; }

    // F9, F8, Alt+F9, the end command and the communication settings.
    void NetzInit1Click();
    void NetzTeilnehmen1Click();
    void Kontrollanzeige1Click();
    void NetzBeenden1Click();
    void NetzKom1Click();
    // "Auf der Karte zeigen" and "Bericht drucken..." of the control display.
    void showItemsOnCard();
    void printClassReport();
    // "Teilnehmer entfernen...": the selected row, after the teacher's confirmation.
    void removeSelectedParticipant();
    // The report's pages as they would be printed.
    QList<SheetPicture> classReportPages();

    // The end of every exercise: the exercise, its pupils and their answers from the
    // journal into the class history ("klassen.sqlite" in the protocol folder).
    void recordClassHistory(const QString &journalPath);
    // "Klassenverlauf..." (control display, Shift+F9).
    void showClassHistory();
    TKlassenverlaufForm *classHistoryForm() const { return m_historyForm; }

    // For the end-to-end driver: the role, the counts and what the control display shows.
    QJsonObject automationState() const;

    // NetworkQuizFrontend
    QString communicationFolder() const override;
    QString channel() const override;
    QString protocolFolder() const override;
    bool labelEditorOpen() const override;
    bool askNetworkOptions(qint32 dokTyp, QuizOptions &options) override;
    bool openExchangeDocument(const QString &path) override;
    void closeExchangeDocument() override;
    void clearBestList() override;
    void showControlDisplay() override;
    void networkStateChanged() override;

private:
    TKontrollanzeigeForm *ensureControlDisplay();
    TNetzKomForm *ensureNetzKomForm();
    void saveNetworkResultsAs();
    void updateCardAvailable();
    // Printed, or without a printer written as a PDF file only its owner can read.
    void printPages(const std::function<QList<SheetPicture>()> &pages, const QString &name, QWidget *parent);
    void showHistoryOnCard();
    void saveClassHistoryCsv();

    Services &m_services;
    QuizEngine &m_engine;
    AppSettings &m_settings;
    NetworkWindow &m_window;
    QWidget *m_parentWindow;
    std::unique_ptr<NetworkQuiz> m_network;
    std::unique_ptr<ItemTableModel> m_itemTable;
    std::unique_ptr<WebParticipation> m_web;
    TKontrollanzeigeForm *m_controlDisplay = nullptr;
    TNetzKomForm *m_netzKomForm = nullptr;
    std::unique_ptr<ClassHistory> m_history;
    TKlassenverlaufForm *m_historyForm = nullptr;
};

} // namespace kapitolo
