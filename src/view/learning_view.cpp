#include "view/learning_view.h"

#include "platform/messages.h"
#include "platform/random.h"
#include "view/card_renderer.h"
#include "view/link_safety.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace kapitolo {

namespace {

bool hittableType(const DocObject &o, qint32 currentQuestion)
{
    switch (o.Typ) {
    case otLabel:
    case otInfoPoint:
    case otGap:
    case otLink:
    case otDocLink:
    case otPrevQuestion:
    case otNextQuestion:
    case otFirstQuestion:
    case otLastQuestion:
    case otRandomQuestion:
        return true;
    case otAnswer:
        return o.FrageNummer == currentQuestion;
    default:
        return false;
    }
}

bool isDrawingTool(int tool)
{
    return tool >= toolRedPen && tool <= toolKeyword;
}

CardCursor toolCursor(int tool)
{
    switch (tool) {
    case toolRedPen:
        return CardCursor::Pen;
    case toolYellowMarker:
    case toolGreenMarker:
        return CardCursor::Marker;
    case toolEraser:
        return CardCursor::Eraser;
    case toolTick:
        return CardCursor::Tick;
    case toolCross:
        return CardCursor::Cross;
    case toolKeyword:
        return CardCursor::Text;
    default:
        return CardCursor::Default;
    }
}

} // namespace

LearningView::LearningView(TopicDocument &document, ViewState &view, CardRenderer &renderer, LearningViewHost &host,
                           Messages &messages, Random &random)
    : m_document(document)
    , m_view(view)
    , m_renderer(renderer)
    , m_host(host)
    , m_messages(messages)
    , m_random(random)
    , m_drawing(view, renderer, host)
{
}

void LearningView::SelectTool(int tool)
{
    m_view.activeTool = tool;
    m_host.viewControlsChanged();
    if (tool == toolTick || tool == toolCross)
        m_drawing.releaseStampLock();
    if (tool == toolKeyword)
        m_host.clearHiddenKeywordEdit();
    else
        m_host.hideKeywordEdit();
}

void LearningView::SetZoom(int index)
{
    if (index == m_view.zoomIndex || index < 0 || index > kMaxZoomIndex)
        return;
    m_view.zoomIndex = index;
    m_view.zoomFactor = kZoomTable[index];
    m_host.viewControlsChanged();
    if (!m_renderer.quizRunning())
        m_renderer.BuildCardView();
}

void LearningView::ZoomIn()
{
    // Steps of two, the way the interface offers 100, 150 and 200 %; an odd index
    // stops at 200 % instead of running off the table.
    if (m_view.zoomIndex <= kMaxZoomIndex - 1)
        SetZoom(qMin(m_view.zoomIndex + 2, kMaxZoomIndex));
}

void LearningView::ZoomOut()
{
    if (m_view.zoomIndex >= 1)
        SetZoom(qMax(m_view.zoomIndex - 2, 0));
}

void LearningView::moveWindowInside(RectD &w, double dx, double dy)
{
    w.left += dx;
    w.right += dx;
    w.top += dy;
    w.bottom += dy;
    if (w.right > 1) {
        w.left -= w.right - 1;
        w.right = 1;
    }
    if (w.bottom > 1) {
        w.top -= w.bottom - 1;
        w.bottom = 1;
    }
    if (w.left < 0) {
        w.right -= w.left;
        w.left = 0;
    }
    if (w.top < 0) {
        w.bottom -= w.top;
        w.top = 0;
    }
    w.left = qBound(0.0, w.left, 1.0);
    w.top = qBound(0.0, w.top, 1.0);
    w.right = qBound(0.0, w.right, 1.0);
    w.bottom = qBound(0.0, w.bottom, 1.0);
}

void LearningView::Scroll(ScrollDirection direction)
{
    m_renderer.CommitDrawings();
    RectD &w = m_view.viewWindow;
    const double stepX = 0.1 * (w.right - w.left);
    const double stepY = 0.1 * (w.bottom - w.top);
    switch (direction) {
    case ScrollDirection::Left:
        moveWindowInside(w, -stepX, 0);
        break;
    case ScrollDirection::Right:
        moveWindowInside(w, stepX, 0);
        break;
    case ScrollDirection::Up:
        moveWindowInside(w, 0, -stepY);
        break;
    case ScrollDirection::Down:
        moveWindowInside(w, 0, stepY);
        break;
    }
    m_renderer.ShowWindow();
}

void LearningView::CoverAll()
{
    for (qsizetype i = 0; i < m_document.objects.size(); ++i)
        markAt(m_view.marks, i).coverState = csCovered;
    m_renderer.RedrawObjects(false, true, true);
}

void LearningView::UncoverAll()
{
    for (qsizetype i = 0; i < m_document.objects.size(); ++i)
        markAt(m_view.marks, i).coverState = csUncovered;
    m_renderer.RedrawObjects(false, true, true);
}

QList<int> LearningView::NumberingOrder(const TopicDocument &document, int mode, Random &random)
{
    QList<int> order;
    for (int i = 0; i < document.objects.size(); ++i) {
        const qint32 typ = document.objects.at(i).Typ;
        const bool listed = document.DokTyp == dtSingleQuestions ? typ == otAnswer : (typ == otLabel || typ == otGap);
        if (listed)
            order.append(i);
    }
    const qsizetype n = order.size();
    if (mode == numberingOrdered) {
        QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        auto less = [&](int a, int b) {
            const DocObject &x = document.objects.at(a);
            const DocObject &y = document.objects.at(b);
            if (document.GeordnetArt != 0)
                return collator.compare(x.Cap, y.Cap) < 0;
            return x.Ky < y.Ky || (x.Ky == y.Ky && x.Kx < y.Kx);
        };
        // Selection sort: a later entry replaces the minimum only when strictly
        // smaller, so equal keys keep their document order.
        for (qsizetype q = 0; q < n; ++q) {
            qsizetype min = q;
            for (qsizetype j = q + 1; j < n; ++j)
                if (less(order.at(j), order.at(min)))
                    min = j;
            order.swapItemsAt(q, min);
        }
    } else if (mode == numberingRandom) {
        for (qsizetype i = 0; i < n; ++i)
            order.swapItemsAt(i, random.below(int(n)));
    }
    return order;
}

void LearningView::SetNumbering(int mode, bool redraw)
{
    m_view.numberingMode = mode;
    m_host.viewControlsChanged();
    const QList<int> order = NumberingOrder(m_document, mode, m_random);
    const bool numbered = mode == numberingOrdered || mode == numberingRandom;
    for (qsizetype k = 0; k < order.size(); ++k) {
        const int index = order.at(k);
        markAt(m_view.marks, index).displayNo =
            (m_document.objects.at(index).Typ != otAnswer && numbered) ? int(k + 1) : 0;
    }
    if (redraw)
        m_renderer.RedrawObjects(false, true, true);
}

void LearningView::SetLayer(int layer, bool on)
{
    if (layer < 0 || layer > 2)
        return;
    m_view.layerOn[layer] = on;
    m_host.viewControlsChanged();
    m_renderer.BuildCardView();
}

int LearningView::HitTest(const QPoint &controlPos) const
{
    if (m_document.objects.isEmpty())
        return -1;
    const QPointF f = m_renderer.controlToFraction(controlPos);
    const double x = f.x();
    const double y = f.y();
    for (int i = 0; i < m_document.objects.size(); ++i) {
        const DocObject &o = m_document.objects.at(i);
        if (!hittableType(o, m_document.currentQuestion) || !m_renderer.LayerVisible(i))
            continue;
        const RectD &b = m_renderer.layout().hitBox(i);
        if (b.left <= x && x < b.right && b.top <= y && y < b.bottom)
            return i;
    }
    return -1;
}

void LearningView::MarkPosition(int index, int kind)
{
    if (index < 0 || kind < 0 || !m_renderer.quizRunning()) {
        m_view.markedObject = -1;
        m_view.markedKind = -1;
        m_host.placePositionMarker(QRect(), false);
        return;
    }
    m_view.markedObject = index;
    m_view.markedKind = kind;
    m_renderer.placePositionMarker();
}

void LearningView::RestoreAfterQuiz(const ObjectMarks &quizMarks)
{
    SelectTool(toolPointer);
    // What the quiz asked is answered now: the learning card shows it open.
    for (qsizetype i = 0; i < quizMarks.size() && i < m_document.objects.size(); ++i)
        if (quizMarks.at(i).coverState != csCovered)
            markAt(m_view.marks, i).coverState = csUncovered;
    SetZoom(0);
    SetNumbering(m_view.numberingMode, false);
}

LearningView::LinkTarget LearningView::resolveDocumentLink(const QString &caption, const DocumentLinkFolders &folders)
{
    QString name = caption.trimmed();
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    LinkTarget target;
    if (name.isEmpty())
        return target;
    if (name.endsWith(QLatin1Char('/')) && !folders.topicFolder.isEmpty()) {
        const QFileInfo sub(QDir(folders.topicFolder).filePath(name));
        if (sub.isDir()) {
            target.kind = LinkTarget::Folder;
            target.path = QDir::cleanPath(sub.absoluteFilePath());
            return target;
        }
    }
    for (const QString &folder : {folders.documentFolder, folders.startFolder, folders.programFolder}) {
        if (folder.isEmpty())
            continue;
        const QString found = existingFileIgnoringCase(QDir(folder).filePath(name));
        if (!found.isEmpty()) {
            target.kind = LinkTarget::Document;
            target.path = found;
            return target;
        }
    }
    // The caption alone only as a complete path: relative to the working directory
    // it would depend on how the program was started.
    if (QDir::isAbsolutePath(name)) {
        const QString found = existingFileIgnoringCase(name);
        if (!found.isEmpty()) {
            target.kind = LinkTarget::Document;
            target.path = found;
        }
    }
    return target;
}

void LearningView::clickObject(int index)
{
    const DocObject &o = m_document.objects.at(index);
    switch (o.Typ) {
    case otLabel:
    case otGap:
    case otAnswer: {
        qint32 &cover = markAt(m_view.marks, index).coverState;
        cover = cover == csCovered ? csUncovered : csCovered;
        m_renderer.DrawObject(m_renderer.bitmaps().cardBitmap, index, 0, true, true, false);
        break;
    }
    case otInfoPoint:
        m_host.showInfoText(o.Cap);
        break;
    case otLink:
        openLink(o.Cap);
        break;
    case otDocLink: {
        const LinkTarget target = resolveDocumentLink(o.Cap, m_host.documentLinkFolders());
        if (target.kind == LinkTarget::Folder)
            m_host.openTopicFolder(target.path);
        else if (target.kind == LinkTarget::Document)
            m_host.openLinkedDocument(target.path);
        else
            m_messages.error(QStringLiteral("Die Datei \"") + o.Cap.trimmed() + QStringLiteral("\" existiert nicht."));
        break;
    }
    case otPrevQuestion:
    case otNextQuestion:
    case otFirstQuestion:
    case otLastQuestion:
    case otRandomQuestion:
        if (m_document.AnzFrageNummern > 0) {
            m_document.navigateQuestion(o.Typ, m_random);
            m_renderer.RestoreObjects();
        }
        break;
    default:
        break;
    }
}

void LearningView::openLink(const QString &caption)
{
    // The caption is text anybody could have written: only addresses and documents
    // reach the shell, never anything it would run.
    const LinkDecision link = CheckLink(caption, m_host.documentLinkFolders().documentFolder);
    if (link.kind == LinkDecision::Refused) {
        m_messages.error(link.message);
        return;
    }
    if (link.kind == LinkDecision::Missing || !m_host.shellOpen(link.target))
        m_messages.error(QStringLiteral("Die Datei oder Internet-Adresse \"") + caption.trimmed()
                         + QStringLiteral("\" kann nicht geöffnet werden."));
}

void LearningView::pan(const QPoint &pos)
{
    const QImage &card = m_renderer.bitmaps().cardBitmap;
    if (card.isNull())
        return;
    if (!m_view.panning) {
        m_view.panning = true;
        m_view.panAnchor = pos;
    }
    const double dx = double(m_view.panAnchor.x() - pos.x()) / card.width();
    const double dy = double(m_view.panAnchor.y() - pos.y()) / card.height();
    moveWindowInside(m_view.viewWindow, dx, dy);
    m_view.panAnchor = pos;
    m_renderer.ShowWindow();
}

void LearningView::mousePressed(const QPoint &pos, Qt::MouseButton button)
{
    if (m_renderer.quizRunning())
        return;
    const int tool = m_view.activeTool;
    if (button == Qt::RightButton || (button == Qt::LeftButton && tool == toolHand)) {
        m_renderer.CommitDrawings();
        m_view.panning = true;
        m_view.panAnchor = pos;
        m_host.setCardCursor(CardCursor::Hand);
        return;
    }
    if ((button == Qt::LeftButton && tool == toolPointer) || button == Qt::MiddleButton) {
        const int index = HitTest(pos);
        if (index >= 0)
            clickObject(index);
        return;
    }
    if (button == Qt::LeftButton && isDrawingTool(tool))
        m_drawing.PenStep(true, pos, true);
}

void LearningView::updateCursor(const QPoint &pos, Qt::MouseButtons buttons)
{
    const int tool = m_view.activeTool;
    if (buttons.testFlag(Qt::RightButton) || (buttons.testFlag(Qt::LeftButton) && tool == toolHand)) {
        pan(pos);
        m_host.setCardCursor(CardCursor::Hand);
    } else if (tool == toolPointer) {
        m_host.setCardCursor(HitTest(pos) >= 0 ? CardCursor::PointingHand : CardCursor::Default);
    } else if (tool == toolHand) {
        m_host.setCardCursor(CardCursor::Hand);
    } else if (isDrawingTool(tool)) {
        m_host.setCardCursor(toolCursor(tool));
        m_drawing.PenStep(buttons.testFlag(Qt::LeftButton), pos, false);
    } else {
        m_host.setCardCursor(CardCursor::Default);
    }
}

void LearningView::mouseMoved(const QPoint &pos, Qt::MouseButtons buttons)
{
    if (m_renderer.quizRunning())
        return;
    updateCursor(pos, buttons);
}

void LearningView::mouseReleased(const QPoint &pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    Q_UNUSED(button);
    if (m_renderer.quizRunning())
        return;
    m_drawing.releaseStampLock();
    const bool stillPanning = buttons.testFlag(Qt::RightButton)
        || (buttons.testFlag(Qt::LeftButton) && m_view.activeTool == toolHand);
    updateCursor(pos, buttons);
    if (!stillPanning)
        m_view.panning = false;
}

void LearningView::wheelTurned(const QPoint &angleDelta, Qt::KeyboardModifiers modifiers)
{
    const bool horizontal = angleDelta.y() == 0 && angleDelta.x() != 0;
    m_wheelRemainder += horizontal ? angleDelta.x() : angleDelta.y();
    while (m_wheelRemainder >= 120 || m_wheelRemainder <= -120) {
        const bool forward = m_wheelRemainder > 0; // away from the user: up, or zoom in
        m_wheelRemainder += forward ? -120 : 120;
        if (modifiers.testFlag(Qt::ControlModifier)) {
            if (forward)
                ZoomIn();
            else
                ZoomOut();
        } else if (horizontal || modifiers.testFlag(Qt::ShiftModifier)) {
            Scroll(forward ? ScrollDirection::Left : ScrollDirection::Right);
        } else {
            Scroll(forward ? ScrollDirection::Up : ScrollDirection::Down);
        }
    }
}

bool LearningView::keyPressed(int key, Qt::KeyboardModifiers modifiers)
{
    if (!modifiers.testFlag(Qt::ControlModifier))
        return false;
    switch (key) {
    case Qt::Key_Left:
        Scroll(ScrollDirection::Left);
        return true;
    case Qt::Key_Right:
        Scroll(ScrollDirection::Right);
        return true;
    case Qt::Key_Up:
        Scroll(ScrollDirection::Up);
        return true;
    case Qt::Key_Down:
        Scroll(ScrollDirection::Down);
        return true;
    case Qt::Key_Plus:
        if (!modifiers.testFlag(Qt::KeypadModifier))
            return false;
        ZoomIn();
        return true;
    case Qt::Key_Minus:
        if (!modifiers.testFlag(Qt::KeypadModifier))
            return false;
        ZoomOut();
        return true;
    default:
        return false;
    }
}

} // namespace kapitolo
