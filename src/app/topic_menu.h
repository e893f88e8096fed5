#pragma once

#include "app/topic_folder.h"

#include <QList>
#include <QMenu>
#include <QPointer>
#include <QStyleOptionMenuItem>
#include <QWidget>

class QAction;
class QActionGroup;
class QWidgetAction;

namespace kapitolo {

class TopicColumns;

// The "&Quizauswahl" menu. Its own leading items stay; the topic items follow them.
// Up to 30 topics are ordinary menu items. With more, the entry (n - 7) div 2 starts a
// second column: QMenu has no call for a column break, so the items are then shown by
// a widget of ours that draws them with the style's menu items and keeps the keyboard
// (arrows, Enter, the access keys 1 to 9) working.
// Below the topics, each sub-folder that holds topics is a submenu of the same kind, named
// after the folder, with the folder's topics and its own sub-folders: so every topic of a
// library sorted into subject folders can be chosen from the menu.
class TopicMenu : public QMenu
{
    Q_OBJECT
public:
    // A submenu passes the group of the menu it belongs to: one topic is checked in all.
    explicit TopicMenu(const QString &title, QWidget *parent = nullptr, QActionGroup *group = nullptr);

    // Replaces the topic items. The actions are owned by the menu, checkable, in one
    // exclusive group, named "MenueThemaItem" + index, with the index as data.
    void setTopics(const QStringList &captions, int columnBreak);
    const QList<QAction *> &topicActions() const { return m_topicActions; }
    int columnBreak() const { return m_columnBreak; }
    // The widget that shows the items in columns; null while they are plain items.
    TopicColumns *columnsWidget() const;

    // Replaces the submenus of the sub-folders.
    void setFolders(const QList<TopicFolder> &folders);
    const QList<TopicMenu *> &folderMenus() const { return m_folderMenus; }
    // The folder a submenu shows (empty for the top menu).
    const QString &folderPath() const { return m_folderPath; }
    // Checks the item of the topic at path in a submenu; false when no submenu lists it.
    bool checkFolderTopic(const QString &path);

    void initItemStyle(QStyleOptionMenuItem *option, const QAction *action) const { initStyleOption(option, action); }

Q_SIGNALS:
    void topicChosen(int index);
    // A topic of a submenu, by its full path.
    void folderTopicChosen(const QString &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showFolder(const TopicFolder &folder);

    QList<QAction *> m_topicActions;
    QActionGroup *m_group = nullptr;
    QWidgetAction *m_columnsAction = nullptr;
    int m_columnBreak = -1;
    QString m_folderPath;
    QStringList m_topicPaths;
    QAction *m_folderSeparator = nullptr;
    QList<TopicMenu *> m_folderMenus;
};

class TopicColumns : public QWidget
{
    Q_OBJECT
public:
    TopicColumns(TopicMenu *menu, const QList<QAction *> &actions, int columnBreak);

    QSize sizeHint() const override;
    // The item rectangle of entry i, in this widget's coordinates.
    QRect itemRect(int index) const;
    int current() const { return m_current; }
    int columnCount() const { return m_columnBreak > 0 ? 2 : 1; }
    // The caption as drawn: in full when the column has room for it, otherwise cut at
    // its end with "…". The tooltip always shows the whole title.
    QString shownText(int index) const;
    QString toolTipText(int index) const;

    // Between the columns, and kept free at the screen's edges.
    static constexpr int kColumnGap = 24;
    static constexpr int kScreenMargin = 24;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QStyleOptionMenuItem itemOption(int index) const;
    int textRoom(const QStyleOptionMenuItem &option, int itemWidth) const;
    void layoutItems() const;
    int indexAt(const QPoint &pos) const;
    void choose(int index);
    void setCurrent(int index);

    QPointer<TopicMenu> m_menu;
    QList<QAction *> m_actions;
    int m_columnBreak;
    mutable QList<QRect> m_rects;
    int m_current = -1;
};

} // namespace kapitolo
