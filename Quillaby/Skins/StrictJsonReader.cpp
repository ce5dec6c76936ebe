#include "Skins/StrictJsonReader.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace Quillaby {

namespace {

const char* typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return "a boolean";
    case QJsonValue::Double:
        return "a number";
    case QJsonValue::String:
        return "a string";
    case QJsonValue::Array:
        return "an array";
    case QJsonValue::Object:
        return "an object";
    case QJsonValue::Undefined:
        break;
    }
    return "nothing";
}

} // namespace

QJsonObject StrictJsonReader::document(const QByteArray& json) {
    QJsonParseError parseError;
    QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(QStringLiteral("not valid JSON (%1 at offset %2)")
                 .arg(parseError.errorString())
                 .arg(parseError.offset));
        return {};
    }
    if (!document.isObject()) {
        fail(QStringLiteral("the top level is not a JSON object"));
        return {};
    }
    return document.object();
}

QJsonValue StrictJsonReader::required(const QJsonObject& object, const char* key) {
    if (!ok()) return {};
    QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        fail(QStringLiteral("missing"));
        return {};
    }
    if (value.isNull()) {
        fail(QStringLiteral("null where a value is required"));
        return {};
    }
    return value;
}

std::optional<QJsonValue> StrictJsonReader::optional(const QJsonObject& object, const char* key) {
    if (!ok()) return std::nullopt;
    QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) return std::nullopt;
    return value;
}

QString StrictJsonReader::textValue(const QJsonValue& value) {
    if (!ok()) return {};
    if (!value.isString()) {
        fail(wrongType("a string", value));
        return {};
    }
    return value.toString();
}

double StrictJsonReader::numberValue(const QJsonValue& value) {
    if (!ok()) return 0;
    if (!value.isDouble()) {
        fail(wrongType("a number", value));
        return 0;
    }
    return value.toDouble();
}

QString StrictJsonReader::text(const QJsonObject& object, const char* key) {
    Scope scope(*this, key);
    return textValue(required(object, key));
}

std::optional<QString> StrictJsonReader::optionalText(const QJsonObject& object, const char* key) {
    Scope scope(*this, key);
    std::optional<QJsonValue> value = optional(object, key);
    if (!value) return std::nullopt;
    QString result = textValue(*value);
    if (!ok()) return std::nullopt;
    return result;
}

double StrictJsonReader::number(const QJsonObject& object, const char* key) {
    Scope scope(*this, key);
    return numberValue(required(object, key));
}

std::optional<double> StrictJsonReader::optionalNumber(const QJsonObject& object, const char* key) {
    Scope scope(*this, key);
    std::optional<QJsonValue> value = optional(object, key);
    if (!value) return std::nullopt;
    double result = numberValue(*value);
    if (!ok()) return std::nullopt;
    return result;
}

bool StrictJsonReader::flag(const QJsonObject& object, const char* key) {
    Scope scope(*this, key);
    QJsonValue value = required(object, key);
    if (!ok()) return false;
    if (!value.isBool()) {
        fail(wrongType("a boolean", value));
        return false;
    }
    return value.toBool();
}

std::optional<bool> StrictJsonReader::optionalFlag(const QJsonObject& object, const char* key) {
    Scope scope(*this, key);
    std::optional<QJsonValue> value = optional(object, key);
    if (!value) return std::nullopt;
    if (!value->isBool()) {
        fail(wrongType("a boolean", *value));
        return std::nullopt;
    }
    return value->toBool();
}

QString StrictJsonReader::wrongType(const char* expected, const QJsonValue& found) {
    return QStringLiteral("expected %1, found %2")
        .arg(QLatin1String(expected), QLatin1String(typeName(found)));
}

void StrictJsonReader::fail(const QString& problem) {
    if (!ok()) return;
    QString where;
    for (const QString& step : _path) {
        if (!where.isEmpty() && !step.startsWith(QLatin1Char('['))) where += QLatin1Char('.');
        where += step;
    }
    _error = where.isEmpty() ? problem : where + QStringLiteral(": ") + problem;
}

} // namespace Quillaby
