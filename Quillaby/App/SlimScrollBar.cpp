#include "App/SlimScrollBar.h"

#include <QScrollBar>

namespace Quillaby {

void styleSlimScrollBar(QScrollBar* bar) {
    bar->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,0.22); border-radius: 4px; min-height: "
        "28px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(255,255,255,0.34); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"
        "QScrollBar:horizontal { background: transparent; height: 10px; margin: 0 2px 2px 2px; }"
        "QScrollBar::handle:horizontal { background: rgba(255,255,255,0.22); border-radius: 4px; min-width: "
        "28px; }"
        "QScrollBar::handle:horizontal:hover { background: rgba(255,255,255,0.34); }"
        "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; }"
        "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: transparent; }"));
}

} // namespace Quillaby
