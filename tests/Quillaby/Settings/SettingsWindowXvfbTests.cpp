#include "SettingsWindowTestSupport.h"

#include "Services/WebService.h"
#include "Settings/SettingsView.h"
#include "Settings/SettingsWindowController.h"

#include <QApplication>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <array>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

// WM_NORMAL_HINTS as the window manager reads it: flags, then minimum and maximum size.
struct SizeHints {
    uint32_t flags = 0;
    QSize minimum;
    QSize maximum;
};

SizeHints normalHints(QWindow* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, xcb_window_t(window->winId()), XCB_ATOM_WM_NORMAL_HINTS,
                         XCB_ATOM_WM_SIZE_HINTS, 0, 18);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    SizeHints hints;
    if (reply && xcb_get_property_value_length(reply) >= int(18 * sizeof(uint32_t))) {
        const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        hints.flags = values[0];
        hints.minimum = QSize(int(values[5]), int(values[6]));
        hints.maximum = QSize(int(values[7]), int(values[8]));
    }
    free(reply);
    return hints;
}

class SettingsWindowOnX : public SettingsWindowTest {
protected:
    void SetUp() override {
        SettingsWindowTest::SetUp();
        // The About tab asks the web service when shown: nobody answers on this port.
        WebService::setSiteAddressForTesting(QUrl(QStringLiteral("http://127.0.0.1:9")));
    }
    void TearDown() override { WebService::setSiteAddressForTesting(QUrl()); }
};

} // namespace

TEST_F(SettingsWindowOnX, FixedSizeForTheWindowManagerAndEveryTabDrawsWhenClicked) {
    SettingsWindowController& controller = SettingsWindowController::shared();
    controller.showWindow();
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    // Minimum and maximum size both set to the window's size: no resizing.
    constexpr uint32_t minimumSizeFlag = 16, maximumSizeFlag = 32;
    const SizeHints hints = normalHints(window->windowHandle());
    EXPECT_EQ(hints.flags & (minimumSizeFlag | maximumSizeFlag), minimumSizeFlag | maximumSizeFlag);
    EXPECT_EQ(hints.minimum, QSize(600, 680));
    EXPECT_EQ(hints.maximum, QSize(600, 680));

    // Each tab, chosen by a click on the real display, shows a page of its own.
    QTabWidget* tabs = controller.view()->tabs();
    QTabBar* bar = tabs->tabBar();
    std::array<QImage, 5> pages;
    for (int i = 0; i < tabs->count(); ++i) {
        SCOPED_TRACE(tabs->tabText(i).toStdString());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
        EXPECT_EQ(tabs->currentIndex(), i);
        QApplication::processEvents();
        window->repaint();
        pages[i] = window->screen()->grabWindow(window->winId()).toImage();
        ASSERT_EQ(pages[i].size(), QSize(600, 680) * window->devicePixelRatio());
        for (int j = 0; j < i; ++j)
            EXPECT_NE(pages[i], pages[j]) << "same as tab " << j;
    }
    window->hide();
}
