#include "platform/binary_stream.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/nearest.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QBuffer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using namespace kapitolo;

class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void cp1252RoundTripsEveryByte()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = fromCp1252(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(toCp1252(text), all);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x84), QChar(0x201E));
        QCOMPARE(text.at(0x96), QChar(0x2013));
        QCOMPARE(text.at(0xE4), QChar(u'ä'));
        QCOMPARE(text.at(0xDF), QChar(u'ß'));
    }

    // Names typed in a German classroom keep their letters as near as the code page allows.
    void cp1252NearestLetters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("Turkish") << QStringLiteral("Şükrü Yılmaz Ağaoğlu İnce") << QByteArray("S\xFCkr\xFC Yilmaz Agaoglu Ince");
        QTest::newRow("Polish") << QStringLiteral("Łukasz Wałęsa") << QByteArray("Lukasz Walesa");
        QTest::newRow("Romanian") << QStringLiteral("Chișinău, Ştefan") << QByteArray("Chisinau, Stefan");
        QTest::newRow("Croatian and Czech") << QStringLiteral("Đurđa Dvořák ǆ") << QByteArray("Durda Dvor\xE1k d\x9E");
        QTest::newRow("keeps a letter the code page has") << QStringLiteral("ǘ ẞ") << QByteArray("\xFC SS");
        QTest::newRow("ligature") << QStringLiteral("ﬁnal") << QByteArray("final");
        QTest::newRow("no Latin letters: one ? each") << QStringLiteral("Ω→한😀x") << QByteArray("????x");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QLatin1Char('a') << QByteArray("?a");
    }
    void cp1252NearestLetters()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, stored);
        QCOMPARE(toCp1252(text), stored);
        QCOMPARE(storedAsCp1252(text), fromCp1252(stored));
    }

    void cp1252FindsTheFirstCharacterItLacks()
    {
        QString character;
        QCOMPARE(firstNonCp1252(QStringLiteral("Grüße"), &character), qsizetype(-1));
        QCOMPARE(firstNonCp1252(QStringLiteral("Chișinău"), &character), qsizetype(3));
        QCOMPARE(character, QStringLiteral("ș"));
        QCOMPARE(firstNonCp1252(QStringLiteral("ab😀"), &character), qsizetype(2));
        QCOMPARE(character, QStringLiteral("😀")); // the whole code point, both halves
    }

    void cp1252ReplacesWhatItCannotEncode()
    {
        QCOMPARE(toCp1252(QStringLiteral("Grüße €5 → Ω")), QByteArray("Gr\xFC\xDF" "e \x80" "5 ? ?"));
        QVERIFY(fitsCp1252(QStringLiteral("Öl „Zitat“ – fertig")));
        QVERIFY(!fitsCp1252(QStringLiteral("Ω")));
    }

    void nearestRoundsTiesToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-0.5") << -0.5 << 0;
        QTest::newRow("-1.5") << -1.5 << -2;
        QTest::newRow("2.4999") << 2.4999 << 2;
        QTest::newRow("2.5001") << 2.5001 << 3;
        QTest::newRow("huge") << 1e300 << INT_MAX;
        QTest::newRow("-huge") << -1e300 << INT_MIN;
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << INT_MIN;
    }
    void nearestRoundsTiesToEven()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(nearest(value), expected);
    }

    void binaryStreamReadsLittleEndianFields()
    {
        const QByteArray bytes = test::RawFile()
                                     .int32(-2)
                                     .float64(1.0 / 3.0)
                                     .string("Ma\xDF")
                                     .float64(1)
                                     .float64(2)
                                     .float64(3)
                                     .float64(4)
                                     .bytes();
        QCOMPARE(bytes.left(4), QByteArray("\xFE\xFF\xFF\xFF", 4));
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        BinaryReader in(buffer);
        qint32 i = 0;
        double d = 0;
        QString s;
        RectD r;
        QVERIFY(in.readInt32(i));
        QVERIFY(in.readFloat64(d));
        QVERIFY(in.readString(s));
        QVERIFY(in.readRectD(r));
        QCOMPARE(i, -2);
        QCOMPARE(d, 1.0 / 3.0);
        QCOMPARE(s, QStringLiteral("Maß"));
        QCOMPARE(r, (RectD{1, 2, 3, 4}));
        QCOMPARE(in.bytesLeft(), 0);
        QVERIFY(!in.readInt32(i));
    }

    void binaryStreamRefusesImpossibleLengths_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("negative") << test::RawFile().int32(-1).raw("abc").bytes();
        QTest::newRow("beyond end") << test::RawFile().int32(4).raw("abc").bytes();
        QTest::newRow("two gigabytes") << test::RawFile().int32(0x7FFFFFFF).raw("abc").bytes();
        QTest::newRow("short count") << QByteArray("\x01\x00", 2);
    }
    void binaryStreamRefusesImpossibleLengths()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        BinaryReader in(buffer);
        QByteArray value;
        QVERIFY(!in.readBytes(value));
        QVERIFY(!in.ok());
        QVERIFY(value.size() < 8);
        qint32 i;
        QVERIFY(!in.readInt32(i)); // stays failed
    }

    void binaryWriterMatchesReader()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        BinaryWriter out(buffer);
        out.writeInt32(0x12345678);
        out.writeString(QStringLiteral("€"));
        out.writeRectD(RectD{0.1, 0.2, 0.3, 0.4});
        QVERIFY(out.ok());
        QCOMPARE(buffer.data().left(9), QByteArray("\x78\x56\x34\x12\x01\x00\x00\x00\x80", 9));
        QCOMPARE(buffer.data().size(), 4 + 5 + 32);
    }

    void settingsFindValuesWithoutRegardToCase()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("kapitolo.ini"));
        {
            SettingsStore store(ini);
            store.writeInt(QStringLiteral("UebOpt-Zeitlimit"), 2);
            store.writeBool(QStringLiteral("Opt-Sound"), false);
            store.writeString(QStringLiteral("NetzKomKanal"), QStringLiteral("Raum 12"));
            QVERIFY(store.sync());
        }
        SettingsStore store(ini);
        QCOMPARE(store.readInt(QStringLiteral("UebOpt-ZeitLimit")), std::optional<qint32>(2));
        QCOMPARE(store.readBool(QStringLiteral("opt-sound")), std::optional<bool>(false));
        QCOMPARE(store.readString(QStringLiteral("NETZKOMKANAL")), std::optional<QString>(QStringLiteral("Raum 12")));
        QVERIFY(!store.readInt(QStringLiteral("UebOpt-AbfrageModus")).has_value());

        // Booleans are stored as 0 and 1, and writing another spelling leaves one value.
        QSettings raw(ini, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Opt-Sound")).toString(), QStringLiteral("0"));
        store.writeInt(QStringLiteral("UebOpt-ZeitLimit"), 1);
        QVERIFY(store.sync());
        QSettings again(ini, QSettings::IniFormat);
        QCOMPARE(again.childKeys().filter(QStringLiteral("zeitlimit"), Qt::CaseInsensitive).size(), 1);
        QCOMPARE(store.readInt(QStringLiteral("uebopt-zeitlimit")), std::optional<qint32>(1));
    }

    void settingsIgnoreUnreadableValues()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("k.ini"));
        QVERIFY(test::writeFile(ini, "[General]\nUebOpt-ZeitLimit=abc\nOpt-Sound=true\nBig=99999999999\n"));
        SettingsStore store(ini);
        QVERIFY(!store.readInt(QStringLiteral("UebOpt-ZeitLimit")).has_value());
        QVERIFY(!store.readInt(QStringLiteral("Big")).has_value());
        QCOMPARE(store.readBool(QStringLiteral("Opt-Sound")), std::optional<bool>(true));
    }

    void dayNumbersCountFromDecember1899()
    {
        QCOMPARE(toDayNumber(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
        QCOMPARE(toDayNumber(QDateTime(QDate(2000, 1, 1), QTime(18, 0))), 36526.75);
        QCOMPARE(toDayNumber(QDateTime(QDate(1899, 12, 29), QTime(0, 0))), -1.0);
        const QDateTime t(QDate(2026, 12, 7), QTime(9, 41, 17, 250));
        QCOMPARE(fromDayNumber(toDayNumber(t)), t);
    }

    void randomStaysInRangeAndRepeatsWithSeed()
    {
        Random a(42);
        Random b(42);
        QSet<int> seen;
        for (int i = 0; i < 2000; ++i) {
            const int v = a.below(6);
            QVERIFY(v >= 0 && v < 6);
            QCOMPARE(b.below(6), v);
            seen.insert(v);
        }
        QCOMPARE(seen.size(), 6);
        QCOMPARE(a.below(0), 0);
    }

    void foldersKeepOneTrailingSeparator()
    {
        QCOMPARE(withTrailingSeparator(QStringLiteral("/tmp/x")), QStringLiteral("/tmp/x/"));
        QCOMPARE(withTrailingSeparator(QStringLiteral("/tmp/x/")), QStringLiteral("/tmp/x/"));
        QCOMPARE(withTrailingSeparator(QString()), QString());
        QVERIFY(endsWithSeparator(QStringLiteral("deutschland\\")));
        QCOMPARE(fromStoredPath(QStringLiteral("themen\\karte.tsr")), QStringLiteral("themen/karte.tsr"));
    }

    void fileErrorTextsAreExact()
    {
        test::ScriptedMessages messages;
        ShowReadError(messages, QStringLiteral("/a/b.tsr"));
        ShowWriteError(messages, QStringLiteral("/a/c.hsc"));
        ShowMissingFileError(messages, QStringLiteral("/a/d.tsr"));
        QCOMPARE(messages.texts(),
                 QStringList({QStringLiteral("Die Datei \"/a/b.tsr\" kann nicht gelesen werden. Mögliche Ursachen:\r\n"
                                             "- Datei existiert nicht\r\n- Ungültiges Dateiformat\r\n"
                                             "- fehlende Lesezugriffsberechtigung im Netzwerk"),
                              QStringLiteral("Die Datei \"/a/c.hsc\" kann nicht geschrieben werden. Mögliche Ursachen:\r\n"
                                             "- Ungültiger Ordner oder Dateiname\r\n"
                                             "- fehlende Schreibzugriffsberechtigung im Netzwerk"),
                              QStringLiteral("Die Datei \"/a/d.tsr\" existiert nicht.")}));
        QVERIFY(messages.shown().at(0).kind == MessageKind::Error);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
