#pragma once

#include "App/RgbColor.h"
#include "Settings/SkinEffectsSettings.h"

#include <QJsonObject>
#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace Quillaby {

// The Settings window's Effects tab: the screen effects of the active skin, stored per skin name and
// announced (effectsDidChange) at every change, so device windows showing the skin follow live. "Save
// to Skin" bakes the effects, the palette and the cursor colour into the skin's own skin.json when it
// is one of the user's skins.
class EffectsSettingsTab : public QWidget {
    Q_OBJECT

public:
    // "#RRGGBB" from the components times 255, rounded half away from zero; alpha is ignored and
    // components outside 0...1 are held at the ends.
    static QString nsHex(const RgbColor& color);

    // The skin.json of the first folder in the user's skins folder (in listing order) whose "name"
    // is exactly `name`; shipped skins are never found.
    static std::optional<QString> userSkinJSONURL(const QString& name);

    // The palette Save to Skin writes for the skin: a curated override, else the loaded skin's colours,
    // then the cursor override on top. May hold only "cursor", or nothing.
    static QJsonObject paletteObject(const QString& skinName);
    // One group per effect that is on; nothing when all are off. The colour grade is not written.
    static std::optional<QJsonObject> effectsObject(const SkinEffectsSettings& effects);

    explicit EffectsSettingsTab(QWidget* parent = nullptr);

    QString selectedSkin() const { return _selectedSkin; }
    SkinEffectsSettings effects() const { return _effects; }
    QString saveStatus() const { return _saveStatus; }

    // Shows the effects; when they differ from those shown, stores them for the skin and announces
    // them with its name.
    void setEffects(const SkinEffectsSettings& effects);
    // What showing the tab does: follow the active skin and show its stored effects.
    void load();
    // Back to the default effects (stored and announced only when they differ).
    void reset();
    void saveToSkin();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct SliderRow {
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
        double minimum = 0;
        double maximum = 1;
    };

    void showEffects();
    void setStatus(const QString& status);
    QWidget* effectSlider(const QString& label, double minimum, double maximum, SliderRow& row,
                          double SkinEffectsSettings::*field);

    QString _selectedSkin;
    SkinEffectsSettings _effects;
    QString _saveStatus;

    QLabel* _skinName = nullptr;
    QLabel* _status = nullptr;
    QCheckBox* _scanlines = nullptr;
    QWidget* _scanlineDetails = nullptr;
    QComboBox* _scanlineStyle = nullptr;
    QCheckBox* _glow = nullptr;
    QWidget* _glowDetails = nullptr;
    QCheckBox* _curvature = nullptr;
    QWidget* _curvatureDetails = nullptr;
    QComboBox* _colorGrade = nullptr;

    SliderRow _scanlineIntensity;
    SliderRow _glowIntensity;
    SliderRow _curvatureAmount;
};

} // namespace Quillaby
