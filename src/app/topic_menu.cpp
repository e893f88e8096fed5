#include "app/topic_menu.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>

namespace kapitolo {

TopicMenu::TopicMenu(const QString &title, QWidget *parent, QActionGroup *group)
    : QMenu(title, parent)
    , m_group(group)
{
    if (!m_group) {
        m_group = new QActionGroup(this);
        m_group->setExclusive(true);
    }
}

void TopicMenu::setTopics(const QStringList &captions, int columnBreak)
{
    if (m_columnsAction) {
        removeAction(m_columnsAction);
        delete m_columnsAction;
        m_columnsAction = nullptr;
    }
    // A deleted action leaves the group by itself.
    qDeleteAll(m_topicActions);
    m_topicActions.clear();
    m_columnBreak = columnBreak;

    for (int i = 0; i < captions.size(); ++i) {
        auto *action = new QAction(captions.at(i), this);
        action->setObjectName(QStringLiteral("MenueThemaItem") + QString::number(i));
        action->setData(i);
        action->setCheckable(true);
        action->setActionGroup(m_group);
        connect(action, &QAction::triggered, this, [this, i] { Q_EMIT topicChosen(i); });
        m_topicActions.append(action);
    }
    // The topics stand above the folders' submenus.
    if (columnBreak < 0) {
        insertActions(m_folderSeparator, m_topicActions);
    } else {
        m_columnsAction = new QWidgetAction(this);
        m_columnsAction->setDefaultWidget(new TopicColumns(this, m_topicActions, columnBreak));
        insertAction(m_folderSeparator, m_columnsAction);
    }
}

namespace {

// The access key of a menu caption, lower case; empty when it has none.
QString accessKey(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) != QLatin1Char('&'))
            return caption.at(i + 1).toLower();
        ++i; // "&&" is a plain "&"
    }
    return QString();
}

} // namespace

void TopicMenu::setFolders(const QList<TopicFolder> &folders)
{
    qDeleteAll(m_folderMenus); // a deleted menu takes its item with it
    m_folderMenus.clear();
    delete m_folderSeparator;
    m_folderSeparator = nullptr;
    if (folders.isEmpty())
        return;
    // The menu's own items ("&Startseite") keep their keys.
    QString taken;
    for (const QAction *action : actions())
        if (action->isVisible())
            taken += accessKey(action->text());
    QStringList names;
    for (const TopicFolder &folder : folders)
        names << folder.name;
    const QStringList captions = topicFolderCaptions(names, taken);
    m_folderSeparator = addSeparator();
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const TopicFolder &folder = folders.at(i);
        auto *menu = new TopicMenu(captions.at(i), this, m_group);
        menu->setObjectName(QStringLiteral("MenueOrdner_") + folder.name);
        menu->showFolder(folder);
        connect(menu, &TopicMenu::folderTopicChosen, this, &TopicMenu::folderTopicChosen);
        addMenu(menu);
        m_folderMenus.append(menu);
    }
}

void TopicMenu::showFolder(const TopicFolder &folder)
{
    m_folderPath = folder.path;
    QStringList captions;
    for (int i = 0; i < folder.topics.size(); ++i) {
        captions << topicItemCaption(i, folder.topics.at(i));
        m_topicPaths << folder.topics.at(i).path;
    }
    setTopics(captions, topicColumnBreak(int(captions.size())));
    setFolders(folder.folders);
    connect(this, &TopicMenu::topicChosen, this, [this](int index) { Q_EMIT folderTopicChosen(m_topicPaths.at(index)); });
}

bool TopicMenu::checkFolderTopic(const QString &path)
{
    const int index = int(m_topicPaths.indexOf(path));
    if (index >= 0 && index < m_topicActions.size()) {
        m_topicActions.at(index)->setChecked(true);
        return true;
    }
    for (TopicMenu *menu : std::as_const(m_folderMenus))
        if (menu->checkFolderTopic(path))
            return true;
    return false;
}

TopicColumns *TopicMenu::columnsWidget() const
{
    return m_columnsAction ? static_cast<TopicColumns *>(m_columnsAction->defaultWidget()) : nullptr;
}

void TopicMenu::keyPressEvent(QKeyEvent *event)
{
    // With the columns widget the digits 1 to 9 still choose the first nine topics.
    if (m_columnsAction && event->modifiers() == Qt::NoModifier && event->key() >= Qt::Key_1
        && event->key() <= Qt::Key_9) {
        const int index = event->key() - Qt::Key_1;
        if (index < m_topicActions.size()) {
            hide();
            m_topicActions.at(index)->trigger();
            return;
        }
    }
    QMenu::keyPressEvent(event);
}

TopicColumns::TopicColumns(TopicMenu *menu, const QList<QAction *> &actions, int columnBreak)
    : m_menu(menu)
    , m_actions(actions)
    , m_columnBreak(columnBreak)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    // Measured when the menu first opens: a folder of hundreds of topics must not slow the start.
}

QStyleOptionMenuItem TopicColumns::itemOption(int index) const
{
    QStyleOptionMenuItem option;
    m_menu->initItemStyle(&option, m_actions.at(index));
    // Topic items have no shortcut: the menu's room for "Alt+Pos1" of its own items
    // would only narrow the title.
    option.reservedShortcutWidth = 0;
    return option;
}

int TopicColumns::textRoom(const QStyleOptionMenuItem &option, int itemWidth) const
{
    // The style's margins around the text; measured on a wide text, since a narrow one
    // is widened to the style's minimum item width.
    constexpr int kWide = 4000;
    const QSize wide(kWide, option.fontMetrics.height());
    const int margins = style()->sizeFromContents(QStyle::CT_MenuItem, &option, wide, m_menu).width() - kWide;
    return itemWidth - margins;
}

void TopicColumns::layoutItems() const
{
    if (!m_rects.isEmpty() || m_actions.isEmpty())
        return;
    const int n = int(m_actions.size());
    QList<QSize> sizes;
    int widths[2] = {0, 0};
    for (int i = 0; i < n; ++i) {
        const QStyleOptionMenuItem option = itemOption(i);
        const QSize contents = option.fontMetrics.size(Qt::TextShowMnemonic, option.text);
        const QSize size = style()->sizeFromContents(QStyle::CT_MenuItem, &option, contents, m_menu);
        sizes.append(size);
        const int column = (m_columnBreak > 0 && i >= m_columnBreak) ? 1 : 0;
        widths[column] = qMax(widths[column], size.width() + kColumnGap);
    }
    // Each column as wide as its longest title, as long as both fit on the screen; a
    // column that must give way gives only what the other one needs.
    const QScreen *screen = m_menu && m_menu->screen() ? m_menu->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const int room = screen->availableGeometry().width() - kScreenMargin;
        if (columnCount() == 1) {
            widths[0] = qMin(widths[0], room);
        } else if (widths[0] + widths[1] > room) {
            if (widths[0] <= room / 2)
                widths[1] = room - widths[0];
            else if (widths[1] <= room / 2)
                widths[0] = room - widths[1];
            else
                widths[0] = widths[1] = room / 2;
        }
    }
    int x = 0;
    int y = 0;
    for (int i = 0; i < n; ++i) {
        if (i == m_columnBreak && i > 0) {
            x = widths[0];
            y = 0;
        }
        const int column = (m_columnBreak > 0 && i >= m_columnBreak) ? 1 : 0;
        m_rects.append(QRect(x, y, widths[column], sizes.at(i).height()));
        y += sizes.at(i).height();
    }
}

QString TopicColumns::shownText(int index) const
{
    layoutItems();
    if (index < 0 || index >= m_rects.size())
        return QString();
    const QStyleOptionMenuItem option = itemOption(index);
    // The gap between the columns is no room for the title.
    const int room = textRoom(option, m_rects.at(index).width() - kColumnGap);
    if (option.fontMetrics.size(Qt::TextShowMnemonic, option.text).width() <= room)
        return option.text;
    // Cut at the end: the beginning (number and first words) tells neighbours apart.
    return option.fontMetrics.elidedText(option.text, Qt::ElideRight, qMax(room, 0), Qt::TextShowMnemonic);
}

QString TopicColumns::toolTipText(int index) const
{
    if (index < 0 || index >= m_actions.size())
        return QString();
    QString text = m_actions.at(index)->text();
    if (text.startsWith(QLatin1Char('&')))
        text.remove(0, 1);
    return text;
}

bool TopicColumns::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = indexAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), toolTipText(index), this, itemRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

QSize TopicColumns::sizeHint() const
{
    layoutItems();
    QRect all;
    for (const QRect &r : m_rects)
        all |= r;
    return all.size();
}

QRect TopicColumns::itemRect(int index) const
{
    layoutItems();
    return index >= 0 && index < m_rects.size() ? m_rects.at(index) : QRect();
}

void TopicColumns::paintEvent(QPaintEvent *)
{
    layoutItems();
    QPainter painter(this);
    for (int i = 0; i < m_actions.size(); ++i) {
        QStyleOptionMenuItem option = itemOption(i);
        option.text = shownText(i);
        option.rect = m_rects.at(i);
        option.menuRect = rect();
        option.state.setFlag(QStyle::State_Selected, i == m_current);
        option.state.setFlag(QStyle::State_Enabled, isEnabled() && m_actions.at(i)->isEnabled());
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, m_menu);
        // A thin rule between the columns, as menus with a column break show it.
        if (i == m_columnBreak) {
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawLine(m_rects.at(i).left() - 1, 0, m_rects.at(i).left() - 1, height());
        }
    }
}

int TopicColumns::indexAt(const QPoint &pos) const
{
    layoutItems();
    for (int i = 0; i < m_rects.size(); ++i)
        if (m_rects.at(i).contains(pos))
            return i;
    return -1;
}

void TopicColumns::setCurrent(int index)
{
    if (index != m_current) {
        m_current = index;
        update();
    }
}

void TopicColumns::choose(int index)
{
    if (index < 0 || index >= m_actions.size() || !isEnabled())
        return;
    QAction *action = m_actions.at(index);
    if (m_menu)
        m_menu->hide();
    action->trigger();
}

void TopicColumns::mouseMoveEvent(QMouseEvent *event)
{
    setCurrent(indexAt(event->position().toPoint()));
}

void TopicColumns::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        choose(indexAt(event->position().toPoint()));
}

void TopicColumns::leaveEvent(QEvent *)
{
    setCurrent(-1);
}

void TopicColumns::focusInEvent(QFocusEvent *event)
{
    if (m_current < 0 && !m_actions.isEmpty())
        setCurrent(event->reason() == Qt::BacktabFocusReason ? int(m_actions.size()) - 1 : 0);
    QWidget::focusInEvent(event);
}

void TopicColumns::keyPressEvent(QKeyEvent *event)
{
    const int n = int(m_actions.size());
    const int breakAt = m_columnBreak > 0 ? m_columnBreak : n;
    layoutItems();
    switch (event->key()) {
    case Qt::Key_Down:
        if (m_current + 1 < n)
            setCurrent(m_current + 1);
        else
            QWidget::keyPressEvent(event); // on to the folders' submenus
        return;
    case Qt::Key_Up:
        if (m_current > 0)
            setCurrent(m_current - 1);
        else
            QWidget::keyPressEvent(event); // back to the leading items
        return;
    case Qt::Key_Right:
        if (m_current >= 0 && m_current < breakAt)
            setCurrent(qMin(m_current + breakAt, n - 1));
        return;
    case Qt::Key_Left:
        if (m_current >= breakAt)
            setCurrent(m_current - breakAt);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        choose(m_current);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace kapitolo
