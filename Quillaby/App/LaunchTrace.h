#pragma once

#include <QWidget>

namespace Quillaby {

// With QUILLABY_TRACE_LAUNCH=1 in the environment, the milestones of a launch go to standard error as
// "[launch] 123.4 ms shell started", timed from the start of the process, to show where the time before
// the first prompt goes. Otherwise every call returns at once.
class LaunchTrace {
public:
    static bool enabled();
    static void mark(const char* milestone);
    // Marks "prompt painted" at the first paint of the view once the shell has moved the cursor.
    static void watchForPrompt(QWidget* terminalView);
};

} // namespace Quillaby
