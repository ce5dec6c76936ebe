#pragma once

class QScrollBar;

namespace Quillaby {

// A slim vertical scroll bar for the application's dark surfaces (the picker, the command palette),
// where the desktop style's light one would glare.
void styleSlimScrollBar(QScrollBar* bar);

} // namespace Quillaby
