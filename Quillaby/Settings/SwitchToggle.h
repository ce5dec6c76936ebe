#pragma once

#include <QCheckBox>

namespace Quillaby {

// An on/off switch with its label at the right: a check box drawn as a sliding pill, so it keeps the
// check box's keyboard handling and signals.
class SwitchToggle : public QCheckBox {
    Q_OBJECT

public:
    explicit SwitchToggle(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& point) const override;
};

} // namespace Quillaby
