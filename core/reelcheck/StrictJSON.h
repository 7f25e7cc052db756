#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QStringList>

#include <optional>

namespace tessera::StrictJSON {

// The document's top level when it is an object; nothing for anything else or for bad JSON.
std::optional<QJsonObject> object(const QByteArray &bytes);
// The document's top level when it is an array.
std::optional<QJsonArray> array(const QByteArray &bytes);

// A JSON number that is a whole value fitting a signed 64-bit integer. 3.5 fails, and so do 1e19
// and 9223372036854775808, which the JSON parser keeps only as doubles.
std::optional<qint64> integer(const QJsonValue &value);
// Every element a string.
std::optional<QStringList> strings(const QJsonValue &value);

// Every element an object that fromObject reads; one bad element fails the whole list.
template<typename T>
std::optional<QList<T>> listOf(const QJsonArray &items,
                               std::optional<T> (*fromObject)(const QJsonObject &))
{
    QList<T> records;
    records.reserve(items.size());
    for (const QJsonValue &item : items) {
        std::optional<T> record =
            item.isObject() ? fromObject(item.toObject()) : std::optional<T>();
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

// The document's top-level object, read by fromObject.
template<typename T>
std::optional<T> read(const QByteArray &bytes, std::optional<T> (*fromObject)(const QJsonObject &))
{
    const std::optional<QJsonObject> top = object(bytes);
    return top ? fromObject(*top) : std::nullopt;
}

// Compact JSON bytes; Qt keeps object keys sorted, which the request bodies rely on.
QByteArray bytes(const QJsonObject &object);

// Reads the fields of one object by the wire rules: a wrong JSON type always fails, also for an
// optional key; a missing or null required key fails; a missing or null optional key is absent.
// Reading goes on after a failure (giving defaults) so callers check ok() once at the end.
class ObjectReader
{
public:
    explicit ObjectReader(QJsonObject object)
        : m_object(std::move(object))
    {}

    bool ok() const { return m_ok; }

    QString requiredString(QLatin1StringView key);
    std::optional<QString> optionalString(QLatin1StringView key);
    QString stringOrEmpty(QLatin1StringView key) { return optionalString(key).value_or(QString()); }

    bool requiredBool(QLatin1StringView key);
    std::optional<bool> optionalBool(QLatin1StringView key);

    std::optional<qint64> optionalInteger(QLatin1StringView key);
    std::optional<double> optionalDouble(QLatin1StringView key);

    QStringList requiredStrings(QLatin1StringView key);
    std::optional<QStringList> optionalStrings(QLatin1StringView key);

    QJsonArray requiredArray(QLatin1StringView key);
    QJsonObject requiredObject(QLatin1StringView key);

private:
    // The converted value; nothing when missing or null (a failure when required) or when the
    // value has the wrong type (always a failure).
    template<typename T>
    std::optional<T> field(QLatin1StringView key, bool required,
                           std::optional<T> (*convert)(const QJsonValue &));

    QJsonObject m_object;
    bool m_ok = true;
};

} // namespace tessera::StrictJSON
