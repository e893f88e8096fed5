#pragma once

// Fakes and rigs of the network tests: a class of "computers" on one machine, each on a
// loopback address of its own, and channels of their own so that parallel runs never meet.

#include "document/document_file.h"
#include "network/exchange_files.h"
#include "network/mailslot.h"
#include "network/network_quiz.h"
#include "platform/random.h"
#include "quiz/quiz_engine.h"
#include "quiz/quiz_feedback.h"
#include "support/scripted_messages.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <functional>

namespace kapitolo::test {

// A channel name whose port is free on this machine right now.
inline QString freeChannel()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (;;) {
        QString name = QStringLiteral("T");
        for (int i = 0; i < 7; ++i)
            name += QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]);
        QUdpSocket probe;
        if (probe.bind(QHostAddress::AnyIPv4, mailslotPort(name), QAbstractSocket::DontShareAddress))
            return name;
    }
}

// A computer of the test class: its names, its loopback address, and a resolver that
// knows the teacher's computer "LEHRER" at 127.0.0.2.
inline MailslotHost testHost(const QString &computer, const QString &user, const QString &address)
{
    MailslotHost host;
    host.computerName = computer;
    host.userName = user;
    host.bindAddress = QHostAddress(address);
    host.resolve = [](const QString &name) {
        if (name == QLatin1String("LEHRER"))
            return QHostAddress(QStringLiteral("127.0.0.2"));
        return QHostAddress();
    };
    return host;
}

// Messages that can look at the world while a box is open.
class WatchingMessages : public ScriptedMessages
{
public:
    MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons) override
    {
        if (onShow)
            onShow(text);
        return ScriptedMessages::show(kind, text, buttons);
    }
    std::function<void(const QString &)> onShow;
};

// The teacher's port read directly: loopback datagrams are in the socket as soon as
// the send returns, so the reports of a step can be taken without an event loop.
class RawTeacher
{
public:
    explicit RawTeacher(const QString &channel)
    {
        bound = socket.bind(QHostAddress(QStringLiteral("127.0.0.2")), mailslotPort(channel),
                            QAbstractSocket::DontShareAddress);
    }
    // The payload lines of every report waiting, each report one list.
    QList<QStringList> take()
    {
        QList<QStringList> reports;
        while (socket.hasPendingDatagrams()) {
            QByteArray bytes(socket.pendingDatagramSize(), Qt::Uninitialized);
            bytes.truncate(socket.readDatagram(bytes.data(), bytes.size()));
            MailslotMessage message;
            if (!decodeMailslotMessage(bytes, message)) {
                reports.append(QStringList{QStringLiteral("<undecodable>")});
                continue;
            }
            QStringList lines = message.text.split(QStringLiteral("\r\n"));
            lines.removeLast();
            lines.prepend(message.computer); // header computer first, then the payload
            reports.append(lines);
        }
        return reports;
    }
    QUdpSocket socket;
    bool bound = false;
};

// The window's part of a quiz, just enough for the engine: each verdict shown with the
// pauses the desktop makes, on the fake clock, then the quiz goes on.
class PlainQuizFrontend : public QuizFrontend
{
public:
    QuizEngine *engine = nullptr;
    Clock *clock = nullptr;
    QList<QuizFinishedChoice> choices;
    int finishedDialogs = 0;
    int leftQuizView = 0;

    bool askParticipantName(QString &) override { return true; }
    void quizStarted() override {}
    void questionChanged() override {}
    void verdictGiven(const QuizVerdict &verdict) override
    {
        for (const FeedbackStep &step : feedbackSteps(verdict, engine->singleQuestions(), engine->options().queryMode,
                                                      engine->options().onFailed, engine->correctTile()))
            if (step.kind == FeedbackStep::Pause)
                clock->busyWait(step.milliseconds, true);
        engine->proceed();
    }
    void statusChanged() override {}
    bool quizEnded(bool) override { return false; }
    QuizFinishedChoice askHowToGoOn(const QuizFinishedInfo &) override
    {
        ++finishedDialogs;
        return choices.isEmpty() ? QuizFinishedChoice{} : choices.takeFirst();
    }
    void quizLeft() override { ++leftQuizView; }
};

// The main window's part of the network quiz.
class FakeNetworkFrontend : public NetworkQuizFrontend
{
public:
    QString folder;
    QString channelName;
    QString protocols;
    bool editorOpen = false;
    bool acceptOptions = true;
    QuizOptions options;
    QStringList events;
    TopicDocument *document = nullptr;
    TopicNavigation navigation;
    Messages *messages = nullptr;

    QString communicationFolder() const override { return folder; }
    QString channel() const override { return channelName; }
    QString protocolFolder() const override { return protocols; }
    bool labelEditorOpen() const override { return editorOpen; }
    bool askNetworkOptions(qint32, QuizOptions &o) override
    {
        events << QStringLiteral("options");
        o = options;
        return acceptOptions;
    }
    bool openExchangeDocument(const QString &path) override
    {
        events << QStringLiteral("open");
        return readDocument(path, *document, navigation, *messages) == ReadResult::Ok;
    }
    void closeExchangeDocument() override
    {
        events << QStringLiteral("close");
        document->close(navigation);
    }
    void clearBestList() override { events << QStringLiteral("clearBestList"); }
    void showControlDisplay() override { events << QStringLiteral("controlDisplay"); }
    void networkStateChanged() override {}
};

// One instance of the program, reduced to document, engine and network quiz.
struct Station {
    TopicDocument doc;
    WatchingMessages messages;
    FakeClock clock;
    Random random{7};
    PlainQuizFrontend quizFrontend;
    FakeNetworkFrontend netFrontend;
    QuizEngine engine{doc, messages, clock, random, quizFrontend};
    std::unique_ptr<NetworkQuiz> network;

    Station(const QString &folder, const QString &channel, const MailslotHost &host)
    {
        quizFrontend.engine = &engine;
        quizFrontend.clock = &clock;
        engine.setNameEntryEnabled(false);
        engine.setAutoBestListEntry(false);
        netFrontend.folder = folder;
        netFrontend.channelName = channel;
        netFrontend.protocols = folder + QStringLiteral("protokolle/");
        netFrontend.document = &doc;
        netFrontend.messages = &messages;
        network = std::make_unique<NetworkQuiz>(doc, engine, messages, clock, netFrontend, host);
    }

    // Answers the question of the tile's caption on the object that carries `target`.
    void drop(const QString &tile, const QString &target)
    {
        int pair = -1;
        for (int p = 0; p < engine.run().quizList.size(); ++p)
            if (doc.objects.at(engine.run().quizList.at(p).tileObject).Cap == tile && engine.tileInPlay(p))
                pair = p;
        int object = -1;
        for (int i = 0; i < doc.objects.size(); ++i)
            if (doc.objects.at(i).Cap == target && markOf(engine.run().marks, i).coverState == csOpenQuestion)
                object = i;
        engine.evaluate(pair, object);
    }
};

} // namespace kapitolo::test
