#include "Windows/FlippedContainerView.h"

#include <QResizeEvent>

namespace Quillaby {

FlippedContainerView::FlippedContainerView(QWidget* parent)
    : QWidget(parent) {}

void FlippedContainerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onLayout) onLayout();
}

} // namespace Quillaby
