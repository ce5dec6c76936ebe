#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <type_traits>
#include <utility>

namespace Quillaby {

// Reads typed members out of JSON objects by the one rule set of every skin.json record:
// - a required member must be present, not null and of its JSON type (any JSON number is a number;
//   numbers are never texts or flags, texts never numbers);
// - an optional member may be missing or null, both meaning absent, but present it must have its type;
// - members the record does not name are ignored; keys match exactly;
// - list elements follow the same rules, and one bad element fails the whole list.
//
// The first problem is kept with the path where it happened ("buttons"[1]."label"); every read after it
// returns an empty value, so a record reader runs to its end and the caller checks ok() once.
class StrictJsonReader {
public:
    bool ok() const { return _error.isEmpty(); }
    // "<path>: <problem>", or the problem alone at the top level.
    QString error() const { return _error; }

    // The bytes as one JSON object; an empty object and the error when they are not.
    QJsonObject document(const QByteArray& json);

    QString text(const QJsonObject& object, const char* key);
    std::optional<QString> optionalText(const QJsonObject& object, const char* key);
    double number(const QJsonObject& object, const char* key);
    std::optional<double> optionalNumber(const QJsonObject& object, const char* key);
    bool flag(const QJsonObject& object, const char* key);
    std::optional<bool> optionalFlag(const QJsonObject& object, const char* key);

    // List elements and nested records, read from a value already found.
    QString textValue(const QJsonValue& value);
    double numberValue(const QJsonValue& value);
    template<typename Read>
    auto objectValue(const QJsonValue& value, Read&& read) -> std::invoke_result_t<Read, const QJsonObject&> {
        if (!ok()) return {};
        if (!value.isObject()) {
            fail(wrongType("an object", value));
            return {};
        }
        return read(value.toObject());
    }

    // A nested record: read(object) builds it from the member's object.
    template<typename Read>
    auto object(const QJsonObject& parent, const char* key, Read&& read)
        -> std::invoke_result_t<Read, const QJsonObject&> {
        Scope scope(*this, key);
        QJsonValue value = required(parent, key);
        return objectValue(value, read);
    }
    template<typename Read>
    auto optionalObject(const QJsonObject& parent, const char* key, Read&& read)
        -> std::optional<std::invoke_result_t<Read, const QJsonObject&>> {
        Scope scope(*this, key);
        QJsonValue value = parent.value(QLatin1String(key));
        if (!ok() || value.isUndefined() || value.isNull()) return std::nullopt;
        auto result = objectValue(value, read);
        if (!ok()) return std::nullopt;
        return result;
    }

    // A list: element(value) reads one element, with the element's index on the path.
    template<typename Element>
    auto list(const QJsonObject& parent, const char* key, Element&& element)
        -> QList<std::invoke_result_t<Element, const QJsonValue&>> {
        Scope scope(*this, key);
        return listValue(required(parent, key), element);
    }
    template<typename Element>
    auto optionalList(const QJsonObject& parent, const char* key, Element&& element)
        -> std::optional<QList<std::invoke_result_t<Element, const QJsonValue&>>> {
        Scope scope(*this, key);
        QJsonValue value = parent.value(QLatin1String(key));
        if (!ok() || value.isUndefined() || value.isNull()) return std::nullopt;
        auto result = listValue(value, element);
        if (!ok()) return std::nullopt;
        return result;
    }

    // Element readers for the lists of skin.json.
    auto numberElement() {
        return [this](const QJsonValue& value) { return numberValue(value); };
    }
    auto textElement() {
        return [this](const QJsonValue& value) { return textValue(value); };
    }

private:
    // Puts a key or an index on the path for the reads inside it.
    class Scope {
    public:
        Scope(StrictJsonReader& reader, QString step)
            : _reader(reader) {
            _reader._path.append(std::move(step));
        }
        Scope(StrictJsonReader& reader, const char* key)
            : Scope(reader, QLatin1Char('"') + QLatin1String(key) + QLatin1Char('"')) {}
        ~Scope() { _reader._path.removeLast(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        StrictJsonReader& _reader;
    };

    template<typename Element>
    auto listValue(const QJsonValue& value, Element& element)
        -> QList<std::invoke_result_t<Element, const QJsonValue&>> {
        QList<std::invoke_result_t<Element, const QJsonValue&>> result;
        if (!ok()) return result;
        if (!value.isArray()) {
            fail(wrongType("an array", value));
            return result;
        }
        const QJsonArray array = value.toArray();
        result.reserve(array.size());
        for (qsizetype i = 0; i < array.size() && ok(); ++i) {
            Scope scope(*this, QLatin1Char('[') + QString::number(i) + QLatin1Char(']'));
            result.append(element(array.at(i)));
        }
        if (!ok()) result.clear();
        return result;
    }

    // The member when it is present and not null; records the problem otherwise.
    QJsonValue required(const QJsonObject& object, const char* key);
    // The member, or nothing when it is missing or null.
    std::optional<QJsonValue> optional(const QJsonObject& object, const char* key);
    static QString wrongType(const char* expected, const QJsonValue& found);
    void fail(const QString& problem);

    QStringList _path;
    QString _error;
};

} // namespace Quillaby
