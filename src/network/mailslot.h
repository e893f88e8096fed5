#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;
class QUdpSocket;

namespace kapitolo {

class Messages;

// The UDP port of a mailslot name: 40000 + zlib crc32 of the upper-cased name as
// Windows-1252 bytes, mod 20000. Every build and every tool maps names this way.
quint16 mailslotPort(const QString &name);

// The system resolver: "." is this computer; a name goes through the hosts file, DNS or
// mDNS (a plain name also as name + ".local"); an IPv4 literal stands for itself. The
// first IPv4 address, null when none.
QHostAddress resolveComputer(const QString &computer);

// Who this computer is on the network: the names the messages carry, the address a
// receiver binds, and how other computers are found. The program takes the system's;
// tests give several "computers" on one machine loopback addresses of their own.
struct MailslotHost {
    QString computerName;
    QString userName;
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    std::function<QHostAddress(const QString &computer)> resolve = resolveComputer;

    static MailslotHost system();
};

// The bytes of one message: "Message", user, computer, then the lines, each ended by
// CR LF, in Windows-1252. Nothing else travels.
QByteArray encodeMailslotMessage(const QString &userName, const QString &computer, const QStringList &lines);

// A received datagram. False (dropped) unless it starts with three header lines ended by
// CR LF, the first exactly "Message"; names longer than 255 characters are not names.
// The text keeps the CR LF after each payload line.
struct MailslotMessage {
    QString computer;
    QString userName;
    QString text;
};
bool decodeMailslotMessage(const QByteArray &datagram, MailslotMessage &message);


// Short text messages between the computers of a classroom, one datagram each, without
// acknowledgement. As a receiver the instance owns the name on this computer (one owner
// per name: the port is bound without address sharing) and hands every accepted message
// to OnNewMessage in the main thread, one after the other in arrival order. Receiving is
// event-driven; a timer at the check interval drains the socket as well, so the interval
// stays the longest delay.
class TALMailSlot2 : public QObject
{
    Q_OBJECT
public:
    using NewMessage = std::function<void(TALMailSlot2 *sender, const QString &computer, const QString &userName,
                                          const QString &text)>;

    static constexpr int kMaxNameLength = 8;
    // A class that finishes at the same moment must not overflow the kernel's queue.
    static constexpr int kReceiveBufferBytes = 1 << 20;

    explicit TALMailSlot2(Messages &messages, QObject *owner = nullptr);
    TALMailSlot2(Messages &messages, MailslotHost host, QObject *owner = nullptr);
    ~TALMailSlot2() override;

    const QString &MailBox() const { return m_mailBox; }
    // 9 or more characters are refused with a warning; an active instance reopens under
    // the new name.
    void setMailBox(const QString &name);

    bool Active() const { return m_socket != nullptr; }
    // True binds the port (a failed bind leaves the instance inactive, silently).
    void setActive(bool active);

    qint32 CheckInterval() const { return m_checkInterval; }
    void setCheckInterval(qint32 milliseconds);


    NewMessage OnNewMessage;

    // Puts the three header lines in front of the lines and sends them to the computer.
    // An unknown computer gets nothing; the result says whether a datagram left.
    bool SendLines(const QString &computer, const QStringList &lines);
    // Sends the send list as it stands.
    bool SendRaw(const QString &computer);
    const QStringList &receiveList() const { return m_receiveList; }

    // True when the computer's name can be resolved (remembered once it could).
    bool canReach(const QString &computer);

    const MailslotHost &host() const { return m_host; }
    const QString &localComputerName() const { return m_host.computerName; }
    // The receive buffer the system granted, 0 while inactive.
    int receiveBufferSize() const;
    // The bound socket, -1 while inactive (for checks of its options).
    qintptr socketDescriptor() const;
    // Messages that arrived but were not accepted (foreign header, no handler).
    int droppedMessages() const { return m_dropped; }

    // Reads and hands on every waiting message; also the work of the check timer.
    void ReadMessages();

private:
    bool OpenSlot();
    void closeSlot();
    void restartTimer();
    QHostAddress lookUp(const QString &computer);

    Messages &m_messages;
    MailslotHost m_host;
    QString m_mailBox = QStringLiteral("MailBox");
    qint32 m_checkInterval = 1000;
    QStringList m_sendList;
    QStringList m_receiveList;
    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_sender = nullptr;
    QTimer *m_checkTimer = nullptr;
    QHash<QString, QHostAddress> m_resolved;
    bool m_delivering = false;
    int m_dropped = 0;
};

} // namespace kapitolo
