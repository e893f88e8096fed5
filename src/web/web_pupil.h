#pragma once

#include "document/topic_document.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/random.h"
#include "quiz/quiz_engine.h"
#include "view/view_state.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kapitolo {

// The clock of one browser pupil's quiz: the teacher's tick count moved by an offset, so
// that a quiz rebuilt from the journal keeps its elapsed time; a fixed tick while it is
// rebuilt. Its busy wait returns at once: the pauses that let a pupil at the teacher's
// computer see a verdict are the browser's business, and the server must not stand still.
class PupilClock : public Clock
{
public:
    explicit PupilClock(Clock &base) : m_base(base) {}
    quint32 tickCount() override { return m_fixed ? *m_fixed : quint32(m_base.tickCount() + m_offset); }
    double now() override { return m_base.now(); }
    void busyWait(int, bool) override {}

    void fix(quint32 tick) { m_fixed = tick; }
    // Live again, with the tick count continuing from `tick` now.
    void release(quint32 tick)
    {
        m_fixed.reset();
        m_offset = tick - m_base.tickCount();
    }

private:
    Clock &m_base;
    std::optional<quint32> m_fixed;
    quint32 m_offset = 0;
};

// What a drop, tap or number did.
enum class WebVerdict { Correct, Wrong, Missed, Invalid };
QString webVerdictName(WebVerdict verdict);

// The finished quiz as the browser's result page shows it.
struct WebResult {
    QuizFinishedInfo info;
    qint32 correct = 0;
    qint32 failed = 0;
    qint32 questionCount = 0;
};

// One pupil in a browser: a quiz engine of its own on a copy of the exercise document,
// run in the participant role so that its reports are the ones a Kapitolo participant
// sends. The frontend is plain state the browser receives; tile ids are opaque.
class WebPupil : public QuizFrontend, public QuizNetworkHooks
{
public:
    struct Identity {
        QString token;     // kept by the browser; the pupil's only credential
        QString cardKey;   // in the card image's address, never the token
        QString key;       // the participant key of the reports
        QString name;
        QString address;   // the browser's IPv4 address
        quint64 seed = 0;  // the engine's random numbers: a rebuilt quiz is the same quiz
        double joinedAt = 0;
    };
    // Each report text as a Kapitolo participant would send it, with its header names.
    using ReportSink = std::function<void(const QString &computer, const QString &user, const QString &text)>;

    WebPupil(const TopicDocument &exercise, const QuizOptions &options, const Identity &identity, Clock &clock,
             ReportSink reports);
    ~WebPupil() override;

    const Identity &identity() const { return m_identity; }
    QString computer() const;

    // TN-INIT and the start; false when the document has nothing to ask.
    bool start();
    // Rebuilding from the journal: no reports, the clock fixed at the recorded ticks.
    void setReplaying(bool replaying) { m_replaying = replaying; }
    void fixClock(quint32 elapsedMs);
    void releaseClock(quint32 elapsedMs);

    // A dragged tile released over the card (fractions of the card).
    WebVerdict drop(const QString &tileId, const RectD &rect);
    // A single question's answer tapped.
    WebVerdict tap(const QString &tileId);
    // A tile sent to the target of the typed number (keyboard play).
    WebVerdict dropOnNumber(const QString &tileId, const QString &number);
    // The engine's evaluation of a pair on a target, as the journal records it.
    WebVerdict evaluate(int pair, int hitObject);
    // The pair and target of the last evaluation, for the journal.
    int lastPair() const { return m_lastPair; }
    int lastHit() const { return m_lastHit; }
    quint32 elapsedMs();

    // The quiz clock on the teacher's timer; true when the shown text changed.
    bool tick();
    bool running() const { return m_engine->running(); }
    bool finished() const { return m_result.has_value(); }
    // The teacher ended the exercise: a running quiz is reported as cancelled.
    void cancel();

    // The card for an image of at most that many pixels, as JPEG bytes, and the parts of
    // it that changed since: a change of a few objects sends only their part of the card
    // (a patch the page lays over the card), a new size or a new question the whole card.
    struct CardPatch {
        int version = 0;
        QRect rect; // in pixels of the card
        QByteArray jpeg;
    };
    const QByteArray &cardImage() const { return m_cardImage; }
    QSize cardSize() const { return m_cardSize; }
    int cardVersion() const { return m_cardVersion; }
    int baseVersion() const { return m_baseVersion; }
    const QList<CardPatch> &cardPatches() const { return m_patches; }
    // The bytes of the whole card or of a patch by version; null for one not kept.
    const QByteArray *cardPart(int version) const;
    // The size the browser asks for; the card follows with the next drawing.
    void setViewSize(QSize size);
    QSize viewSize() const { return m_viewSize; }
    qint64 lastEncodeMicroseconds() const { return m_encodeMicroseconds; }

    // Drawing happens away from the teacher's event loop: the pupil hands out what is to
    // be drawn (nothing when the card the browser has is up to date), drawCard() draws it
    // on any thread, and the result is taken back on the pupil's thread. One job of a
    // pupil at a time: its canvas keeps the card as the browser has it.
    struct CardCanvas;
    struct CardJob {
        std::shared_ptr<CardCanvas> canvas;
        bool whole = false;
        QList<DocObject> objects;
        qint32 currentQuestion = 0;
        QuizDisplay display;
        QSize viewSize;
        QList<int> changed;
    };
    struct CardDrawn {
        bool ok = false;
        QByteArray jpeg;
        QRect rect;
        QSize cardSize;
        qint64 encodeMicroseconds = 0;
    };
    std::optional<CardJob> cardJob();
    static CardDrawn drawCard(const CardJob &job);
    void installCard(const CardJob &job, CardDrawn drawn);
    // All three at once, on this thread.
    void renderCard();

    // Everything the browser shows, without anything that gives an answer away.
    QJsonObject state() const;

    const QuizEngine &engine() const { return *m_engine; }
    const TopicDocument &document() const { return m_doc; }
    // The opaque id of a pair's tile; empty for none.
    QString tileId(int pair) const;
    int pairOf(const QString &tileId) const;

    // QuizFrontend
    bool askParticipantName(QString &name) override;
    void enterQuizView() override;
    void leaveQuizView() override;
    void updateModeControls() override {}
    void redrawCard() override;
    void redrawObject(int objectIndex) override;
    void drawPanelBackground() override {}
    bool tileExists(int pair) const override;
    bool isTileVisible(int pair) const override;
    void setTileVisible(int pair, bool visible) override;
    void hideAllTiles() override;
    void arrangeVisibleTiles() override {}
    void setTileColour(int, const QColor &) override {}
    void restoreTileColour(int) override {}
    void removeTile(int pair) override;
    void flyTileHome(int) override {}
    void hideHitFrame() override {}
    void showQuestionCounter(const QString &text) override { m_questionCounter = text; }
    void showStatus(const QuizStatusTexts &) override {}
    void showClock(const QString &text) override;
    void showVerdict(bool) override {}
    void playQuizSound(bool) override {}
    void processPendingEvents() override {}
    void setTimerEnabled(bool enabled) override { m_timerEnabled = enabled; }
    void finishProtocol() override {}
    bool enterBestList() override { return false; }
    QuizFinishedChoice showFinishedDialog(const QuizFinishedInfo &info) override;

    // QuizNetworkHooks
    void answerEvaluated(int hitObject, const DocObject &object) override;
    void quizEnded() override;
    bool repeatParticipation() override { return false; }
    void participationLeft() override {}

private:
    void report(const QStringList &lines);
    QuizDisplay quizDisplay() const;

    TopicDocument m_doc;
    Identity m_identity;
    PupilClock m_clock;
    Random m_random;
    SilentMessages m_messages;
    ReportSink m_reports;
    std::unique_ptr<QuizEngine> m_engine;
    bool m_replaying = false;

    QList<bool> m_exists;
    QList<bool> m_visible;
    QList<QString> m_tileIds;
    QHash<QString, int> m_pairOfId;
    QString m_questionCounter;
    QString m_clockText;
    bool m_timerEnabled = false;
    int m_lastPair = -1;
    int m_lastHit = -1;

    std::optional<WebResult> m_result;
    TopicDocument m_finishedCard; // the card as it stood at the end: the engine clears it

    // The pair of a tile that may be placed on the card now; -1 for none.
    int pairToPlace(const QString &tileId);
    // The one target a tile may go to while one place at a time is asked; -1: any.
    int onlyTarget() const;
    // The boxes of the card the browser shows, laid out without drawing it.
    void ensureLayout();

    QSize m_viewSize{800, 600};
    QSize m_shownViewSize; // the size of the whole card the browser has
    std::shared_ptr<CardCanvas> m_canvas;
    ViewState m_layoutView;
    QSize m_layoutCardSize;
    bool m_layoutValid = false;
    QList<int> m_staleBoxes;
    QByteArray m_cardImage;
    QSize m_cardSize;
    int m_cardVersion = 0;
    int m_baseVersion = 0;
    QList<CardPatch> m_patches;
    qint64 m_patchPixels = 0;
    bool m_fullRedraw = true;
    QList<int> m_changedObjects;
    qint64 m_encodeMicroseconds = 0;
};

// A random text of capital letters and digits from the system's entropy.
QString randomWebText(int length);

} // namespace kapitolo
