#pragma once

#include <QWidget>

#include <functional>

namespace Quillaby {

// The terminal panel's view: a plain widget that calls onLayout after every change of its size, once
// its own handling is done.
class FlippedContainerView : public QWidget {
    Q_OBJECT
public:
    explicit FlippedContainerView(QWidget* parent = nullptr);

    std::function<void()> onLayout;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace Quillaby
