#pragma once

#include <QProxyStyle>

namespace kapitolo {

// The application's style as it is, except that the icons of the tool bar and menu bar
// extension buttons are read from the style's images only when they are first drawn. A
// menu bar asks for its extension icon when it is made, and reading that image loads every
// image format plugin (with Qt SVG) to find out the file's format; the button shows only
// when the menus do not fit, so the start of the program does not wait for them.
class DeferredIconStyle : public QProxyStyle
{
public:
    DeferredIconStyle();
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};

} // namespace kapitolo
