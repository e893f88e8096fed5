// kapitolo-tool: the program's documents from the command line, without a display.

#include "tool_network.h"

#include "app/topic_folder.h"
#include "document/document_check.h"
#include "document/document_file.h"
#include "document/document_json.h"
#include "learning/learning_record.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/random.h"
#include "results/best_list.h"
#include "view/card_snapshot.h"
#include "view/view_state.h"
#include "view/view_output.h"
#include "tool_common.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <memory>

using namespace kapitolo;

int cmdWorksheet(const QStringList &args); // tool_sheet.cpp

namespace {

QString usageText()
{
    return QStringLiteral(
        "Aufruf:\n"
        "  kapitolo-tool info DATEI.tsr            Dokument als JSON ausgeben\n"
        "  kapitolo-tool build QUELLE.json ZIEL.tsr Dokument aus JSON erzeugen\n"
        "  kapitolo-tool check DATEI...            Dokumente prüfen\n"
        "  kapitolo-tool topics ORDNER             Themenmenü des Ordners ausgeben\n"
        "  kapitolo-tool render DATEI.tsr BILD.png [--size BxH] [--zoom N] [--numbering M] [--uncover] [--boxes]\n"
        "                                          Lernkarte zeichnen (Fenster der Anzeige)\n"
        "  kapitolo-tool bestlist DATEI.hsc        Bestenliste als Text (wie \"Speichern...\")\n"
        "  kapitolo-tool mailslot listen NAME [--count N] [--timeout SEKUNDEN]\n"
        "                                          Meldungen an das Postfach NAME als JSON-Zeilen ausgeben\n"
        "  kapitolo-tool mailslot send RECHNER NAME [ZEILE...]\n"
        "                                          eine Meldung an das Postfach NAME senden\n"
        "  kapitolo-tool options DATEI.dat         Optionsdatei einer Netzwerk-Übung als JSON ausgeben\n"
        "  kapitolo-tool lernstand [DATEI]         Lernstand (Themen, Aufgaben mit Fach, Antworten) als\n"
        "                                          JSON-Zeilen ausgeben; ohne DATEI der des Benutzers\n"
        "  kapitolo-tool worksheet DATEI.tsr ZIEL.(emf|wmf|pdf|svg|png) [--kind 0|1|2] [--from N] [--title TEXT]\n"
        "                [--task TEXT] [--no-name] [--no-class] [--no-date] [--no-answers]\n"
        "                                          Arbeitsblatt (0 oder arbeitsblatt), Lösungsblatt (1 oder loesung)\n"
        "                                          oder Auflegefolie (2 oder folie)\n"
        "  kapitolo-tool --help | -h               diese Hilfe\n"
        "  kapitolo-tool --version                 Version ausgeben");
}

// A wrong call: the usage on stderr, exit status 2.
int usage()
{
    printErr(usageText());
    return 2;
}

int cmdInfo(const QStringList &args)
{
    if (args.size() != 1)
        return usage();
    StderrMessages messages;
    TopicDocument document;
    TopicNavigation navigation;
    if (readDocument(args.first(), document, navigation, messages) != ReadResult::Ok)
        return 1;
    const QByteArray json = documentToJson(document);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

int cmdBuild(const QStringList &args)
{
    if (args.size() != 2)
        return usage();
    QFile source(args.at(0));
    if (!source.open(QIODevice::ReadOnly)) {
        printErr(QStringLiteral("Die Datei \"") + args.at(0) + QStringLiteral("\" kann nicht gelesen werden."));
        return 1;
    }
    TopicDocument document;
    QString error;
    if (!documentFromJson(source.readAll(), QFileInfo(source).absolutePath(), document, &error)) {
        printErr(args.at(0) + QStringLiteral(": ") + error);
        return 1;
    }
    // A letter the file cannot hold would come back as "?" or another letter: refuse.
    const QStringList lost = unencodableTexts(document);
    if (!lost.isEmpty()) {
        for (const QString &problem : lost)
            printErr(args.at(0) + QStringLiteral(": ") + problem);
        printErr(QStringLiteral("Die Datei \"") + args.at(1) + QStringLiteral("\" wurde nicht geschrieben."));
        return 1;
    }
    StderrMessages messages;
    return writeDocument(args.at(1), document, false, messages) ? 0 : 1;
}

int cmdCheck(const QStringList &args)
{
    if (args.isEmpty())
        return usage();
    int dirty = 0;
    for (const QString &path : args) {
        StderrMessages messages;
        TopicDocument document;
        TopicNavigation navigation;
        if (readDocument(path, document, navigation, messages) != ReadResult::Ok) {
            std::printf("%s: nicht lesbar\n", qPrintable(path));
            ++dirty;
            continue;
        }
        const QStringList problems = checkDocument(document);
        for (const QString &problem : problems)
            std::printf("%s: %s\n", path.toUtf8().constData(), problem.toUtf8().constData());
        if (!problems.isEmpty())
            ++dirty;
    }
    if (dirty == 0)
        std::printf("%lld Dokument(e) geprüft, alles in Ordnung.\n", qlonglong(args.size()));
    return dirty == 0 ? 0 : 1;
}

// The "&Quizauswahl" items Kapitolo builds for the folder, "--" before a new column.
int cmdTopics(const QStringList &args)
{
    if (args.size() != 1)
        return usage();
    if (!QFileInfo(args.first()).isDir()) {
        printErr(QStringLiteral("Der Ordner \"") + args.first() + QStringLiteral("\" existiert nicht."));
        return 1;
    }
    const QList<TopicEntry> entries = readTopicFolder(args.first());
    const int columnBreak = topicColumnBreak(int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        if (i == columnBreak)
            std::printf("--\n");
        std::printf("%s\n", topicItemCaption(i, entries.at(i)).toUtf8().constData());
    }
    return 0;
}

QString jsonNumber(double v)
{
    return QString::number(v, 'g', 17);
}

// Draws the learning card as the display bitmap receives it: no quiz, every layer on.
int cmdRender(const QStringList &args)
{
    QStringList files;
    QSize size(870, 600);
    int zoom = 0;
    int numbering = numberingOrdered;
    bool uncover = false;
    bool boxes = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        QString v;
        bool ok = true;
        if (a == QLatin1String("--size")) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(value(&v) ? v : QString());
            ok = m.hasMatch();
            if (ok)
                size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
            ok = ok && size.width() >= 1 && size.height() >= 1;
        } else if (a == QLatin1String("--zoom")) {
            ok = value(&v);
            zoom = v.toInt(&ok);
            ok = ok && zoom >= 0 && zoom <= kMaxZoomIndex;
        } else if (a == QLatin1String("--numbering")) {
            ok = value(&v);
            numbering = v.toInt(&ok);
            ok = ok && numbering >= 0 && numbering <= 2;
        } else if (a == QLatin1String("--uncover")) {
            uncover = true;
        } else if (a == QLatin1String("--boxes")) {
            boxes = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            ok = false;
        } else {
            files.append(a);
        }
        if (!ok) {
            printErr(QStringLiteral("Ungültige Angabe bei ") + a);
            return usage();
        }
    }
    if (files.size() != 2)
        return usage();

    StderrMessages messages;
    TopicDocument document;
    TopicNavigation navigation;
    if (readDocument(files.at(0), document, navigation, messages) != ReadResult::Ok)
        return 1;
    CardSnapshotOptions options;
    options.controlSize = size;
    options.zoomIndex = zoom;
    options.numberingMode = numbering;
    options.uncover = uncover;
    Random random(1); // the same random numbering on every run
    const QImage card = renderCardSnapshot(document, options, messages, random);
    if (card.isNull() || !SaveBitmapFile(card, files.at(1), messages))
        return 1;
    if (boxes) {
        QString out = QStringLiteral("[");
        for (int i = 0; i < document.objects.size(); ++i) {
            const DocObject &o = document.objects.at(i);
            if (i > 0)
                out += QLatin1Char(',');
            out += QStringLiteral("\n {\"index\":%1,\"Typ\":%2,\"hitBox\":[%3,%4,%5,%6],\"KAusrAkt\":%7,"
                                  "\"pixelX\":%8,\"pixelY\":%9,\"displayNo\":%10}")
                       .arg(i)
                       .arg(o.Typ)
                       .arg(jsonNumber(o.hitBox.left), jsonNumber(o.hitBox.top), jsonNumber(o.hitBox.right),
                            jsonNumber(o.hitBox.bottom))
                       .arg(o.KAusrAkt)
                       .arg(o.pixelX)
                       .arg(o.pixelY)
                       .arg(o.displayNo);
        }
        out += QStringLiteral("\n]\n");
        const QByteArray bytes = out.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    }
    return 0;
}

// The ranked best list as the best-list window saves it: tab-separated, CR LF,
// Windows-1252.
int cmdBestList(const QStringList &args)
{
    if (args.size() != 1)
        return usage();
    SystemClock clock;
    BestList list;
    bool read = false;
    for (int attempt = 1; attempt <= 5 && !read; ++attempt) {
        read = readBestList(args.first(), list, clock);
        if (!read && attempt < 5)
            clock.busyWait(100, false);
    }
    if (!read) {
        StderrMessages messages;
        ShowReadError(messages, args.first());
        return 1;
    }
    rankBestList(list);
    const QByteArray text = toCp1252(bestListText(bestListRows(list)));
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return 0;
}

// The pupil's learning record as JSON lines: topics, items with their compartment and
// schedule, answers.
int cmdLernstand(const QStringList &args)
{
    if (args.size() > 1)
        return usage();
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrabel"));
    QCoreApplication::setApplicationName(QStringLiteral("Kapitolo"));
    const QString path = args.isEmpty() ? LearningRecord::defaultPath() : args.first();
    StderrMessages messages;
    if (!QFileInfo(path).isFile()) {
        ShowMissingFileError(messages, path);
        return 1;
    }
    SystemClock clock;
    LearningRecord record(path, messages, clock);
    record.setRepairDamaged(false);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return 1;
    return record.writeJsonLines(out, qint32(std::floor(clock.now()))) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing needs fonts, and fonts need a GUI application; without a display it
    // runs on the offscreen platform. The other commands stay free of any GUI.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && (qstrcmp(argv[1], "render") == 0 || qstrcmp(argv[1], "worksheet") == 0)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage();
    // Asked for help, the usage is the answer, not an error: stdout and exit 0, also
    // behind a command ("kapitolo-tool worksheet --help").
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::printf("%s\n", usageText().toUtf8().constData());
        return 0;
    }
    if (args.first() == QLatin1String("--version")) {
        std::printf("kapitolo-tool %s\n", KAPITOLO_TOOL_VERSION);
        return 0;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("info"))
        return cmdInfo(args);
    if (command == QLatin1String("build"))
        return cmdBuild(args);
    if (command == QLatin1String("check"))
        return cmdCheck(args);
    if (command == QLatin1String("topics"))
        return cmdTopics(args);
    if (command == QLatin1String("render"))
        return cmdRender(args);
    if (command == QLatin1String("bestlist"))
        return cmdBestList(args);
    if (command == QLatin1String("mailslot"))
        return cmdMailslot(args);
    if (command == QLatin1String("options"))
        return cmdOptions(args);
    if (command == QLatin1String("lernstand"))
        return cmdLernstand(args);
    if (command == QLatin1String("worksheet")) {
        const int result = cmdWorksheet(args);
        return result == 2 ? usage() : result;
    }
    return usage();
}
