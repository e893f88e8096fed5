#include "platform/deferred_icon_style.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>

using namespace kapitolo;

namespace {

// Whether any image format plugin has been loaded into this process.
bool imageFormatPluginLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains("/imageformats/");
}

// The style the program's style passes on to, made anew as the style factory makes it.
std::unique_ptr<QStyle> plainStyle()
{
    auto *proxy = qobject_cast<QProxyStyle *>(QApplication::style());
    return std::unique_ptr<QStyle>(proxy ? QStyleFactory::create(proxy->baseStyle()->name()) : nullptr);
}

QImage imageOf(const QIcon &icon, int size)
{
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestDeferredIconStyle : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setStyle(new DeferredIconStyle);
    }

    // Runs first, in a process that has read no image yet: a menu bar is made without
    // reading its extension icon, and the icon, when drawn, is the style's own.
    void menuBarExtensionIconIsReadOnItsFirstUse()
    {
        QVERIFY(!imageFormatPluginLoaded());
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("&Aktion"));
        auto *extension = window.menuBar()->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button"));
        QVERIFY(extension);
        QVERIFY(!extension->icon().isNull());
        QVERIFY(!imageFormatPluginLoaded());

        const std::unique_ptr<QStyle> plain = plainStyle();
        QVERIFY(plain);
        const QIcon expected = plain->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        QVERIFY(!imageOf(expected, 16).isNull());
        QCOMPARE(imageOf(extension->icon(), 16), imageOf(expected, 16));
        QCOMPARE(imageOf(extension->icon(), 32), imageOf(expected, 32));
        QCOMPARE(extension->icon().actualSize(QSize(64, 64)), expected.actualSize(QSize(64, 64)));
        // The probe sees what reading the icons loaded.
        QVERIFY(imageFormatPluginLoaded());
    }

    void bothExtensionIconsAndNoOthersAreDeferred()
    {
        QStyle *style = QApplication::style();
        const std::unique_ptr<QStyle> plain = plainStyle();
        QVERIFY(plain);
        for (const auto which : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
                                 QStyle::SP_DialogOkButton, QStyle::SP_MessageBoxWarning, QStyle::SP_ArrowBack}) {
            const QIcon icon = style->standardIcon(which);
            QCOMPARE(icon.isNull(), plain->standardIcon(which).isNull());
            QCOMPARE(imageOf(icon, 24), imageOf(plain->standardIcon(which), 24));
        }
        // A copy that is changed gets an engine of its own and keeps the images.
        QIcon copy = style->standardIcon(QStyle::SP_ToolBarVerticalExtensionButton);
        QPixmap red(8, 8);
        red.fill(Qt::red);
        copy.addPixmap(red, QIcon::Disabled);
        QCOMPARE(imageOf(copy, 16), imageOf(plain->standardIcon(QStyle::SP_ToolBarVerticalExtensionButton), 16));
    }
};

QTEST_MAIN(TestDeferredIconStyle)
#include "tst_deferred_icon_style.moc"
