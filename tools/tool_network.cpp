// kapitolo-tool's network commands: see whether reports reach a computer, send one by
// hand, and read an exercise's option file.

#include "tool_network.h"

#include "network/exchange_files.h"
#include "network/mailslot.h"
#include "tool_common.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

using namespace kapitolo;

namespace {

void printJsonLine(const QJsonObject &object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

int usageError(const QString &text)
{
    printErr(text);
    printErr(QStringLiteral("Aufruf: kapitolo-tool mailslot listen NAME [--count N] [--timeout SEKUNDEN]\n"
                            "       kapitolo-tool mailslot send RECHNER NAME [ZEILE...]\n"
                            "       kapitolo-tool options DATEI.dat"));
    return 2;
}

int listen(const QStringList &args)
{
    if (args.isEmpty())
        return usageError(QStringLiteral("Der Name des Postfachs fehlt."));
    const QString name = args.first();
    qint64 count = -1;
    double timeout = -1;
    for (qsizetype i = 1; i < args.size(); ++i) {
        bool ok = i + 1 < args.size();
        if (args.at(i) == QLatin1String("--count") && ok) {
            count = args.at(++i).toLongLong(&ok);
            ok = ok && count > 0;
        } else if (args.at(i) == QLatin1String("--timeout") && ok) {
            timeout = args.at(++i).toDouble(&ok);
            ok = ok && timeout >= 0;
        } else {
            ok = false;
        }
        if (!ok)
            return usageError(QStringLiteral("Ungültige Angabe bei ") + args.at(i));
    }
    StderrMessages messages;
    TALMailSlot2 slot(messages);
    slot.setMailBox(name);
    if (slot.MailBox() != name)
        return 1;
    slot.setActive(true);
    if (!slot.Active()) {
        printErr(QStringLiteral("Das Postfach \"%1\" (UDP-Port %2) kann nicht belegt werden: Auf diesem Rechner "
                                "empfängt bereits ein anderes Programm unter diesem Namen.")
                     .arg(name)
                     .arg(mailslotPort(name)));
        return 1;
    }
    printErr(QStringLiteral("Empfange Meldungen an das Postfach \"%1\" auf UDP-Port %2.").arg(name).arg(mailslotPort(name)));
    qint64 received = 0;
    slot.OnNewMessage = [&](TALMailSlot2 *, const QString &computer, const QString &user, const QString &text) {
        printJsonLine(QJsonObject{{QStringLiteral("computer"), computer},
                                  {QStringLiteral("user"), user},
                                  {QStringLiteral("text"), text}});
        if (++received == count)
            QCoreApplication::quit();
    };
    if (timeout >= 0)
        QTimer::singleShot(int(qMin(timeout * 1000.0, 2e9)), qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    return 0;
}

int send(const QStringList &args)
{
    if (args.size() < 2)
        return usageError(QStringLiteral("Rechner und Name des Postfachs fehlen."));
    StderrMessages messages;
    TALMailSlot2 slot(messages);
    slot.setMailBox(args.at(1));
    if (slot.MailBox() != args.at(1))
        return 1;
    if (!slot.SendLines(args.at(0), args.mid(2))) {
        printErr(QStringLiteral("Der Rechner \"") + args.at(0) + QStringLiteral("\" wurde nicht gefunden; es wurde "
                                                                               "nichts gesendet."));
        return 1;
    }
    return 0;
}

} // namespace

int cmdMailslot(const QStringList &args)
{
    if (args.isEmpty())
        return usageError(QStringLiteral("listen oder send fehlt."));
    if (args.first() == QLatin1String("listen"))
        return listen(args.mid(1));
    if (args.first() == QLatin1String("send"))
        return send(args.mid(1));
    return usageError(QStringLiteral("Unbekannter Befehl ") + args.first());
}

int cmdOptions(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("Genau eine Optionsdatei angeben."));
    NetworkOptionFile file;
    if (!readOptionFile(args.first(), file)) {
        printErr(optionFileReadErrorText(args.first()));
        return 1;
    }
    printJsonLine(QJsonObject{{QStringLiteral("identification"), file.identification},
                              {QStringLiteral("fieldList"), file.fieldList},
                              {QStringLiteral("initiator"), file.initiator},
                              {QStringLiteral("RiFaRueckmeldung"), file.feedbackAtEnd},
                              {QStringLiteral("ZuordnungRichtig"), file.onCorrect},
                              {QStringLiteral("ZuordnungFalsch"), file.onFailed},
                              {QStringLiteral("Zuordnungstexte"), file.tileOrder},
                              {QStringLiteral("Zuordnungsziele"), file.positionOrder},
                              {QStringLiteral("AbfrageModus"), file.queryMode},
                              {QStringLiteral("ZeitLimit"), file.timeLimitOn},
                              {QStringLiteral("ZeitLimitWert"), file.timeLimitSeconds}});
    return 0;
}
