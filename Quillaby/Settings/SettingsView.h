#pragma once

#include <QWidget>

class QTabWidget;

namespace Quillaby {

class SettingsViewModel;

// The Settings window's content: one tab view, inset 16 points, with the About, General, Skins,
// Effects and Keys tabs. It owns the model the General and Skins tabs share.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    explicit SettingsView(QWidget* parent = nullptr);
    ~SettingsView() override;

    SettingsViewModel& model() const { return *_model; }
    QTabWidget* tabs() const { return _tabs; }

private:
    SettingsViewModel* _model = nullptr;
    QTabWidget* _tabs = nullptr;
};

} // namespace Quillaby
