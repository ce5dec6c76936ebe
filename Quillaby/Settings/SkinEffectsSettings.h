#pragma once

#include <QString>

namespace Quillaby {

// The screen effects of one skin, as stored per skin name in the settings.
struct SkinEffectsSettings {
    bool scanlines = false;
    double scanlineIntensity = 0.3;
    // "standard", "heavy", "shadowmask" or "rolling" as the Effects tab writes them; kept unchecked.
    QString scanlineStyle = QStringLiteral("standard");
    bool glow = false;
    double glowIntensity = 0.4;
    bool curvature = false;
    double curvatureAmount = 0.15;
    // "none", "amber", "green", "blue" or "cool" as the Effects tab writes them; kept unchecked.
    QString colorGrade = QStringLiteral("none");

    bool operator==(const SkinEffectsSettings&) const = default;
};

} // namespace Quillaby
