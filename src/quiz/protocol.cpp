#include "quiz/protocol.h"

#include "document/topic_document.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "quiz/rtf_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kapitolo {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The text of an option index; an index the table does not know gives an empty value
// rather than a wrong one.
QString pick(qint32 index, std::initializer_list<const char *> texts)
{
    if (index < 0 || index >= qint32(texts.size()))
        return QString();
    return QString::fromUtf8(*(texts.begin() + index));
}

QString timeLimitText(const QuizOptions &options)
{
    if (options.timeLimitOn != tlOn)
        return QStringLiteral("nein");
    return QStringLiteral("ja, ") + durationText(options.timeLimitSeconds);
}

QString shownName(const QuizRun &run)
{
    if (run.networkRole == nrInitiator)
        return QStringLiteral("(Initiator der Netzwerk-Übung)");
    const QString name = run.participantName.trimmed();
    return name.isEmpty() ? QStringLiteral("(nicht angegeben)") : name;
}

QString scopeText(const QuizRun &run, const QuizScore &score)
{
    if (score.questionCount == score.totalQuestionCount)
        return QString::number(score.questionCount) + QStringLiteral(" Fragen (komplettes Quiz)");
    QString text = QString::number(score.questionCount) + QStringLiteral(" von ")
        + QString::number(score.totalQuestionCount) + QStringLiteral(" Fragen");
    if (run.selectionMode != smRandom)
        text += QStringLiteral(" (Teilwiederholung)");
    return text;
}

} // namespace

void AppendProtocolLine(QuizRun &run, Clock &clock, ProtocolPart part, const QString &text, bool withTimeStamp)
{
    QString line;
    if (withTimeStamp) {
        // Unsigned difference: correct across a wrap of the tick count.
        const quint32 elapsed = quint32(clock.tickCount() - run.startTick);
        line = clockText(elapsed / 1000) + QStringLiteral(" - ");
    }
    line += text + kCrLf;
    // The stamp goes with its line into the part asked for, so a summary line can never
    // leave a stray stamp in the course of the quiz.
    (part == ProtocolPart::Summary ? run.protocolSummary : run.protocolDetail) += line;
}

QString durationText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    const qint64 rest = seconds % 60;
    QString text;
    if (hours > 0)
        text += QString::number(hours) + QStringLiteral(" Std. ");
    if (minutes > 0 || hours > 0)
        text += QString::number(minutes) + QStringLiteral(" Min. ");
    text += QString::number(rest) + QStringLiteral(" Sek.");
    return text.trimmed();
}

QString localDateTimeText(double dayNumber, const QLocale &locale)
{
    QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!dateFormat.contains(QLatin1String("yyyy")))
        dateFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(QLatin1String("ss")))
        timeFormat.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    const QDateTime dateTime = fromDayNumber(dayNumber);
    return locale.toString(dateTime.date(), dateFormat) + QLatin1Char(' ') + locale.toString(dateTime.time(), timeFormat);
}

QStringList protocolSummaryLines(const QuizRun &run, const QuizScore &score, const QuizOptions &options,
                                 const TopicDocument &document, const ProtocolEnvironment &environment)
{
    QStringList lines;
    lines << QStringLiteral("<tit>Quiz-Protokoll");
    lines << QStringLiteral("Uhrzeit Beginn:\t") + localDateTimeText(run.startTime, environment.locale);
    lines << QStringLiteral("Uhrzeit Ende:  \t") + localDateTimeText(run.endTime, environment.locale);
    lines << QStringLiteral("Teilnehmername:\t") + shownName(run);
    lines << QStringLiteral("Rechnername:\t") + environment.computerName;
    lines << QStringLiteral("Rechnerbenutzer:\t") + environment.userName;
    if (run.networkRole == nrInitiator) {
        lines << QStringLiteral("Kommunikationsordner:\t") + QDir::toNativeSeparators(environment.communicationFolder);
        lines << QStringLiteral("Kommunikationskanal:\t") + environment.channel;
    }
    lines << QString() << QStringLiteral("<tit>Übungseinstellungen");
    lines << QStringLiteral("Titel:\t") + document.titel;
    lines << QStringLiteral("Quiz-Umfang:\t") + scopeText(run, score);
    if (document.DokTyp == dtSingleQuestions) {
        lines << QStringLiteral("Abfragemodus:\t")
                + pick(options.onFailed, {"solange wiederholen, bis jede Frage richtig beantwortet wurde",
                                          "jede Frage nur einmal stellen"});
        lines << QStringLiteral("Zeitlimit:\t") + timeLimitText(options);
        lines << QStringLiteral("Antwortmöglichkeiten:\t")
                + pick(options.tileOrder, {"alphabetisch geordnet", "zufällig gemischt"});
        // Every order other than "geordnet" shuffles the questions.
        lines << QStringLiteral("Reihenfolge der Fragen:\t")
                + (options.positionOrder == poOrdered ? QStringLiteral("geordnet") : QStringLiteral("zufällig gemischt"));
    } else {
        lines << QStringLiteral("Abfragemodus:\t")
                + pick(options.queryMode, {"freie Zuordnung in beliebiger Reihenfolge", "Einzelabfrage Texte",
                                           "Einzelabfrage Positionen"});
        lines << QStringLiteral("Zeitlimit:\t") + timeLimitText(options);
        lines << QStringLiteral("Verhalten bei richtiger Zuordnung:\t")
                + pick(options.onCorrect, {"Beschriftung einblenden", "grünes Häkchen setzen"});
        lines << QStringLiteral("Verhalten bei Fehlversuch:\t")
                + pick(options.onFailed, {"beliebig viele Zuordnungsversuche erlaubt",
                                          "rotes Kreuz setzen, keine erneute Zuordnung an dieser Position"});
        lines << QStringLiteral("Zuordnungstexte:\t")
                + pick(options.tileOrder, {"alphabetisch geordnet", "zufällig gemischt"});
        lines << QStringLiteral("Zuordnungsziele (Positionen):\t")
                + pick(options.positionOrder, {"geordnet nummeriert", "zufällig gemischt nummeriert", "Fragezeichen"});
    }
    lines << QString() << QStringLiteral("<tit>Statistik-Zusammenfassung");
    lines << QStringLiteral("Richtig zugeordnet:\t") + QString::number(score.correctCount) + QStringLiteral("  von  ")
            + QString::number(score.questionCount);
    lines << QStringLiteral("Fehlversuche:\t") + QString::number(score.failedCount);
    lines << QStringLiteral("Erfolgsquote:\t") + percentText(score.successRate);
    lines << QStringLiteral("Offene Fragen:\t") + QString::number(score.openCount);
    lines << (options.timeLimitOn == tlOn ? QStringLiteral("Verbliebene Zeit:") : QStringLiteral("Benötigte Zeit:"))
            + QLatin1Char('\t') + score.clockText;
    lines << QStringLiteral("Gesamtleistung:\t") + percentText(score.totalPerformance);
    lines << QStringLiteral("Bewertung:\t") + ratingWord(score.grade);
    lines << QStringLiteral("Schulnote:\t") + QString::number(score.grade);
    lines << QString() << QStringLiteral("<tit>Detaillierter Ablauf");
    return lines;
}

void WriteProtocolSummary(QuizRun &run, const QuizScore &score, const QuizOptions &options,
                          const TopicDocument &document, const ProtocolEnvironment &environment)
{
    for (const QString &line : protocolSummaryLines(run, score, options, document, environment))
        run.protocolSummary += line + kCrLf;
}

QString protocolText(const QuizRun &run)
{
    return run.protocolSummary + run.protocolDetail;
}

bool isProtocolHeading(const QString &line)
{
    return line.left(5).toUpper() == QLatin1String("<TIT>");
}

QStringList protocolLines(const QString &text)
{
    QString normalised = text;
    normalised.replace(kCrLf, QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = normalised.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

qreal textDocumentDpi()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchX();
    return 96.0;
}

void FillProtocolView(QTextDocument &view, const QString &text, bool clearFirst)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(kProtocolFontPoints);
    if (clearFirst) {
        view.clear();
        view.setDefaultFont(font);
    }

    QTextBlockFormat paragraph;
    paragraph.setTabPositions({QTextOption::Tab(kProtocolTabStopPoints * textDocumentDpi() / 72.0, QTextOption::LeftTab)});
    QTextCharFormat regular;
    regular.setFontFamilies({QStringLiteral("Arial")});
    regular.setFontPointSize(kProtocolFontPoints);
    regular.setFontWeight(QFont::Normal);
    QTextCharFormat bold = regular;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat gap = regular;
    gap.setFontPointSize(kProtocolGapPoints);

    QTextCursor cursor(&view);
    cursor.movePosition(QTextCursor::End);
    // A cleared document has one empty block, which takes the first line.
    bool useCurrentBlock = view.isEmpty();
    auto addParagraph = [&](const QString &line, const QTextCharFormat &format) {
        if (useCurrentBlock) {
            cursor.setBlockFormat(paragraph);
            cursor.setBlockCharFormat(format);
            useCurrentBlock = false;
        } else {
            cursor.insertBlock(paragraph, format);
        }
        cursor.setCharFormat(format);
        if (!line.isEmpty())
            cursor.insertText(line, format);
    };

    cursor.beginEditBlock();
    for (const QString &line : protocolLines(text)) {
        if (isProtocolHeading(line)) {
            addParagraph(line.mid(5), bold);
            addParagraph(QString(), gap);
        } else {
            addParagraph(line, regular);
        }
    }
    cursor.endEditBlock();
}

QString protocolFileName(const QDateTime &time, const QString &computer, int counter)
{
    const QDate d = time.date();
    const QTime t = time.time();
    // A separator in the computer's name would lead into another folder.
    QString safeComputer = computer;
    safeComputer.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QString::asprintf("%4.4d%2.2d%2.2d-%2.2d%2.2d%2.2d-", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second())
        + safeComputer + QLatin1Char('-') + QString::number(counter) + QStringLiteral(".rtf");
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, bool mayReplace, bool *alreadyExists, int mode)
{
    if (alreadyExists)
        *alreadyExists = false;
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.kapitolo-XXXXXX.tmp"));
    if (!temporary.open())
        return false;
    // Texts are for reading by others, not private like a temporary file; a pupil's
    // protocol in the shared folder is the pupil's own (the caller says so).
    ::fchmod(temporary.handle(), mode_t(mode));
    if (temporary.write(bytes) != bytes.size() || !temporary.flush() || ::fsync(temporary.handle()) != 0)
        return false;
    temporary.close();

    const QByteArray from = QFile::encodeName(temporary.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (mayReplace) {
        if (::rename(from.constData(), to.constData()) != 0)
            return false;
        temporary.setAutoRemove(false);
        return true;
    }
    // A hard link appears complete under its name, or fails when the name is taken.
    if (::link(from.constData(), to.constData()) == 0)
        return true; // the temporary name goes with the QTemporaryFile
    if (errno == EEXIST) {
        if (alreadyExists)
            *alreadyExists = true;
        return false;
    }
    // Folders without hard links (some network shares): claim the name exclusively,
    // then move the finished file onto the claimed, still empty name.
    const int claim = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL, mode_t(mode));
    if (claim < 0) {
        if (errno == EEXIST && alreadyExists)
            *alreadyExists = true;
        return false;
    }
    ::close(claim);
    if (::rename(from.constData(), to.constData()) != 0) {
        ::unlink(to.constData());
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

bool AutoSaveProtocol(const QTextDocument &view, const QString &protocolFolder, const QString &computer, Clock &clock,
                      Messages &messages, QString *savedPath)
{
    const QDateTime now = fromDayNumber(clock.now());
    const QByteArray rtf = writeRtf(view);
    QString path;
    // An empty folder setting is no folder: the protocol would land wherever the
    // program happens to run.
    if (!protocolFolder.isEmpty()) {
        for (int counter = 0; counter < 100000; ++counter) {
            path = withTrailingSeparator(protocolFolder) + protocolFileName(now, computer, counter);
            if (QFileInfo::exists(path))
                continue;
            bool exists = false;
            // Results with the pupil's name: classmates on the same computer must not read them.
            if (writeFileAtomically(path, rtf, false, &exists, 0600)) {
                if (savedPath)
                    *savedPath = path;
                return true;
            }
            if (!exists)
                break;
        }
    } else {
        path = protocolFileName(now, computer, 0);
    }
    messages.error(writeErrorText(path) + QStringLiteral("\r\n\r\n")
                   + QStringLiteral("Das Übungsprotokoll konnte nicht automatisch gespeichert werden. Überprüfen "
                                    "Sie die Einstellungen unter \"Optionen | Ordner für Protokolle und "
                                    "Bestenlisten\"."));
    return false;
}

} // namespace kapitolo
