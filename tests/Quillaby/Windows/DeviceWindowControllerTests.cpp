#include "Skins/SkinManifest.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "TerminalView.h"

#include <QAction>

#include <gtest/gtest.h>

using namespace Quillaby;

// The terminal view leaves the Ctrl+Shift chord to its window, which runs the edit commands on the
// active session.
TEST(DeviceWindowController, EditShortcutsActOnTheActiveSession) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    ASSERT_TRUE(controller.window());
    QAction* selectAll = nullptr;
    for (QAction* action : controller.window()->actions()) {
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)) selectAll = action;
    }
    ASSERT_TRUE(selectAll);
    Tessaline::TerminalView* view = controller.terminalPanel()->manager().active()->terminal();
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->selectionActive());
    selectAll->trigger();
    EXPECT_TRUE(view->selectionActive());
}
