#include "web/web_pupil.h"

#include "network/network_reports.h"
#include "quiz/tile_layout.h"
#include "view/card_renderer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QMutex>
#include <QRandomGenerator>

#include <cmath>
#include <utility>

namespace kapitolo {

namespace {

// The card of a browser: the whole card at zoom 1, for a host that shows nothing.
class OffscreenQuizHost : public NullLearningViewHost
{
public:
    explicit OffscreenQuizHost(const QuizDisplay &display) : m_display(display) {}
    QuizDisplay quizDisplay() const override { return m_display; }

private:
    QuizDisplay m_display;
};

// A card beyond this is only bytes on the school's network; a phone gets what it shows.
constexpr int kMaxCardWidth = 1600;
constexpr int kMaxCardHeight = 1200;
constexpr int kMinCardSide = 120;
constexpr int kCardQuality = 88;
// A patch covers whole blocks of the card's JPEG (16 pixels with the colour subsampling),
// so that no block is half old and half new.
constexpr int kPatchGrid = 16;
// Beyond so many patches, or patches larger than the card together, the whole card is
// sent again: the page then stacks no more images than it needs.
constexpr int kMaxPatches = 48;

QByteArray encodeJpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // JPEG: a map card in PNG is a megabyte on a tablet's Wi-Fi and takes longer to
    // compress than to draw; at this quality the labels stay sharp enough to read.
    image.save(&buffer, "JPEG", kCardQuality);
    return bytes;
}

// The scaled base picture is the same for every pupil of an exercise at one card size:
// the pupils keep one copy of it between them, not one each. A picture no pupil holds any
// more (a size left, an exercise ended) is let go.
QImage sharedBackground(const QImage &background)
{
    static QMutex mutex;
    static QList<QImage> kept;
    const QMutexLocker lock(&mutex);
    kept.removeIf([](const QImage &image) { return image.isDetached(); });
    for (const QImage &image : std::as_const(kept))
        if (image.size() == background.size() && image == background)
            return image;
    if (kept.size() >= 8)
        kept.removeFirst();
    kept.append(background);
    return background;
}

} // namespace

QString webVerdictName(WebVerdict verdict)
{
    switch (verdict) {
    case WebVerdict::Correct: return QStringLiteral("richtig");
    case WebVerdict::Wrong: return QStringLiteral("falsch");
    case WebVerdict::Missed: return QStringLiteral("daneben");
    case WebVerdict::Invalid: return QStringLiteral("ungueltig");
    }
    return {};
}

QString randomWebText(int length)
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QRandomGenerator *entropy = QRandomGenerator::system();
    QString text(length, Qt::Uninitialized);
    for (QChar &c : text)
        c = QLatin1Char(alphabet[entropy->bounded(int(sizeof alphabet - 1))]);
    return text;
}

namespace {

// A tile's id: opaque to the browser, which never learns the seed, and the same for a
// session rebuilt from the journal, so that an answer in flight while the teacher's
// program restarted still names its tile.
QString tileIdFor(const WebPupil::Identity &identity, int pair, int salt)
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(identity.seed));
    hash.addData(identity.token.toUtf8());
    hash.addData(QByteArray(QByteArray::number(pair) + ':' + QByteArray::number(salt)));
    const QByteArray digest = hash.result();
    QString id(12, Qt::Uninitialized);
    for (int i = 0; i < id.size(); ++i)
        id[i] = QLatin1Char(alphabet[quint8(digest.at(i)) % (sizeof alphabet - 1)]);
    return id;
}

} // namespace

WebPupil::WebPupil(const TopicDocument &exercise, const QuizOptions &options, const Identity &identity, Clock &clock,
                   ReportSink reports)
    : m_doc(exercise)
    , m_identity(identity)
    , m_clock(clock)
    , m_random(identity.seed)
    , m_reports(std::move(reports))
{
    m_engine = std::make_unique<QuizEngine>(m_doc, m_messages, m_clock, m_random, *this);
    m_engine->setNameEntryEnabled(false);
    m_engine->setAutoBestListEntry(false);
    m_engine->setNetworkHooks(this);
    m_engine->setOptions(options);
}

WebPupil::~WebPupil()
{
    m_engine->setNetworkHooks(nullptr);
}

QString WebPupil::computer() const
{
    return QStringLiteral("Browser ") + m_identity.address;
}

void WebPupil::report(const QStringList &lines)
{
    if (m_replaying || !m_reports)
        return;
    m_reports(computer(), m_identity.name, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

bool WebPupil::start()
{
    m_engine->run().startTime = m_identity.joinedAt;
    m_engine->run().endTime = 0;
    report(initReportLines(m_identity.key, m_identity.name, m_identity.joinedAt));
    if (!m_engine->StartQuiz(0, nrParticipant)) {
        report(finishReportLines(m_identity.key, esCancelled, clockText(0)));
        return false;
    }
    m_engine->run().participantName = m_identity.name;
    m_engine->RefreshQuizStatus();
    return true;
}

void WebPupil::fixClock(quint32 elapsedMs)
{
    m_clock.fix(m_engine->run().startTick + elapsedMs);
}

void WebPupil::releaseClock(quint32 elapsedMs)
{
    m_clock.release(m_engine->run().startTick + elapsedMs);
}

quint32 WebPupil::elapsedMs()
{
    return m_clock.tickCount() - m_engine->run().startTick;
}

QString WebPupil::tileId(int pair) const
{
    return pair >= 0 && pair < m_tileIds.size() ? m_tileIds.at(pair) : QString();
}

int WebPupil::pairOf(const QString &tileId) const
{
    return m_pairOfId.value(tileId, -1);
}

WebVerdict WebPupil::evaluate(int pair, int hitObject)
{
    if (!m_engine->running() || !isTileVisible(pair) || hitObject < 0 || hitObject >= m_doc.objects.size())
        return WebVerdict::Invalid;
    const qint32 correctBefore = m_engine->score().correctCount;
    const qint32 failedBefore = m_engine->score().failedCount;
    m_lastPair = pair;
    m_lastHit = hitObject;
    m_engine->setHitObject(hitObject);
    m_engine->EvaluateAnswer(pair);
    if (m_engine->score().correctCount > correctBefore)
        return WebVerdict::Correct;
    if (m_engine->score().failedCount > failedBefore)
        return WebVerdict::Wrong;
    return WebVerdict::Invalid;
}

int WebPupil::pairToPlace(const QString &tileId)
{
    // The targets' boxes on the card the browser shows.
    ensureLayout();
    const int pair = pairOf(tileId);
    if (!m_engine->running() || !isTileVisible(pair) || m_doc.DokTyp == dtSingleQuestions)
        return -1;
    return pair;
}

int WebPupil::onlyTarget() const
{
    return m_engine->options().queryMode == 2 ? m_engine->askedObject() : -1;
}

WebVerdict WebPupil::drop(const QString &tileId, const RectD &rect)
{
    const int pair = pairToPlace(tileId);
    if (pair < 0)
        return WebVerdict::Invalid;
    // The same question the desktop asks of a tile released over its card.
    const int hit = quizHitTest(m_doc, rect, m_engine->run().currentQuestionNo, onlyTarget());
    if (hit < 0)
        return WebVerdict::Missed;
    return evaluate(pair, hit);
}

WebVerdict WebPupil::tap(const QString &tileId)
{
    const int pair = pairOf(tileId);
    if (!m_engine->running() || !isTileVisible(pair) || m_doc.DokTyp != dtSingleQuestions)
        return WebVerdict::Invalid;
    return evaluate(pair, m_engine->askedObject());
}

WebVerdict WebPupil::dropOnNumber(const QString &tileId, const QString &number)
{
    const int pair = pairToPlace(tileId);
    if (pair < 0)
        return WebVerdict::Invalid;
    const int hit = targetByNumber(keyboardTargets(m_doc, m_engine->run().currentQuestionNo, onlyTarget()), number);
    if (hit < 0)
        return WebVerdict::Missed;
    return evaluate(pair, hit);
}

bool WebPupil::tick()
{
    if (!m_timerEnabled || !m_engine->running())
        return false;
    const QString before = m_clockText;
    m_engine->ZeitTimerTimer();
    return m_clockText != before || !m_engine->running();
}

void WebPupil::cancel()
{
    if (m_engine->running())
        m_engine->LeaveQuiz();
}

void WebPupil::setViewSize(QSize size)
{
    size = size.boundedTo(QSize(kMaxCardWidth, kMaxCardHeight)).expandedTo(QSize(kMinCardSide, kMinCardSide));
    if (size == m_viewSize && !m_cardImage.isEmpty())
        return;
    m_viewSize = size;
    m_fullRedraw = true;
}

void WebPupil::redrawCard()
{
    m_fullRedraw = true;
    m_layoutValid = false;
}

void WebPupil::redrawObject(int objectIndex)
{
    if (!m_changedObjects.contains(objectIndex))
        m_changedObjects.append(objectIndex);
    if (!m_staleBoxes.contains(objectIndex))
        m_staleBoxes.append(objectIndex);
}

const QByteArray *WebPupil::cardPart(int version) const
{
    if (version == m_baseVersion && !m_cardImage.isEmpty())
        return &m_cardImage;
    for (const CardPatch &p : m_patches)
        if (p.version == version)
            return &p.jpeg;
    return nullptr;
}

QuizDisplay WebPupil::quizDisplay() const
{
    QuizDisplay d;
    d.running = true; // also the finished card: its ticks and crosses stay
    d.queryMode = m_engine->options().queryMode;
    if (!m_result && m_doc.DokTyp != dtSingleQuestions && d.queryMode == 2)
        d.askedPositionObject = m_engine->askedObject();
    return d;
}

void WebPupil::ensureLayout()
{
    const QSize size = m_shownViewSize.isValid() ? m_shownViewSize : m_viewSize;
    OffscreenQuizHost host(quizDisplay());
    CardBitmaps none;
    if (!m_layoutValid || m_layoutView.controlSize != size) {
        m_layoutView = ViewState();
        m_layoutView.controlSize = size;
        m_layoutView.viewWindow = RectD{0, 0, 1, 1};
        m_layoutView.cardHiddenOutsideQuiz = false;
        CardRenderer renderer(m_doc, m_layoutView, none, host, m_messages);
        m_layoutCardSize = renderer.LayoutObjects();
        m_layoutValid = true;
        m_staleBoxes.clear();
    } else if (!m_staleBoxes.isEmpty()) {
        CardRenderer renderer(m_doc, m_layoutView, none, host, m_messages);
        renderer.UpdateBoxes(m_layoutCardSize, std::exchange(m_staleBoxes, {}));
    }
}

// What the browser is to see, as a whole card or as the part that changed.
struct WebPupil::CardCanvas {
    TopicDocument doc; // the objects with the boxes last drawn
    ViewState view;
    CardBitmaps bitmaps; // only the background is kept, shared by the pupils at one size
};

std::optional<WebPupil::CardJob> WebPupil::cardJob()
{
    const bool whole = m_cardImage.isEmpty() || m_fullRedraw || m_patches.size() >= kMaxPatches
        || m_patchPixels > qint64(m_cardSize.width()) * m_cardSize.height();
    if (!whole && (m_changedObjects.isEmpty() || m_result)) {
        // The finished card is drawn whole once; the engine's later clearing is not shown.
        m_changedObjects.clear();
        return std::nullopt;
    }
    if (!m_canvas) {
        m_canvas = std::make_shared<CardCanvas>();
        m_canvas->doc = m_doc;
    }
    CardJob job;
    job.canvas = m_canvas;
    job.whole = whole;
    const TopicDocument &doc = m_result ? m_finishedCard : m_doc;
    job.objects = doc.objects;
    job.currentQuestion = doc.currentQuestion;
    job.display = quizDisplay();
    job.viewSize = m_viewSize;
    job.changed = std::exchange(m_changedObjects, {});
    m_fullRedraw = false;
    return job;
}

WebPupil::CardDrawn WebPupil::drawCard(const CardJob &job)
{
    CardCanvas &c = *job.canvas;
    SilentMessages quiet;
    OffscreenQuizHost host(job.display);
    CardDrawn drawn;
    QElapsedTimer timer;
    if (job.whole) {
        c.doc.objects = job.objects;
        c.doc.currentQuestion = job.currentQuestion;
        c.view = ViewState();
        c.view.controlSize = job.viewSize;
        c.view.viewWindow = RectD{0, 0, 1, 1};
        c.view.cardHiddenOutsideQuiz = false;
        c.bitmaps = CardBitmaps();
        CardRenderer renderer(c.doc, c.view, c.bitmaps, host, quiet);
        if (!renderer.BuildCardView())
            return drawn;
        timer.start();
        drawn.jpeg = encodeJpeg(c.bitmaps.cardBitmap);
        drawn.encodeMicroseconds = timer.nsecsElapsed() / 1000;
        drawn.cardSize = c.bitmaps.cardBitmap.size();
        drawn.ok = true;
        // A patch is drawn from the background alone; the card itself lives in the browser.
        c.bitmaps.cardBackground = sharedBackground(c.bitmaps.cardBackground);
        c.bitmaps.cardBitmap = c.bitmaps.cardBackground;
        c.bitmaps.cardSnapshot = c.bitmaps.windowSnapshot = c.bitmaps.display = QImage();
        return drawn;
    }
    // The quiz's state now, with the boxes and gap places of the card as last drawn: the
    // patch covers the old boxes too.
    if (job.objects.size() != c.doc.objects.size())
        return drawn;
    for (qsizetype i = 0; i < job.objects.size(); ++i) {
        DocObject next = job.objects.at(i);
        const DocObject &old = c.doc.objects.at(i);
        next.hitBox = old.hitBox;
        next.pixelX = old.pixelX;
        next.pixelY = old.pixelY;
        next.boxWidth = old.boxWidth;
        next.boxHeight = old.boxHeight;
        if (next.Typ == otGap) {
            next.Kx = old.Kx;
            next.Ky = old.Ky;
            next.Sx = old.Sx;
            next.Sy = old.Sy;
        }
        c.doc.objects[i] = next;
    }
    c.doc.currentQuestion = job.currentQuestion;
    CardRenderer renderer(c.doc, c.view, c.bitmaps, host, quiet);
    QImage patch;
    drawn.rect = renderer.DrawPatch(patch, job.changed, kPatchGrid);
    drawn.ok = true;
    if (drawn.rect.isEmpty())
        return drawn;
    timer.start();
    drawn.jpeg = encodeJpeg(patch);
    drawn.encodeMicroseconds = timer.nsecsElapsed() / 1000;
    return drawn;
}

void WebPupil::installCard(const CardJob &job, CardDrawn drawn)
{
    if (!drawn.ok) {
        if (job.whole)
            m_fullRedraw = true;
        return;
    }
    m_encodeMicroseconds = drawn.encodeMicroseconds;
    if (job.whole) {
        m_cardImage = std::move(drawn.jpeg);
        m_cardSize = drawn.cardSize;
        m_baseVersion = ++m_cardVersion;
        m_patches.clear();
        m_patchPixels = 0;
        m_shownViewSize = job.viewSize;
        // The boxes of the card the browser now has, for its next drop.
        ensureLayout();
        return;
    }
    if (drawn.rect.isEmpty()) {
        ensureLayout();
        return;
    }
    CardPatch p;
    p.version = ++m_cardVersion;
    p.rect = drawn.rect;
    p.jpeg = std::move(drawn.jpeg);
    m_patchPixels += qint64(drawn.rect.width()) * drawn.rect.height();
    m_patches.append(std::move(p));
    ensureLayout();
}

void WebPupil::renderCard()
{
    if (std::optional<CardJob> job = cardJob())
        installCard(*job, drawCard(*job));
}

QJsonObject WebPupil::state() const
{
    QJsonObject s;
    s[QStringLiteral("art")] = QStringLiteral("zustand");
    QJsonObject card;
    const QString cardUrl = QStringLiteral("/api/karte/") + m_identity.cardKey + QLatin1Char('/');
    card[QStringLiteral("url")] = QString(cardUrl + QString::number(m_baseVersion));
    card[QStringLiteral("breite")] = m_cardSize.width();
    card[QStringLiteral("hoehe")] = m_cardSize.height();
    // What changed since, in order: the page lays each part over the card.
    QJsonArray patches;
    for (const CardPatch &p : m_patches)
        patches.append(QJsonObject{{QStringLiteral("url"), QString(cardUrl + QString::number(p.version))},
                                   {QStringLiteral("x"), p.rect.x()},
                                   {QStringLiteral("y"), p.rect.y()},
                                   {QStringLiteral("b"), p.rect.width()},
                                   {QStringLiteral("h"), p.rect.height()}});
    card[QStringLiteral("flicken")] = patches;
    s[QStringLiteral("karte")] = card;
    s[QStringLiteral("name")] = m_identity.name;
    s[QStringLiteral("titel")] = m_doc.titel;

    if (m_result) {
        const QuizFinishedInfo &i = m_result->info;
        QJsonObject r;
        r[QStringLiteral("richtig")] = i.correct;
        r[QStringLiteral("fehlversuche")] = i.failed;
        r[QStringLiteral("quote")] = i.successRate;
        r[QStringLiteral("gesamtleistung")] = i.totalPerformanceText;
        r[QStringLiteral("zeitText")] = i.timeCaption;
        r[QStringLiteral("zeit")] = i.clock;
        r[QStringLiteral("note")] = i.grade;
        r[QStringLiteral("bewertung")] = i.rating;
        r[QStringLiteral("leistung")] = i.totalPerformance;
        r[QStringLiteral("zeitlimit")] = m_engine->run().endState == esTimeLimitReached;
        s[QStringLiteral("ergebnis")] = r;
        return s;
    }

    const bool single = m_doc.DokTyp == dtSingleQuestions;
    s[QStringLiteral("einzelfragen")] = single;
    s[QStringLiteral("anweisung")] = m_engine->instructionText();
    s[QStringLiteral("frage")] = single ? m_questionCounter : QString();
    // The question the card shows, also as text for screen readers.
    QString question;
    if (single)
        for (const DocObject &o : m_doc.objects)
            if (o.Typ == otQuestion && o.FrageNummer == m_engine->run().currentQuestionNo)
                question = CleanCaption(o.Cap);
    s[QStringLiteral("fragetext")] = question;
    QJsonArray tiles;
    const QList<QuizPair> &list = m_engine->run().quizList;
    for (int pair = 0; pair < list.size(); ++pair) {
        if (!isTileVisible(pair))
            continue;
        QJsonObject t;
        t[QStringLiteral("id")] = m_tileIds.at(pair);
        t[QStringLiteral("text")] = tileCaption(m_doc.objects.at(list.at(pair).tileObject).Cap);
        tiles.append(t);
    }
    s[QStringLiteral("kacheln")] = tiles;
    const QuizStatusTexts &texts = m_engine->statusTexts();
    QJsonObject status;
    status[QStringLiteral("status")] = texts.status;
    status[QStringLiteral("von")] = texts.total;
    status[QStringLiteral("richtig")] = texts.correct;
    status[QStringLiteral("fehlversuche")] = texts.failed;
    status[QStringLiteral("quote")] = texts.successRate;
    status[QStringLiteral("gesamtleistung")] = texts.totalPerformance;
    status[QStringLiteral("offen")] = texts.open;
    status[QStringLiteral("uhrText")] = texts.clockCaption;
    s[QStringLiteral("status")] = status;
    s[QStringLiteral("uhr")] = m_clockText;
    return s;
}

bool WebPupil::askParticipantName(QString &name)
{
    name = m_identity.name;
    return true;
}

void WebPupil::enterQuizView()
{
    const qsizetype n = m_engine->run().quizList.size();
    m_exists = QList<bool>(n, true);
    m_visible = m_exists;
    if (m_tileIds.size() != n) {
        m_tileIds.clear();
        m_pairOfId.clear();
        for (qsizetype pair = 0; pair < n; ++pair) {
            QString id;
            for (int salt = 0; id.isEmpty() || m_pairOfId.contains(id); ++salt)
                id = tileIdFor(m_identity, int(pair), salt);
            m_tileIds.append(id);
            m_pairOfId.insert(id, int(pair));
        }
    }
}

void WebPupil::leaveQuizView()
{
    m_exists.fill(false);
    m_visible.fill(false);
}

bool WebPupil::tileExists(int pair) const
{
    return pair >= 0 && pair < m_exists.size() && m_exists.at(pair);
}

bool WebPupil::isTileVisible(int pair) const
{
    return tileExists(pair) && m_visible.at(pair);
}

void WebPupil::setTileVisible(int pair, bool visible)
{
    if (pair >= 0 && pair < m_visible.size())
        m_visible[pair] = visible;
}

void WebPupil::hideAllTiles()
{
    m_visible.fill(false);
}

void WebPupil::removeTile(int pair)
{
    if (pair >= 0 && pair < m_exists.size())
        m_exists[pair] = false;
}

void WebPupil::showClock(const QString &text)
{
    m_clockText = text;
}

QuizFinishedChoice WebPupil::showFinishedDialog(const QuizFinishedInfo &info)
{
    // The engine clears the card when the dialog returns: its last state is kept.
    WebResult result;
    result.info = info;
    result.correct = m_engine->score().correctCount;
    result.failed = m_engine->score().failedCount;
    result.questionCount = m_engine->score().questionCount;
    m_result = result;
    m_finishedCard = m_doc;
    m_fullRedraw = true;
    return {};
}

void WebPupil::answerEvaluated(int hitObject, const DocObject &object)
{
    report(actionReportLines(m_identity.key, hitObject, object.coverState, object.failedAttempts, m_engine->run(),
                             m_engine->score()));
}

void WebPupil::quizEnded()
{
    const QuizRun &run = m_engine->run();
    const QuizScore &score = m_engine->score();
    report(finishReportLines(m_identity.key, run.endState, score.clockText));
    if (run.endState != esFinished && run.endState != esTimeLimitReached)
        return;
    // The network best list is readable by every user of the teacher's computer: it names a
    // browser without its address, which stays in the teacher's own files.
    report(bestListReportLines(m_identity.key, m_identity.name, QStringLiteral("Browser"), run.startTime,
                               run.elapsedMs, score.totalPerformance));
}

} // namespace kapitolo
