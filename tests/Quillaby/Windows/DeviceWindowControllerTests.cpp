#include "Skins/SkinManifest.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "TerminalFindBarView.h"
#include "TerminalView.h"

#include <QAction>

#include <gtest/gtest.h>

using namespace Quillaby;

// The terminal view leaves the Ctrl+Shift chord to its window, which runs Find on the active session
// (copy, paste and select all are the application menu's).
TEST(DeviceWindowController, FindShortcutActsOnTheActiveSession) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    ASSERT_TRUE(controller.window());
    QAction* find = nullptr;
    for (QAction* action : controller.window()->actions()) {
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)) find = action;
        EXPECT_NE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    }
    ASSERT_TRUE(find);
    Tessaline::TerminalView* view = controller.terminalPanel()->manager().active()->terminal();
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->findBar() && view->findBar()->isVisible());
    find->trigger();
    ASSERT_TRUE(view->findBar());
    EXPECT_FALSE(view->findBar()->isHidden());
}
