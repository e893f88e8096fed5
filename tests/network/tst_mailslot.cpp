#include "network/mailslot.h"
#include "network/network_test_support.h"
#include "support/scripted_messages.h"

#include <QTest>
#include <QUdpSocket>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

struct Received {
    QString computer;
    QString user;
    QString text;
};

// A receiver that records what it is handed.
struct Receiver {
    ScriptedMessages messages;
    TALMailSlot2 slot;
    QList<Received> got;

    explicit Receiver(const QString &name, const MailslotHost &host = testHost("LEHRER", "lehrer", "127.0.0.2"))
        : slot(messages, host)
    {
        slot.setMailBox(name);
        slot.OnNewMessage = [this](TALMailSlot2 *, const QString &c, const QString &u, const QString &t) {
            got.append({c, u, t});
        };
    }
};

QByteArray datagram(const char *bytes)
{
    return QByteArray(bytes);
}

void sendRaw(const QByteArray &bytes, const QString &name, const char *to = "127.0.0.2")
{
    QUdpSocket out;
    QCOMPARE(out.writeDatagram(bytes, QHostAddress(QLatin1String(to)), mailslotPort(name)), qint64(bytes.size()));
}

int intOption(qintptr fd, int option)
{
    int value = -1;
    socklen_t size = sizeof value;
    if (::getsockopt(int(fd), SOL_SOCKET, option, &value, &size) != 0)
        return -1;
    return value;
}

// A socket that asks for address sharing, as another program might.
bool sharingBindSucceeds(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool portFree(quint16 port, const char *address = "127.0.0.2")
{
    QUdpSocket probe;
    return probe.bind(QHostAddress(QLatin1String(address)), port, QAbstractSocket::DontShareAddress);
}

} // namespace

class TestMailslot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portOfName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("port");
        // The two values measured by the platform notes; the case of a name does not matter.
        QTest::newRow("TSR-1") << "TSR-1" << 43185;
        QTest::newRow("tsr-1") << "tsr-1" << 43185;
        QTest::newRow("MailBox") << "MailBox" << 48081;
        QTest::newRow("MAILBOX") << "MAILBOX" << 48081;
    }
    void portOfName()
    {
        QFETCH(QString, name);
        QFETCH(int, port);
        QCOMPARE(int(mailslotPort(name)), port);
        QCOMPARE(mailslotPort(QStringLiteral("Raum-ä")), mailslotPort(QStringLiteral("RAUM-Ä")));
        QVERIFY(mailslotPort(QStringLiteral("Raum-1")) != mailslotPort(QStringLiteral("Raum-2")));
    }

    void wireBytesBothWays()
    {
        const QString name = freeChannel();
        // Sending: exactly the header and the lines, CR LF each, Windows-1252.
        QUdpSocket teacher;
        QVERIFY(teacher.bind(QHostAddress(QStringLiteral("127.0.0.2")), mailslotPort(name)));
        ScriptedMessages messages;
        TALMailSlot2 pupil(messages, testHost(QStringLiteral("PC-07"), QStringLiteral("jürgen"), QStringLiteral("127.0.0.3")));
        pupil.setMailBox(name);
        QVERIFY(!pupil.Active()); // sending needs no receiver of one's own
        QVERIFY(pupil.SendLines(QStringLiteral("LEHRER"),
                                {QStringLiteral("TN-INIT"), QStringLiteral("Preis 5 €"), QString(), QStringLiteral("10:00:00")}));
        QVERIFY(teacher.hasPendingDatagrams());
        QByteArray bytes(teacher.pendingDatagramSize(), Qt::Uninitialized);
        teacher.readDatagram(bytes.data(), bytes.size());
        QCOMPARE(bytes, datagram("Message\r\nj\xfcrgen\r\nPC-07\r\nTN-INIT\r\nPreis 5 \x80\r\n\r\n10:00:00\r\n"));
        teacher.close();

        // Receiving: a datagram made by hand is taken apart into the three parts.
        Receiver r(name);
        r.slot.setActive(true);
        QVERIFY(r.slot.Active());
        sendRaw(datagram("Message\r\nM\xfcller\r\nRAUM-12\r\nTN-FERTIG\r\nABC\r\n"), name);
        QTRY_COMPARE(r.got.size(), 1);
        QCOMPARE(r.got.at(0).user, QStringLiteral("Müller"));
        QCOMPARE(r.got.at(0).computer, QStringLiteral("RAUM-12"));
        QCOMPARE(r.got.at(0).text, QStringLiteral("TN-FERTIG\r\nABC\r\n"));
        QCOMPARE(r.slot.receiveList(), QStringList({QStringLiteral("TN-FERTIG"), QStringLiteral("ABC")}));
    }

    void oneOwnerPerNameAndABigQueue()
    {
        const QString name = freeChannel();
        const quint16 port = mailslotPort(name);
        Receiver first(name, testHost("LEHRER", "lehrer", "0.0.0.0"));
        first.slot.setActive(true);
        QVERIFY(first.slot.Active());
        // Neither address nor port sharing: nobody, however he asks, shares the name.
        QCOMPARE(intOption(first.slot.socketDescriptor(), SO_REUSEADDR), 0);
        QCOMPARE(intOption(first.slot.socketDescriptor(), SO_REUSEPORT), 0);
        QVERIFY(!sharingBindSucceeds(port));
        QVERIFY(first.slot.receiveBufferSize() >= TALMailSlot2::kReceiveBufferBytes);

        Receiver second(name, testHost("LEHRER", "lehrer", "0.0.0.0"));
        second.slot.setActive(true);
        QVERIFY(!second.slot.Active());
        QCOMPARE(second.slot.receiveBufferSize(), 0);
        // Active twice opens nothing new; inactive twice does nothing.
        const qintptr fd = first.slot.socketDescriptor();
        first.slot.setActive(true);
        QCOMPARE(first.slot.socketDescriptor(), fd);
        first.slot.setActive(false);
        first.slot.setActive(false);
        QVERIFY(!first.slot.Active());
        // The name is free at once.
        second.slot.setActive(true);
        QVERIFY(second.slot.Active());
        second.slot.setActive(false);

        // The test seam: two "computers" on their own loopback addresses own the same name.
        Receiver a(name, testHost("PC-A", "a", "127.0.0.4"));
        Receiver b(name, testHost("PC-B", "b", "127.0.0.5"));
        a.slot.setActive(true);
        b.slot.setActive(true);
        QVERIFY(a.slot.Active() && b.slot.Active());
    }

    void acceptedAndDroppedMessages_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("text");
        QTest::newRow("header only") << datagram("Message\r\nu\r\nc\r\n") << true << QString();
        QTest::newRow("payload without line end") << datagram("Message\r\nu\r\nc\r\nTN") << true << QStringLiteral("TN");
        QTest::newRow("letter case") << datagram("message\r\nu\r\nc\r\nTN-INIT\r\n") << false << QString();
        QTest::newRow("blank after") << datagram("Message \r\nu\r\nc\r\n") << false << QString();
        QTest::newRow("two header lines") << datagram("Message\r\nu\r\n") << false << QString();
        QTest::newRow("LF only") << datagram("Message\nu\nc\nTN-INIT\n") << false << QString();
        QTest::newRow("empty datagram") << QByteArray() << false << QString();
        QTest::newRow("overlong computer")
            << (QByteArray("Message\r\nu\r\n") + QByteArray(300, 'C') + QByteArray("\r\n")) << false << QString();
    }
    void acceptedAndDroppedMessages()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, delivered);
        QFETCH(QString, text);
        const QString name = freeChannel();
        Receiver r(name);
        r.slot.setActive(true);
        sendRaw(bytes, name);
        // A sentinel behind it: once it is here, the first datagram has been judged.
        sendRaw(datagram("Message\r\nu\r\nc\r\nENDE\r\n"), name);
        QTRY_VERIFY(!r.got.isEmpty() && r.got.last().text == QLatin1String("ENDE\r\n"));
        QCOMPARE(r.got.size(), delivered ? 2 : 1);
        if (delivered)
            QCOMPARE(r.got.first().text, text);
        QCOMPARE(r.slot.droppedMessages(), delivered ? 0 : 1);

        // Without a handler every message is read and dropped.
        r.slot.OnNewMessage = nullptr;
        sendRaw(datagram("Message\r\nu\r\nc\r\n"), name);
        QTRY_COMPARE(r.slot.droppedMessages(), delivered ? 1 : 2);
    }

    void messagesOneAfterTheOtherInArrivalOrder()
    {
        const QString name = freeChannel();
        ScriptedMessages messages;
        TALMailSlot2 slot(messages, testHost("LEHRER", "lehrer", "127.0.0.2"));
        slot.setMailBox(name);
        slot.setActive(true);
        QStringList got;
        int depth = 0;
        int deepest = 0;
        slot.OnNewMessage = [&](TALMailSlot2 *, const QString &, const QString &, const QString &text) {
            ++depth;
            deepest = qMax(deepest, depth);
            got << text.trimmed();
            // A handler that runs the event loop (as a message box does) while more wait.
            QCoreApplication::processEvents();
            slot.ReadMessages();
            --depth;
        };
        for (int i = 0; i < 50; ++i)
            sendRaw(QByteArray("Message\r\nu\r\nc\r\n") + QByteArray::number(i) + "\r\n", name);
        QTRY_COMPARE(got.size(), 50);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(got.at(i), QString::number(i));
        QCOMPARE(deepest, 1);
    }

    void namesOfEightAndNineCharacters()
    {
        ScriptedMessages messages;
        TALMailSlot2 slot(messages, testHost("LEHRER", "lehrer", "127.0.0.2"));
        QCOMPARE(slot.MailBox(), QStringLiteral("MailBox"));
        QCOMPARE(slot.CheckInterval(), 1000);
        const QString eight = freeChannel();
        slot.setMailBox(eight);
        QCOMPARE(slot.MailBox(), eight);
        QVERIFY(!slot.Active()); // storing a name opens nothing
        QVERIFY(portFree(mailslotPort(eight)));
        slot.setMailBox(eight + QLatin1Char('X'));
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("MailBox name cannot be greater than 8 characters long.")});
        QCOMPARE(messages.shown().first().kind, MessageKind::Warning);
        QCOMPARE(slot.MailBox(), eight);
    }

    void renamingWhileActiveReopens()
    {
        const QString oldName = freeChannel();
        const QString newName = freeChannel();
        Receiver r(oldName);
        r.slot.setActive(true);
        QVERIFY(!portFree(mailslotPort(oldName)));
        r.slot.setMailBox(newName);
        QVERIFY(r.slot.Active());
        QVERIFY(portFree(mailslotPort(oldName)));
        QVERIFY(!portFree(mailslotPort(newName)));
        sendRaw(datagram("Message\r\nu\r\nc\r\nneu\r\n"), newName);
        QTRY_COMPARE(r.got.size(), 1);
    }

    void unknownComputersGetNothing()
    {
        ScriptedMessages messages;
        TALMailSlot2 slot(messages, testHost("PC-1", "u", "127.0.0.3"));
        QVERIFY(!slot.canReach(QStringLiteral("NIRGENDWO")));
        QVERIFY(!slot.SendLines(QStringLiteral("NIRGENDWO"), {QStringLiteral("x")}));
        QVERIFY(slot.canReach(QStringLiteral("LEHRER")));
        // The system resolver: "." is this computer, literals stand for themselves.
        QCOMPARE(resolveComputer(QStringLiteral(".")), QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(resolveComputer(QStringLiteral("127.0.0.9")), QHostAddress(QStringLiteral("127.0.0.9")));
        QVERIFY(resolveComputer(QStringLiteral("localhost")).isLoopback());
        QVERIFY(resolveComputer(QString()).isNull());
        QVERIFY(resolveComputer(QStringLiteral("kein-rechner.invalid")).isNull());
    }
};

QTEST_GUILESS_MAIN(TestMailslot)
#include "tst_mailslot.moc"
