#pragma once

#include "Builder/BuilderEnums.h"

#include <QRectF>
#include <QString>
#include <QUuid>

namespace Quillaby {

// One hardware button of the skin being built, in image points. Identified by id in lists.
struct ButtonDef {
    QUuid id = QUuid::createUuid();
    QRectF rect;
    // Empty for a button drawn on the canvas.
    QString label;
    ButtonShape shape = ButtonShape::rect;
    PanelType defaultPanel = PanelType::placeholder;
    // The key the button stands for; empty for a drawn button.
    QString key;

    bool operator==(const ButtonDef&) const = default;
};

} // namespace Quillaby
