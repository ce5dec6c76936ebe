#include "Builder/JsonCarryThrough.h"

#include <QJsonObject>
#include <QSet>

namespace Quillaby {

QJsonValue carryThrough(const QJsonValue& original, const QJsonValue& baseline, const QJsonValue& current) {
    if (baseline == current) return original;
    if (!current.isObject() || !original.isObject()) return current;

    const QJsonObject file = original.toObject();
    const QJsonObject before = baseline.isObject() ? baseline.toObject() : QJsonObject();
    const QJsonObject now = current.toObject();
    QSet<QString> keys;
    for (const QJsonObject* object : {&file, &before, &now})
        for (auto it = object->begin(); it != object->end(); ++it)
            keys.insert(it.key());

    QJsonObject merged;
    for (const QString& key : keys) {
        QJsonValue value = carryThrough(file.value(key), before.value(key), now.value(key));
        if (!value.isUndefined()) merged.insert(key, value);
    }
    return merged;
}

} // namespace Quillaby
