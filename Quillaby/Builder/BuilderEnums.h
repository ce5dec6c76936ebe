#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>

namespace Quillaby {

// The builder's enumerations. Each case's raw value is its name, which skin.json stores; making one
// from text takes an exact, case-sensitive match.

// What mouse input on the canvas does.
enum class DrawTool {
    viewport,
    button,
    drawerMask,
    drawerViewport,
    imageCropPen,
    imageErasePen,
    magicWand
};

// The device edge a drawer slides out of.
enum class DrawerEdge {
    top,
    bottom,
    left,
    right
};

enum class ButtonShape {
    rect,
    circle
};

// The panel a hardware button is tied to.
enum class PanelType {
    terminal,
    telemetry,
    music,
    widget,
    system,
    claude,
    drawer,
    placeholder
};

template<typename Enum>
struct EnumCases;

template<>
struct EnumCases<DrawTool> {
    static constexpr std::array names{"viewport",     "button",        "drawerMask", "drawerViewport",
                                      "imageCropPen", "imageErasePen", "magicWand"};
};
template<>
struct EnumCases<DrawerEdge> {
    static constexpr std::array names{"top", "bottom", "left", "right"};
};
template<>
struct EnumCases<ButtonShape> {
    static constexpr std::array names{"rect", "circle"};
};
template<>
struct EnumCases<PanelType> {
    static constexpr std::array names{"terminal", "telemetry", "music",  "widget",
                                      "system",   "claude",    "drawer", "placeholder"};
};

static_assert(EnumCases<DrawTool>::names.size() == std::size_t(DrawTool::magicWand) + 1);
static_assert(EnumCases<DrawerEdge>::names.size() == std::size_t(DrawerEdge::right) + 1);
static_assert(EnumCases<ButtonShape>::names.size() == std::size_t(ButtonShape::circle) + 1);
static_assert(EnumCases<PanelType>::names.size() == std::size_t(PanelType::placeholder) + 1);

template<typename Enum>
QString rawValue(Enum value) {
    return QString::fromLatin1(EnumCases<Enum>::names[std::size_t(value)]);
}

template<typename Enum>
std::optional<Enum> enumFromRawValue(QStringView text) {
    const auto& names = EnumCases<Enum>::names;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (text == QLatin1String(names[i])) return Enum(i);
    return std::nullopt;
}

// Every case in declaration order.
template<typename Enum>
constexpr auto allCases() {
    constexpr std::size_t count = EnumCases<Enum>::names.size();
    std::array<Enum, count> cases{};
    for (std::size_t i = 0; i < count; ++i)
        cases[i] = Enum(i);
    return cases;
}

// The tools that draw a pen path: the drawer mask and the two image pens.
constexpr bool isPenTool(DrawTool tool) {
    return tool == DrawTool::drawerMask || tool == DrawTool::imageCropPen || tool == DrawTool::imageErasePen;
}

} // namespace Quillaby
