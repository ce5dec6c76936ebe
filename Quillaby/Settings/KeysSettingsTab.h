#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

namespace Quillaby {

// The Settings window's Keys tab: the application's shortcuts, for reading only. It binds no key and
// changes no setting.
class KeysSettingsTab : public QWidget {
    Q_OBJECT

public:
    using Binding = QPair<QString, QString>;

    // Action first, keys second, in the order shown; the keys as the application binds them here.
    static const QList<Binding>& standardBindings();

    explicit KeysSettingsTab(QList<Binding> bindings, QWidget* parent = nullptr);

    const QList<Binding>& bindings() const { return _bindings; }

private:
    QList<Binding> _bindings;
};

} // namespace Quillaby
