#include "web/web_participation.h"

#include "network/network_quiz.h"
#include "platform/messages.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include <qrencode.h>

#include <utility>

namespace kapitolo {

QString webSettingsProblem(const QString &port, const QString &code)
{
    bool ok = false;
    const int value = port.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return QStringLiteral("Der Port muss eine Zahl von 1 bis 65535 sein.");
    if (!code.isEmpty() && !WebClassroom::isValidCode(code))
        return QStringLiteral("Der feste Code muss aus 4 bis 8 Ziffern bestehen oder leer bleiben (dann gilt für jede "
                              "Übung ein neuer Code).");
    return {};
}

QImage qrCodeImage(const QString &text, int scale)
{
    const QByteArray bytes = text.toUtf8();
    QRcode *code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code)
        return {};
    constexpr int kQuiet = 4;
    const int modules = code->width + 2 * kQuiet;
    QImage image(modules * scale, modules * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        image.setPixel((x + kQuiet) * scale + dx, (y + kQuiet) * scale + dy, qRgb(0, 0, 0));
    QRcode_free(code);
    return image;
}

WebLimits webLimitsFor(const WebSettings &settings)
{
    WebLimits limits;
    limits.sessionsPerDevice = qMax(0, settings.sessionsPerDevice);
    if (limits.sessionsPerDevice == 0)
        limits.connections.perAddress = 0;
    return limits;
}

WebParticipation::WebParticipation(NetworkQuiz &network, Clock &clock, Messages &messages,
                                   std::function<WebSettings()> settings, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_messages(messages)
    , m_settings(std::move(settings))
    , m_classroom(clock)
    , m_computerName(QHostInfo::localHostName())
{
    m_classroom.setReportSink([this](const QString &computer, const QString &user, const QString &text) {
        m_network.MasterMailslotNewMessage(computer, user, text);
    });
    m_classroom.setJournalSink([this](const QJsonObject &record, bool sync) { m_network.journalBrowser(record, sync); });
    m_classroom.setDiscardSink([this] { m_network.board().countDiscarded(); });
    connect(&m_network, &NetworkQuiz::exerciseStarted, this, &WebParticipation::start);
    connect(&m_network, &NetworkQuiz::exerciseEnding, this, &WebParticipation::stop);
    connect(&m_classroom, &WebClassroom::sessionsChanged, this, &WebParticipation::changed);
    connect(&m_classroom, &WebClassroom::note, this, [this](const QString &text) {
        m_lastNote = text;
        Q_EMIT changed();
    });
    connect(&m_network, &NetworkQuiz::participantRemoved, this,
            [this](const QString &key) { m_classroom.removeParticipant(key); });
    // The projector counts every pupil who joined.
    connect(&m_network, &NetworkQuiz::reportHandled, this, [this] {
        if (std::exchange(m_joined, joinedCount()) != m_joined)
            Q_EMIT changed();
    });
}

int WebParticipation::joinedCount() const
{
    return m_network.board().joinedCount();
}

void WebParticipation::start(const QList<QJsonObject> &records)
{
    m_classroom.stop();
    const WebSettings settings = m_settings();
    // An exercise taken up again keeps the code its pupils know, and the way in it had.
    QString code;
    bool hadBrowsers = false;
    for (const QJsonObject &r : records)
        if (r.value(QStringLiteral("t")).toString() == QLatin1String("start")) {
            code = r.value(QStringLiteral("code")).toString();
            hadBrowsers = true;
        }
    if (!settings.enabled && !hadBrowsers) {
        Q_EMIT changed();
        return;
    }
    if (code.isEmpty())
        code = settings.code.isEmpty() ? WebClassroom::randomCode() : settings.code;
    m_classroom.setExercise(m_network.exerciseDocument(), m_network.exerciseOptions());
    m_classroom.setLimits(webLimitsFor(settings));
    m_classroom.setCode(code);
    m_lastNote.clear();
    if (!m_classroom.listen(quint16(settings.port))) {
        m_messages.error(QStringLiteral("Die Teilnahme im Browser ist nicht möglich: Der Port %1 wird auf diesem "
                                        "Rechner bereits von einem anderen Programm verwendet.\r\nDie Netzwerk-Übung "
                                        "läuft ohne Teilnahme im Browser. Wählen Sie unter \"Optionen | "
                                        "Netzwerk-Kommunikation\" einen anderen Port.")
                             .arg(settings.port));
        Q_EMIT changed();
        return;
    }
    if (records.isEmpty()) {
        QJsonObject r;
        r[QStringLiteral("t")] = QStringLiteral("start");
        r[QStringLiteral("code")] = code;
        m_network.journalBrowser(r, true);
    } else {
        m_classroom.restore(records);
    }
    Q_EMIT changed();
}

void WebParticipation::stop()
{
    m_classroom.stop();
    Q_EMIT changed();
}

QStringList WebParticipation::addresses() const
{
    const QString port = QString::number(m_classroom.port());
    QStringList list;
    if (!m_computerName.isEmpty())
        list << QStringLiteral("http://") + m_computerName + QLatin1Char(':') + port + QLatin1Char('/');
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            list << QStringLiteral("http://") + a.toString() + QLatin1Char(':') + port + QLatin1Char('/');
    if (list.size() < 2)
        list << QStringLiteral("http://127.0.0.1:") + port + QLatin1Char('/');
    return list;
}

} // namespace kapitolo
