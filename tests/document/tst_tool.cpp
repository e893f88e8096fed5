#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "support/test_files.h"

using namespace kapitolo::test;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run tool(const QStringList &args)
{
    QProcess p;
    p.start(qEnvironmentVariable("KAPITOLO_TOOL"), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

} // namespace

class TestTool : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QJsonObject buildAndInfo(const QByteArray &json, const QString &name)
    {
        writeFile(path(name + QStringLiteral(".json")), json);
        const Run built = tool({QStringLiteral("build"), path(name + QStringLiteral(".json")), path(name + QStringLiteral(".tsr"))});
        if (built.exitCode != 0)
            qWarning() << built.err;
        const Run info = tool({QStringLiteral("info"), path(name + QStringLiteral(".tsr"))});
        return QJsonDocument::fromJson(info.out).object();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariable("KAPITOLO_TOOL").isEmpty());
        QVERIFY(writeFile(path(QStringLiteral("bild.png")), pngBytes(patternImage(20, 10))));
    }

    void labelDocumentRoundTripsThroughJson()
    {
        const QJsonObject doc = buildAndInfo(
            R"({"titel": "Flüsse", "autor": "Kö", "RandErw": [0.1, 0, 0.2, 0.3], "NumArt": 1,
                "image": "bild.png",
                "objects": [{"Sx": 0.1, "Sy": 0.30000000000000004, "Kx": 0.3333333333333333, "Ky": 1e-7,
                             "Cap": "Rio de Janeiro", "KAusr": 3, "Sline": 1, "KAusrAkt": 2},
                            {"Cap": "  Bad\r\nEms  ", "Typ": 2, "Ebene": 2}]})",
            QStringLiteral("label"));
        const QStringList keys{"vers", "titel", "autor", "bemerkung", "lueckentext", "fragentext",
                               "AnzFrageNummern", "DokTyp", "RandErw", "NumArt", "GeordnetArt", "image", "objects"};
        for (const QString &key : keys)
            QVERIFY2(doc.contains(key), qPrintable(key));
        QCOMPARE(doc.size(), keys.size());
        QCOMPARE(doc["titel"].toString(), QStringLiteral("Flüsse"));
        QCOMPARE(doc["vers"].toString(), QStringLiteral("1.00"));
        QCOMPARE(doc["RandErw"].toArray().at(3).toDouble(), 0.3);
        QCOMPARE(doc["image"].toObject()["width"].toInt(), 20);
        const QJsonArray objects = doc["objects"].toArray();
        QCOMPARE(objects.size(), 2);
        const QJsonObject first = objects.at(0).toObject();
        QCOMPARE(first.size(), 13);
        QCOMPARE(first["Sy"].toDouble(), 0.30000000000000004); // exact round trip of floats
        QCOMPARE(first["Kx"].toDouble(), 1.0 / 3.0);
        QCOMPARE(first["Ky"].toDouble(), 1e-7);
        QCOMPARE(first["Cap"].toString(), QStringLiteral("Rio de Janeiro"));
        QCOMPARE(first["FrageNummer"].toInt(), -1);
        QCOMPARE(first["Ebene"].toInt(), 1);
        QCOMPARE(objects.at(1).toObject()["Cap"].toString(), QStringLiteral("Bad\r\nEms"));
    }

    void questionsAndClozeGetTheirObjects()
    {
        const QJsonObject q = buildAndInfo(
            R"({"titel": "Q", "DokTyp": 2, "image": "bild.png",
                "fragentext": "Eins?//1\r\nZwei?//2\r\nDrei?//3"})",
            QStringLiteral("fragen"));
        QCOMPARE(q["AnzFrageNummern"].toInt(), 3);
        QCOMPARE(q["objects"].toArray().size(), 3 * 4 + 5);
        QCOMPARE(q["objects"].toArray().at(7).toObject()["Cap"].toString(), QStringLiteral("2"));

        const QJsonObject c = buildAndInfo(
            R"({"titel": "C", "DokTyp": 1, "image": "bild.png",
                "lueckentext": "Das <<Wasser>> <B>verdunstet</B>.\r\nEs bildet <<Wolken>>.",
                "objects": [{"Typ": 5, "Cap": "unterordner/", "Kx": 0.9, "Ky": 0.9, "Ebene": 2}]})",
            QStringLiteral("luecken"));
        const QJsonArray objects = c["objects"].toArray();
        QCOMPARE(objects.size(), 3);
        QCOMPARE(objects.at(0).toObject()["Cap"].toString(), QStringLiteral("Wasser"));
        QCOMPARE(objects.at(1).toObject()["Typ"].toInt(), 3);
        QCOMPARE(objects.at(1).toObject()["KAusr"].toInt(), 2);
        QCOMPARE(objects.at(2).toObject()["Typ"].toInt(), 5);

        const Run check = tool({QStringLiteral("check"), path(QStringLiteral("fragen.tsr")), path(QStringLiteral("luecken.tsr"))});
        QCOMPARE(check.exitCode, 0);
    }

    void checkReportsWhatATeacherShouldFix()
    {
        buildAndInfo(R"({"titel": "Fehler", "DokTyp": 1, "image": "bild.png",
                         "lueckentext": "a <<b>> c <<d>>",
                         "objects": [{"Typ": 3, "Cap": "b"}, {"Typ": 0, "Cap": "", "Kx": 1.5}]})",
                     QStringLiteral("fehler"));
        buildAndInfo(R"({"titel": "Ohne", "DokTyp": 2, "image": "bild.png", "fragentext": "Nur eine Frage"})",
                     QStringLiteral("ohne"));
        const Run check = tool({QStringLiteral("check"), path(QStringLiteral("fehler.tsr")),
                                path(QStringLiteral("ohne.tsr")), path(QStringLiteral("gibtsnicht.tsr"))});
        QCOMPARE(check.exitCode, 1);
        const QString out = QString::fromUtf8(check.out);
        QVERIFY2(out.contains(QStringLiteral("2 Lücken, aber nur 1 Lückenobjekte")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("Position außerhalb der Karte")));
        QVERIFY(out.contains(QStringLiteral("leere Beschriftung")));
        QVERIFY(out.contains(QStringLiteral("Frage 1 hat keine Antwort.")));
        QVERIFY(out.contains(QStringLiteral("gibtsnicht.tsr: nicht lesbar")));
    }

    // A letter without a Windows-1252 code would be lost in the file: the build stops
    // and names where it is.
    void buildRefusesTextTheFileCannotHold_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("caption")
            << QByteArray("{\"titel\": \"Europa\", \"image\": \"bild.png\", \"objects\": "
                          "[{\"Cap\": \"Berlin\"}, {\"Cap\": \"Chi\xC5\x9Fin\xC4\x83u\"}]}")
            << QStringLiteral("Feld \"Cap\" von Objekt 1 (Typ 0, \"Chişinău\"): Das Zeichen \"ş\" (U+015F) an "
                              "Stelle 4 gibt es in Windows-1252");
        QTest::newRow("title")
            << QByteArray("{\"titel\": \"St\xC3\xA4" "dte \xE2\x86\x92 Fl\xC3\xBCsse\", \"DokTyp\": 2, "
                          "\"fragentext\": \"A?//B\"}")
            << QStringLiteral("Feld \"titel\": Das Zeichen \"→\" (U+2192) an Stelle 8");
        QTest::newRow("beyond the BMP")
            << QByteArray("{\"titel\": \"Quiz\", \"DokTyp\": 2, \"fragentext\": \"Smiley?//\xF0\x9F\x98\x80\"}")
            << QStringLiteral("Feld \"fragentext\": Das Zeichen \"😀\" (U+1F600) an Stelle 10");
    }
    void buildRefusesTextTheFileCannotHold()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        writeFile(path(QStringLiteral("verloren.json")), json);
        QFile::remove(path(QStringLiteral("verloren.tsr")));
        const Run built = tool({QStringLiteral("build"), path(QStringLiteral("verloren.json")),
                                path(QStringLiteral("verloren.tsr"))});
        QCOMPARE(built.exitCode, 1);
        const QString err = QString::fromUtf8(built.err);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(err.contains(QStringLiteral("verloren.tsr\" wurde nicht geschrieben.")));
        QVERIFY(!QFile::exists(path(QStringLiteral("verloren.tsr"))));
    }

    // A "?" right before a letter stands for one that was lost; a question mark that ends
    // a question, and one in a web address, do not.
    void checkFindsLostLetters()
    {
        const QByteArray json = "{\"titel\": \"Europa?\", \"image\": \"bild.png\", \"bemerkung\": \"Wo liegt das? Hier.\", "
                                "\"objects\": [{\"Cap\": \"Chi?in?u\"}, {\"Cap\": \"Berlin?\"}, "
                                "{\"Typ\": 4, \"Cap\": \"https://example.org/karte?id=3\"}, "
                                "{\"Typ\": 2, \"Cap\": \"Mehr: https://example.org/?q=x und www.example.org/?b=1\"}]}";
        buildAndInfo(json,
                     QStringLiteral("verloren2"));
        const Run check = tool({QStringLiteral("check"), path(QStringLiteral("verloren2.tsr"))});
        QCOMPARE(check.exitCode, 1);
        const QStringList lines = QString::fromUtf8(check.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(QStringLiteral("Feld \"Cap\" von Objekt 0 (Typ 0, \"Chi?in?u\"): \"?\" an "
                                                       "Stelle 4, 7 steht wohl für einen verlorenen Buchstaben (ein "
                                                       "Zeichen, das es in Windows-1252 nicht gibt).")),
                 qPrintable(lines.first()));
    }

    void unreadableFilesGiveTheReadersMessages()
    {
        QVERIFY(writeFile(path(QStringLiteral("falsch.tsr")), RawFile().string("ABCD").bytes()));
        const Run run = tool({QStringLiteral("info"), path(QStringLiteral("falsch.tsr"))});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        const QString err = QString::fromUtf8(run.err);
        QVERIFY(err.startsWith(QStringLiteral("Ungültiges Dateiformat.\n")));
        QVERIFY(err.contains(QStringLiteral("kann nicht gelesen werden. Mögliche Ursachen:")));

        QVERIFY(writeFile(path(QStringLiteral("bad.json")), "{\"titel\": "));
        const Run bad = tool({QStringLiteral("build"), path(QStringLiteral("bad.json")), path(QStringLiteral("bad.tsr"))});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(QString::fromUtf8(bad.err).contains(QStringLiteral("Ungültiges JSON")));
        QVERIFY(!QFile::exists(path(QStringLiteral("bad.tsr"))));
    }

    // Asking for help or the version is no error; a wrong call still is.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = QStringLiteral("Aufruf:\n  kapitolo-tool info DATEI.tsr");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QString();
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << QString();
        QTest::newRow("help behind a command") << QStringList{"worksheet", "--help"} << 0 << usage << QString();
        QTest::newRow("--version") << QStringList{"--version"} << 0 << QStringLiteral("kapitolo-tool 1.2\n") << QString();
        QTest::newRow("no command") << QStringList{} << 2 << QString() << usage;
        QTest::newRow("unknown command") << QStringList{"zeichne"} << 2 << QString() << usage;
        QTest::newRow("unknown kind") << QStringList{"worksheet", "a.tsr", "a.png", "--kind", "bild"} << 2 << QString()
                                      << QStringLiteral("Ungültige Angabe bei --kind\nAufruf:");
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = tool(args);
        QCOMPARE(run.exitCode, exitCode);
        if (out.isEmpty())
            QVERIFY(run.out.isEmpty());
        else
            QVERIFY2(QString::fromUtf8(run.out).startsWith(out), run.out.constData());
        if (err.isEmpty())
            QVERIFY(run.err.isEmpty());
        else
            QVERIFY2(QString::fromUtf8(run.err).startsWith(err), run.err.constData());
    }

    // "--kind" takes the sheet's name as well as its number.
    void worksheetKindByName()
    {
        buildAndInfo(R"({"titel": "Orte", "image": "bild.png",
                         "objects": [{"Sx": 0.2, "Sy": 0.5, "Kx": 0.2, "Ky": 0.5, "Cap": "Ort"}]})",
                     QStringLiteral("orte"));
        const QString doc = path(QStringLiteral("orte.tsr"));
        const QStringList names{"arbeitsblatt", "loesung", "folie"};
        for (int kind = 0; kind < 3; ++kind) {
            const QString byNumber = path(QStringLiteral("n%1.svg").arg(kind));
            const QString byName = path(QStringLiteral("w%1.svg").arg(kind));
            QCOMPARE(tool({"worksheet", doc, byNumber, "--kind", QString::number(kind)}).exitCode, 0);
            QCOMPARE(tool({"worksheet", doc, byName, "--kind", names.at(kind)}).exitCode, 0);
            QVERIFY(!readFile(byName).isEmpty());
            QCOMPARE(readFile(byName), readFile(byNumber));
        }
        QVERIFY(readFile(path(QStringLiteral("w0.svg"))) != readFile(path(QStringLiteral("w1.svg"))));
    }
};

QTEST_GUILESS_MAIN(TestTool)
#include "tst_tool.moc"
