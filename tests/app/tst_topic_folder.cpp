#include "platform/app_settings.h"
#include "app/display_check.h"
#include "app/topic_folder.h"
#include "document/document_file.h"
#include "platform/settings_store.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

QStringList captions(const QList<TopicEntry> &entries)
{
    QStringList result;
    for (int i = 0; i < entries.size(); ++i)
        result << topicItemCaption(i, entries.at(i));
    return result;
}

} // namespace

class TestTopicFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void folderIsReadSortedAndFiltered()
    {
        QTemporaryDir dir;
        QVERIFY(writeTopic(dir.filePath(QStringLiteral("Zebra.tsr")), QStringLiteral("Zebras")));
        QVERIFY(writeTopic(dir.filePath(QStringLiteral("alpha.tsr")), QStringLiteral("  Alpha  ")));
        QVERIFY(writeTopic(dir.filePath(QStringLiteral("Äpfel.tsr")), QStringLiteral("Äpfel")));
        QVERIFY(writeTopic(dir.filePath(QStringLiteral("ohne.TSR")), QString()));
        QVERIFY(writeTopic(dir.filePath(QStringLiteral(".versteckt.tsr")), QStringLiteral("Versteckt")));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("kaputt.tsr")), "kein Dokument"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("notiz.txt")), "x"));
        QDir(dir.path()).mkdir(QStringLiteral("unter.tsr"));

        const QList<TopicEntry> entries = readTopicFolder(dir.path());
        QCOMPARE(captions(entries),
                 QStringList({QStringLiteral("&1:  Versteckt"), QStringLiteral("&2:  Alpha"),
                              QStringLiteral("&3:  Äpfel"), QStringLiteral("&4:  ohne.TSR"),
                              QStringLiteral("&5:  Zebras")}));
        QCOMPARE(entries.at(4).sortKey, QStringLiteral("zebra.tsr"));
        QCOMPARE(entries.at(4).path, dir.filePath(QStringLiteral("Zebra.tsr")));
        QVERIFY(readTopicFolder(dir.filePath(QStringLiteral("fehlt"))).isEmpty());
    }

    // The submenus: folders that hold a topic somewhere below, sorted like the topic list,
    // at most three levels deep.
    void subFoldersWithTopics()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + QStringLiteral("/");
        QVERIFY(writeTopic(root + QStringLiteral("oben.tsr"), QStringLiteral("Oben")));
        QVERIFY(writeTopic(root + QStringLiteral("Zoologie/tiere.tsr"), QStringLiteral("Tiere")));
        QVERIFY(writeTopic(root + QStringLiteral("ärger/a.tsr"), QStringLiteral("Ärger")));
        QVERIFY(writeTopic(root + QStringLiteral("erdkunde/welt/klima.tsr"), QStringLiteral("Klima")));
        QVERIFY(writeTopic(root + QStringLiteral("a/b/c/tief.tsr"), QStringLiteral("Drei tief")));
        QVERIFY(writeTopic(root + QStringLiteral("x/y/z/w/zu-tief.tsr"), QStringLiteral("Vier tief")));
        QVERIFY(writeTopic(root + QStringLiteral(".git/versteckt.tsr"), QStringLiteral("Versteckt")));
        QVERIFY(writeFile(root + QStringLiteral("bilder/b.png"), "x"));
        QVERIFY(writeFile(root + QStringLiteral("kaputt/k.tsr"), "kein Dokument"));

        const TopicFolderContents contents = readTopicFolderContents(dir.path());
        QCOMPARE(captions(contents.topics), QStringList{QStringLiteral("&1:  Oben")});
        QStringList names;
        for (const TopicFolder &folder : contents.folders)
            names << folder.name;
        QCOMPARE(names, QStringList({"a", "ärger", "erdkunde", "Zoologie"}));
        const TopicFolder &a = contents.folders.at(0);
        QCOMPARE(a.path, root + QStringLiteral("a/"));
        QVERIFY(a.topics.isEmpty());
        QCOMPARE(a.folders.at(0).folders.at(0).topics.at(0).title, QStringLiteral("Drei tief"));
        QCOMPARE(contents.folders.at(2).folders.at(0).name, QStringLiteral("welt"));
        QCOMPARE(contents.folders.at(2).folders.at(0).topics.at(0).path, root + QStringLiteral("erdkunde/welt/klima.tsr"));
        QCOMPARE(contents.folders.at(3).topics.at(0).title, QStringLiteral("Tiere"));
        QVERIFY(readTopicSubFolders(root + QStringLiteral("fehlt")).isEmpty());
    }

    void folderCaptions_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("subjects") << QStringList{"biologie", "chemie", "deutsch", "deutschland", "englisch", "erdkunde"}
                                  << "s"
                                  << QStringList{"&Biologie", "&Chemie", "&Deutsch", "D&eutschland", "E&nglisch", "E&rdkunde"};
        QTest::newRow("Startseite keeps its s") << QStringList{"sachkunde"} << "s" << QStringList{"S&achkunde"};
        QTest::newRow("umlaut") << QStringList{"ökologie"} << "" << QStringList{"&Ökologie"};
        QTest::newRow("ampersand") << QStringList{"Tiere & Pflanzen"} << "" << QStringList{"&Tiere && Pflanzen"};
        QTest::newRow("digits are the topics' keys") << QStringList{"5a"} << "" << QStringList{"5&a"};
        QTest::newRow("every letter taken") << QStringList{"ab", "ba"} << "ab" << QStringList{"Ab", "Ba"};
    }
    void folderCaptions()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, taken);
        QFETCH(QStringList, captions);
        QCOMPARE(topicFolderCaptions(names, taken), captions);
    }

    void sortingIsGermanCaseInsensitiveAndStable()
    {
        // Keys equal under the collation keep their order: the first of equal keys wins.
        QList<TopicEntry> entries{{QStringLiteral("1"), QStringLiteral("/b"), QStringLiteral("straße.tsr")},
                                  {QStringLiteral("2"), QStringLiteral("/a"), QStringLiteral("ärger.tsr")},
                                  {QStringLiteral("3"), QStringLiteral("/c"), QStringLiteral("zebra.tsr")},
                                  {QStringLiteral("4"), QStringLiteral("/d"), QStringLiteral("arger.tsr")},
                                  {QStringLiteral("5"), QStringLiteral("/e"), QStringLiteral("b.tsr")},
                                  {QStringLiteral("6"), QStringLiteral("/f"), QStringLiteral("b.tsr")}};
        sortTopicEntries(entries);
        QStringList order;
        for (const TopicEntry &e : entries)
            order << e.title;
        QCOMPARE(order, QStringList({"4", "2", "5", "6", "1", "3"}));
    }

    void captionsAndAccessKeys()
    {
        const TopicEntry entry{QStringLiteral("Flüsse"), QStringLiteral("/t/fluesse.tsr"), QStringLiteral("fluesse.tsr")};
        QCOMPARE(topicItemCaption(0, entry), QStringLiteral("&1:  Flüsse"));
        QCOMPARE(topicItemCaption(8, entry), QStringLiteral("&9:  Flüsse"));
        QCOMPARE(topicItemCaption(9, entry), QStringLiteral("10:  Flüsse"));
        const TopicEntry untitled{QStringLiteral("   "), QStringLiteral("/t/leer.tsr"), QStringLiteral("leer.tsr")};
        QCOMPARE(topicItemCaption(11, untitled), QStringLiteral("12:  leer.tsr"));
    }

    void columnBreakBeyondThirtyEntries()
    {
        QCOMPARE(topicColumnBreak(0), -1);
        QCOMPARE(topicColumnBreak(30), -1);
        QCOMPARE(topicColumnBreak(31), 12);
        QCOMPARE(topicColumnBreak(32), 12);
        QCOMPARE(topicColumnBreak(200), 96);
    }

    void previousAndNext()
    {
        QCOMPARE(nextTopicIndex(-1, 5), 0);
        QCOMPARE(nextTopicIndex(4, 5), 4);
        QCOMPARE(nextTopicIndex(2, 5), 3);
        QCOMPARE(previousTopicIndex(-1, 5), 0);
        QCOMPARE(previousTopicIndex(0, 5), 0);
        QCOMPARE(previousTopicIndex(3, 5), 2);
        QCOMPARE(nextTopicIndex(-1, 0), -1);
        QCOMPARE(previousTopicIndex(-1, 0), -1);
    }

    void titleTexts()
    {
        QCOMPARE(windowTitleText(false, QString()), QStringLiteral("Ostrabel Kapitolo"));
        QCOMPARE(windowTitleText(true, QStringLiteral("Flüsse")), QStringLiteral("Ostrabel Kapitolo - Flüsse"));
        QCOMPARE(windowTitleText(true, QString()), QStringLiteral("Ostrabel Kapitolo - "));
        QCOMPARE(titleLabelText(false, QStringLiteral("x"), 3),
                 QStringLiteral("Wählen Sie im Menü \"Quizauswahl\" das gewünschte Thema aus."));
        QCOMPARE(titleLabelText(true, QStringLiteral("Flüsse"), 12), QStringLiteral("Flüsse (12 Fragen)"));
        QCOMPARE(titleLabelText(true, QString(), 0), QStringLiteral("(ohne Titel) (0 Fragen)"));
    }

    void displayCheckThresholds_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("warns");
        QTest::newRow("960x700x16") << 960 << 700 << 16 << false;
        QTest::newRow("959x700x16") << 959 << 700 << 16 << true;
        QTest::newRow("960x699x16") << 960 << 699 << 16 << true;
        QTest::newRow("1920x1080x15") << 1920 << 1080 << 15 << false;
        QTest::newRow("1920x1080x8") << 1920 << 1080 << 8 << true;
    }
    void displayCheckThresholds()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, depth);
        QFETCH(bool, warns);
        QCOMPARE(displayWarning({width, height, depth}).has_value(), warns);
    }

    void displayWarningText()
    {
        QCOMPARE(displayWarning({959, 700, 24}).value(),
                 QStringLiteral("Ungeeigneter Grafikmodus! (Windows-Systemsteuerung / Eigenschaften von Anzeige)\r\n\r\n"
                                "Für dieses Programm sollte ein Grafikmodus mit einer Auflösung von mindestens 1024 x 768 "
                                "Pixel (Bildpunkte) und einer Farbtiefe von mindestens 16 Bit (High Color) eingestellt "
                                "sein. \r\nAktuelle Einstellungen:\r\n- Auflösung: 959 x 700 Pixel\r\n- Farbtiefe: 24 "
                                "Bit\r\n\r\nProgramm trotzdem starten?"));
    }

    void settingsRoundTripWithDefaults()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("k.ini"));
        AppSettings defaults = AppSettings::defaults(QStringLiteral("/prog/"));
        QCOMPARE(defaults.protocolFolder, QStringLiteral("/prog/protokolle/"));
        QCOMPARE(defaults.bestListFolder, QStringLiteral("/prog/bestenlisten/"));
        QCOMPARE(defaults.communicationFolder, QStringLiteral("/prog/kom/"));
        {
            // An empty key leaves every default.
            SettingsStore store(ini);
            AppSettings read = defaults;
            read.read(store);
            QCOMPARE(read.channel, QStringLiteral("TSR-1"));
            QCOMPARE(read.zLimitMin, QStringLiteral("3"));
            QCOMPARE(read.zuordnungstexte, 1);
            QVERIFY(read.sound && read.nameEntry && !read.autoSaveProtocol && read.autoBestListEntry);
        }
        AppSettings changed = defaults;
        changed.sound = false;
        changed.autoSaveProtocol = true;
        changed.channel = QStringLiteral("Raum-7");
        changed.zeitLimit = 2;
        changed.fragenZLimitSek = QStringLiteral("45");
        changed.protocolFolder = QStringLiteral("/daten/prot/");
        {
            SettingsStore store(ini);
            changed.write(store);
            QVERIFY(store.sync());
        }
        SettingsStore store(ini);
        AppSettings read = defaults;
        read.read(store);
        QCOMPARE(read.sound, false);
        QCOMPARE(read.autoSaveProtocol, true);
        QCOMPARE(read.channel, QStringLiteral("Raum-7"));
        QCOMPARE(read.zeitLimit, 2);
        QCOMPARE(read.fragenZLimitSek, QStringLiteral("45"));
        QCOMPARE(read.protocolFolder, QStringLiteral("/daten/prot/"));

        // A value stored under another spelling is found.
        QVERIFY(writeFile(ini, "[General]\nUebOpt-Zeitlimit=1\nopt-sound=0\n"));
        SettingsStore other(ini);
        AppSettings fromOther = defaults;
        fromOther.read(other);
        QCOMPARE(fromOther.zeitLimit, 1);
        QCOMPARE(fromOther.sound, false);
    }

    void toolPrintsTheTopicMenu()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 31; ++i)
            QVERIFY(writeTopic(dir.filePath(QStringLiteral("t%1.tsr").arg(i, 2, 10, QLatin1Char('0'))),
                      i == 3 ? QString() : QStringLiteral("Thema %1").arg(i)));
        QProcess p;
        p.start(qEnvironmentVariable("KAPITOLO_TOOL"), {QStringLiteral("topics"), dir.path()});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 32);
        QCOMPARE(lines.at(0), QStringLiteral("&1:  Thema 0"));
        QCOMPARE(lines.at(3), QStringLiteral("&4:  t03.tsr"));
        QCOMPARE(lines.at(9), QStringLiteral("10:  Thema 9"));
        QCOMPARE(lines.at(12), QStringLiteral("--"));
        QCOMPARE(lines.at(13), QStringLiteral("13:  Thema 12"));
    }
};

QTEST_GUILESS_MAIN(TestTopicFolder)
#include "tst_topic_folder.moc"
