#pragma once

#include "platform/services.h"
#include "results/best_list.h"
#include "results/best_list_commands.h"

#include <QObject>

class QWidget;

namespace kapitolo {

struct AppSettings;
class QuizEngine;
class TBestListForm;
class TBestListVerzForm;
struct TopicDocument;

// The results of the open document: the best list read for showing, the best-list window
// and the dialog of the result folders, and the commands that enter a quiz's result.
class ResultsController : public QObject
{
    Q_OBJECT
public:
    ResultsController(Services &services, const TopicDocument &document, AppSettings &settings, QuizEngine &engine,
                      QObject *parent = nullptr);
    ~ResultsController() override;

    // The best-list window ("TBestListForm") or the folders dialog ("TBestListVerzForm"),
    // created now in its place of the window's dialog order; nullptr for another name.
    QWidget *createDialog(const QString &name, QWidget *parent);
    TBestListForm *bestListForm() const { return m_bestListForm; }
    TBestListVerzForm *bestListVerzForm() const { return m_bestListVerzForm; }

    // Where the best lists live, from the settings.
    BestListPlaces places() const;
    // The best-list window saves its text into the protocol folder.
    void setProtocolFolder(const QString &folder);

    // The best list of the open document (Ctrl+F7 and the tool button).
    void Bestenliste1Click();
    // "Besten&liste Netzwerk-Übung...".
    void showNetworkBestList();
    // The finished dialog's "Bestenliste..." and "In Bestenliste eintragen".
    void showFinishedDialogBestList();
    bool enterResultOnRequest();
    // The quiz end with automatic entry; true when the result is in the best list.
    bool enterResultAtQuizEnd();
    // "&Ordner für Protokolle und Bestenlisten...".
    void BestListVerz1Click();
    // A document closed or a network quiz began: the list read before is gone.
    void clearBestList();

Q_SIGNALS:
    // The user chose another protocol folder in the folders dialog.
    void protocolFolderChosen(const QString &folder);

private:
    void showBestList();

    Services &m_services;
    const TopicDocument &m_doc;
    AppSettings &m_settings;
    QuizEngine &m_engine;
    BestList m_bestList;
    TBestListForm *m_bestListForm = nullptr;
    TBestListVerzForm *m_bestListVerzForm = nullptr;
};

} // namespace kapitolo
