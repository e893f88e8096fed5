#include "network/mailslot.h"

#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/system_info.h"

#include <QHostInfo>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

#include <zlib.h>

namespace kapitolo {

namespace {

constexpr int kMaxNameChars = 255;

// Upper case one character at a time, as the system's upper-casing of a code page does:
// a character without a single upper-case partner in Windows-1252 stays as it is.
QString upperCp1252(const QString &name)
{
    QString result = name;
    for (QChar &c : result) {
        const QChar upper = c.toUpper();
        if (fitsCp1252(QString(upper)))
            c = upper;
    }
    return result;
}

bool isHeaderLine(const QString &line)
{
    return line.size() <= kMaxNameChars && !line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n'));
}

} // namespace

quint16 mailslotPort(const QString &name)
{
    const QByteArray bytes = toCp1252(upperCp1252(name));
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size()));
    return quint16(40000 + crc % 20000);
}

QHostAddress resolveComputer(const QString &computer)
{
    const QString name = computer.trimmed();
    if (name.isEmpty())
        return {};
    if (name == QLatin1String("."))
        return QHostAddress(QHostAddress::LocalHost);
    QHostAddress literal;
    if (literal.setAddress(name))
        return literal.protocol() == QAbstractSocket::IPv4Protocol ? literal : QHostAddress();
    auto lookUp = [](const QString &host) {
        const QHostInfo info = QHostInfo::fromName(host);
        for (const QHostAddress &address : info.addresses())
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                return address;
        return QHostAddress();
    };
    QHostAddress address = lookUp(name);
    // Linux desktops without a school DNS find each other by mDNS, which answers only for
    // names in ".local".
    if (address.isNull() && !name.contains(QLatin1Char('.')))
        address = lookUp(name + QStringLiteral(".local"));
    return address;
}

MailslotHost MailslotHost::system()
{
    MailslotHost host;
    host.computerName = kapitolo::computerName();
    host.userName = kapitolo::userName();
    return host;
}

QByteArray encodeMailslotMessage(const QString &userName, const QString &computer, const QStringList &lines)
{
    QString text = QStringLiteral("Message\r\n") + userName + QStringLiteral("\r\n") + computer + QStringLiteral("\r\n");
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return toCp1252(text);
}

bool decodeMailslotMessage(const QByteArray &datagram, MailslotMessage &message)
{
    QString header[3];
    qsizetype pos = 0;
    for (QString &line : header) {
        const qsizetype end = datagram.indexOf("\r\n", pos);
        if (end < 0)
            return false;
        line = fromCp1252(datagram.constData() + pos, end - pos);
        if (!isHeaderLine(line))
            return false;
        pos = end + 2;
    }
    if (header[0] != QLatin1String("Message"))
        return false;
    message.userName = header[1];
    message.computer = header[2];
    message.text = fromCp1252(datagram.constData() + pos, datagram.size() - pos);
    return true;
}

TALMailSlot2::TALMailSlot2(Messages &messages, QObject *owner)
    : TALMailSlot2(messages, MailslotHost::system(), owner)
{
}

TALMailSlot2::TALMailSlot2(Messages &messages, MailslotHost host, QObject *owner)
    : QObject(owner)
    , m_messages(messages)
    , m_host(std::move(host))
{
    if (!m_host.resolve)
        m_host.resolve = resolveComputer;
    m_checkTimer = new QTimer(this);
    connect(m_checkTimer, &QTimer::timeout, this, &TALMailSlot2::ReadMessages);
}

TALMailSlot2::~TALMailSlot2()
{
    closeSlot();
}

void TALMailSlot2::setMailBox(const QString &name)
{
    if (name == m_mailBox)
        return;
    if (name.size() > kMaxNameLength) {
        m_messages.show(MessageKind::Warning, QStringLiteral("MailBox name cannot be greater than 8 characters long."),
                        MessageButtons::Ok);
        return;
    }
    m_mailBox = name;
    if (Active()) {
        setActive(false);
        setActive(true);
    }
}

void TALMailSlot2::setActive(bool active)
{
    if (active == Active())
        return;
    if (active)
        OpenSlot();
    else
        closeSlot();
}

void TALMailSlot2::setCheckInterval(qint32 milliseconds)
{
    m_checkInterval = qMax(0, milliseconds);
    if (Active())
        restartTimer();
}

void TALMailSlot2::restartTimer()
{
    // Below a second the interval itself; from a second on whole seconds, rounded up, as
    // the polling of the component always did. The socket's own signal is faster anyway.
    const int interval = m_checkInterval < 1000 ? qMax(10, m_checkInterval) : (m_checkInterval + 999) / 1000 * 1000;
    m_checkTimer->start(interval);
}

bool TALMailSlot2::OpenSlot()
{
    auto *socket = new QUdpSocket(this);
    // No address sharing: neither SO_REUSEADDR nor SO_REUSEPORT, so a second owner of
    // the name on this computer fails to bind, as a second mailslot of a name would.
    if (!socket->bind(m_host.bindAddress, mailslotPort(m_mailBox), QAbstractSocket::DontShareAddress)) {
        delete socket;
        return false;
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &TALMailSlot2::ReadMessages);
    restartTimer();
    ReadMessages(); // the first check follows the activation at once
    return true;
}

void TALMailSlot2::closeSlot()
{
    m_checkTimer->stop();
    if (!m_socket)
        return;
    QUdpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->close(); // frees the port at once
    // The socket may be the sender of the signal whose handler deactivates us.
    socket->deleteLater();
}

int TALMailSlot2::receiveBufferSize() const
{
    return m_socket ? m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() : 0;
}

qintptr TALMailSlot2::socketDescriptor() const
{
    return m_socket ? m_socket->socketDescriptor() : -1;
}

void TALMailSlot2::ReadMessages()
{
    // A handler that opens a message box runs a nested event loop: what arrives meanwhile
    // waits in the socket until this handler has returned, so messages never overtake.
    if (m_delivering)
        return;
    m_delivering = true;
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const qint64 size = qMax<qint64>(0, m_socket->pendingDatagramSize());
        QByteArray datagram(size, Qt::Uninitialized);
        const qint64 read = m_socket->readDatagram(datagram.data(), size);
        if (read < 0)
            break;
        datagram.truncate(read);
        MailslotMessage message;
        if (!decodeMailslotMessage(datagram, message) || !OnNewMessage) {
            ++m_dropped;
            continue;
        }
        m_receiveList = message.text.split(QStringLiteral("\r\n"));
        if (!m_receiveList.isEmpty() && m_receiveList.last().isEmpty())
            m_receiveList.removeLast();
        OnNewMessage(this, message.computer, message.userName, message.text);
    }
    m_delivering = false;
}

QHostAddress TALMailSlot2::lookUp(const QString &computer)
{
    const QString key = computer.trimmed().toLower();
    const auto known = m_resolved.constFind(key);
    if (known != m_resolved.constEnd())
        return *known;
    const QHostAddress address = m_host.resolve(computer);
    // Only names that were found are remembered: a computer that starts later is tried again.
    if (!address.isNull())
        m_resolved.insert(key, address);
    return address;
}

bool TALMailSlot2::canReach(const QString &computer)
{
    return !lookUp(computer).isNull();
}

bool TALMailSlot2::SendLines(const QString &computer, const QStringList &lines)
{
    m_sendList = lines;
    m_sendList.prepend(m_host.computerName);
    m_sendList.prepend(m_host.userName);
    m_sendList.prepend(QStringLiteral("Message"));
    return SendRaw(computer);
}

bool TALMailSlot2::SendRaw(const QString &computer)
{
    const QHostAddress address = lookUp(computer);
    if (address.isNull())
        return false;
    QString text;
    for (const QString &line : std::as_const(m_sendList))
        text += line + QStringLiteral("\r\n");
    const QByteArray datagram = toCp1252(text);
    if (!m_sender)
        m_sender = new QUdpSocket(this);
    return m_sender->writeDatagram(datagram, address, mailslotPort(m_mailBox)) == datagram.size();
}

} // namespace kapitolo
