#pragma once

class QScrollBar;

namespace Quillaby {

// A slim scroll bar, either way, for the application's dark surfaces (the picker, the command palette,
// the builder's canvas), where the desktop style's light one would glare.
void styleSlimScrollBar(QScrollBar* bar);

} // namespace Quillaby
