#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;

namespace Quillaby {

// One numbered pill of the session tab strip, or its "+" pill: a small rounded button filled and outlined
// in the palette's foreground. A left press calls onClick at once; a right press offers "Close Tab <label>",
// which calls onRightClick.
class PillButton : public QWidget {
    Q_OBJECT
public:
    // How a pill is drawn in a state: fill and outline alphas of the foreground, and whether the label is
    // black (else the foreground).
    struct Appearance {
        double fillAlpha;
        double outlineAlpha;
        bool blackLabel;
        bool operator==(const Appearance&) const = default;
    };
    static Appearance appearance(bool active, bool hovered);

    explicit PillButton(const QString& label, QWidget* parent = nullptr);

    QString label() const { return _label; }
    void setLabel(const QString& label);
    bool isActive() const { return _isActive; }
    void setActive(bool active);
    QColor paletteForeground() const { return _paletteForeground; }
    void setPaletteForeground(const QColor& color);
    bool isHovered() const { return _isHovered; }

    std::function<void()> onClick;
    std::function<void()> onRightClick;

    // The context menu a right press pops up: one item, "Close Tab " and the label, that calls
    // menuCloseTab().
    std::unique_ptr<QMenu> makeContextMenu();
    void menuCloseTab();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString _label;
    bool _isActive = false;
    QColor _paletteForeground = Qt::white;
    bool _isHovered = false;
};

} // namespace Quillaby
