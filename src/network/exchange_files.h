#pragma once

#include "quiz/quiz_types.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kapitolo {

// The fixed names of a network exercise's files; on disk each is preceded by the
// communication folder, the channel and "-".
inline constexpr char kExchangeDocument[] = "tsrnetzuebung.tsr";
inline constexpr char kExchangeOptions[] = "tsrnetzuebung.dat";
inline constexpr char kExchangeMarker[] = "tsrnetzuebung.okx";
inline constexpr char kExchangeBestList[] = "tsrnetzuebung.hsc";

QString exchangeFilePath(const QString &folder, const QString &channel, const char *fixedName);

// The option file "tsrnetzuebung.dat": eleven fields, strings as Int32 length and
// Windows-1252 bytes, integers little-endian.
struct NetworkOptionFile {
    QString identification = QStringLiteral("tsrnetzuebung.dat");
    QString fieldList = QStringLiteral("NetzUebungMaster|RiFaRueckmeldungItemIndex|ZuordnungRichtigItemIndex|"
                                       "ZuordnungFalschItemIndex|ZuordnungstexteItemIndex|ZuordnungszieleItemIndex|"
                                       "AbfrageModusItemIndex|ZeitLimitIndex|ZeitLimitWert|");
    QString initiator;
    // The fields of the list above, in its order, as QuizOptions names them.
    qint32 feedbackAtEnd = 0;
    qint32 onCorrect = 0;
    qint32 onFailed = 0;
    qint32 tileOrder = 1;
    qint32 positionOrder = 1;
    qint32 queryMode = 0;
    qint32 timeLimitOn = 0;
    qint32 timeLimitSeconds = 180;

    // What initiation writes: the feedback option always 0, and for single questions 0
    // for the two options they do not have.
    static NetworkOptionFile fromQuizOptions(const QuizOptions &options, qint32 dokTyp, const QString &initiator);
    QuizOptions quizOptions() const;

    bool operator==(const NetworkOptionFile &) const = default;
};

QByteArray encodeOptionFile(const NetworkOptionFile &file);
// Fields 1 and 2 are taken unchecked; a short file, a length beyond the end or an item
// index no options dialog has fails.
bool decodeOptionFile(const QByteArray &bytes, NetworkOptionFile &file);

// Written beside the target and renamed over it, so a reader sees the old file or the
// new one, never half of it. No message.
bool writeOptionFile(const QString &path, const NetworkOptionFile &file);
bool readOptionFile(const QString &path, NetworkOptionFile &file);
// "Fehler beim Einlesen der Datei " and the quoted path.
QString optionFileReadErrorText(const QString &path);

// An empty marker file, written last at initiation.
bool writeMarkerFile(const QString &path);

// A participant's result as a file beside the exchange files, so that it does not hang
// on one datagram: channel + "-tsrnetzuebung-" + key + ".erg", holding exactly the
// payload lines of its TN-BESTLIST report, each ended by CR LF, in Windows-1252.
QString participantResultPath(const QString &folder, const QString &channel, const QString &key);
// Through a temporary file and a rename: the teacher never reads half a result.
bool writeParticipantResult(const QString &path, const QStringList &payloadLines);
// The result files of the channel, by path.
QStringList participantResultFiles(const QString &folder, const QString &channel);
// The report text as a received datagram would carry it; empty when unreadable.
QString readParticipantResult(const QString &path);

// Checks the communication settings before they are taken: the folder exists and can be
// written, the channel has 1 to 8 characters that may stand in a file name. An empty
// result means they are fine; otherwise the German message to show.
QString communicationSettingsProblem(const QString &folder, const QString &channel);
bool isValidChannel(const QString &channel);

} // namespace kapitolo
