#include "platform/deferred_icon_style.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <QWidget>

#include <memory>

namespace kapitolo {

namespace {

// Asks the style for its icon at the first use and passes every request on to it.
class DeferredStandardIcon : public QIconEngine
{
public:
    DeferredStandardIcon(const QStyle *style, QStyle::StandardPixmap which, const QStyleOption *option,
                         const QWidget *widget)
        : m_style(style)
        , m_which(which)
        , m_widget(widget)
    {
        if (option)
            m_option.reset(new QStyleOption(*option));
    }

    DeferredStandardIcon(const DeferredStandardIcon &other)
        : QIconEngine(other)
        , m_style(other.m_style)
        , m_which(other.m_which)
        , m_widget(other.m_widget)
        , m_icon(other.m_icon)
    {
        if (other.m_option)
            m_option.reset(new QStyleOption(*other.m_option));
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // The style's extension icons always have images; asking must not read them.
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("kapitolo-deferred-standard-icon"); }
    QIconEngine *clone() const override { return new DeferredStandardIcon(*this); }

private:
    const QIcon &icon()
    {
        if (m_icon.isNull() && m_style)
            m_icon = m_style->standardIcon(m_which, m_option.get(), m_widget);
        return m_icon;
    }

    QPointer<const QStyle> m_style;
    QStyle::StandardPixmap m_which;
    std::unique_ptr<QStyleOption> m_option;
    QPointer<const QWidget> m_widget;
    QIcon m_icon;
};

} // namespace

DeferredIconStyle::DeferredIconStyle() = default;

QIcon DeferredIconStyle::standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const
{
    if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
        return QIcon(new DeferredStandardIcon(baseStyle(), which, option, widget));
    return QProxyStyle::standardIcon(which, option, widget);
}

} // namespace kapitolo
