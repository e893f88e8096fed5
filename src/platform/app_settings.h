#pragma once

#include "platform/folders.h"

#include <QString>

namespace kapitolo {

class SettingsStore;

// Every value of the settings key with its built-in default. The main window and the
// quiz options dialogs hold these in their controls; this is what travels to and from
// the key when the window is first shown and when it closes.
struct AppSettings {
    bool sound = true;                 // "Opt-Sound"
    bool nameEntry = true;             // "Opt-UebNameEingabe"
    bool autoSaveProtocol = false;     // "Opt-AutoProtSpeichern"
    bool autoBestListEntry = true;     // "Opt-ErgebBestListEintragen"
    // The learning card with its tools outside a quiz; off, the start page stays.
    bool learningView = false;         // "Opt-Lernansicht"
    QString communicationFolder;       // "NetzKomOrdner"
    QString channel = QStringLiteral("TSR-1"); // "NetzKomKanal"
    // Pupils may also join the teacher's exercise from a browser, on this port, with a
    // fixed code of 4 to 8 digits or (empty) a new random one per exercise.
    bool webParticipation = false;     // "NetzWebTeilnahme"
    qint32 webPort = 8080;             // "NetzWebPort"
    QString webCode;                   // "NetzWebCode"
    // Running browser sessions per device address; 0 for shared computers behind one address.
    qint32 webSessionsPerDevice = 1;   // "NetzWebJeGeraet"
    // Journals of ended exercises are removed at start after so many days; 0 keeps them.
    qint32 journalDays = 30;           // "NetzJournalTage"
    QString protocolFolder;            // "Opt-ProtOrdner"
    QString bestListFolder;            // "Opt-BestListOrdner"

    qint32 abfrageModus = 0;           // "UebOpt-AbfrageModus"
    qint32 zeitLimit = 0;              // "UebOpt-ZeitLimit"
    QString zLimitMin = QStringLiteral("3"); // "UebOpt-ZLimitMin"
    QString zLimitSek = QStringLiteral("0"); // "UebOpt-ZLimitSek"
    qint32 zuordnungRichtig = 0;       // "UebOpt-ZuordnungRichtig"
    qint32 zuordnungFalsch = 0;        // "UebOpt-ZuordnungFalsch"
    qint32 zuordnungstexte = 1;        // "UebOpt-Zuordnungstexte"
    qint32 zuordnungsziele = 1;        // "UebOpt-Zuordnungsziele"

    qint32 fragenZuordnungFalsch = 0;  // "UebOptFragen-ZuordnungFalsch"
    qint32 fragenZuordnungstexte = 1;  // "UebOptFragen-Zuordnungstexte"
    qint32 fragenZeitlimit = 0;        // "UebOptFragen-Zeitlimit"
    QString fragenZLimitMin = QStringLiteral("3"); // "UebOptFragen-ZLimitMin"
    QString fragenZLimitSek = QStringLiteral("0"); // "UebOptFragen-ZLimitSek"
    qint32 fragenZuordnungsziele = 1;  // "UebOptFragen-Zuordnungsziele"

    // Defaults that depend on the program folder: its sub-folders "protokolle",
    // "bestenlisten" and "kom", or those of the shared folder where the program folder
    // is not writable (see writableSubFolder).
    static AppSettings defaults(const QString &programFolder, const QString &sharedFolder = QString(),
                                const std::function<bool(const QString &)> &isWritable = isWritableFolder);

    // A value missing from the store keeps what the field holds.
    void read(const SettingsStore &store);
    void write(SettingsStore &store) const;
};

} // namespace kapitolo
