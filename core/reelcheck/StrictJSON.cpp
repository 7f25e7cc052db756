#include "core/reelcheck/StrictJSON.h"

#include <QCborValue>
#include <QJsonDocument>

#include <cmath>

namespace tessera::StrictJSON {

namespace {

std::optional<QJsonDocument> document(const QByteArray &bytes)
{
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return doc;
}

} // namespace

std::optional<QJsonObject> object(const QByteArray &bytes)
{
    const auto doc = document(bytes);
    if (!doc || !doc->isObject())
        return std::nullopt;
    return doc->object();
}

std::optional<QJsonArray> array(const QByteArray &bytes)
{
    const auto doc = document(bytes);
    if (!doc || !doc->isArray())
        return std::nullopt;
    return doc->array();
}

std::optional<qint64> integer(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // Qt's parser keeps a number as an exact integer when its text is a whole number that fits,
    // or when its value is whole and fits (12.0); 7.5, 1e19 and 9223372036854775808 stay doubles.
    const QCborValue cbor = QCborValue::fromJsonValue(value);
    if (!cbor.isInteger())
        return std::nullopt;
    return cbor.toInteger();
}

std::optional<QStringList> strings(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray items = value.toArray();
    QStringList result;
    result.reserve(items.size());
    for (const QJsonValue &item : items) {
        if (!item.isString())
            return std::nullopt;
        result.append(item.toString());
    }
    return result;
}

QByteArray bytes(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

namespace {

std::optional<QString> asString(const QJsonValue &v)
{
    return v.isString() ? std::optional(v.toString()) : std::nullopt;
}

std::optional<bool> asBool(const QJsonValue &v)
{
    return v.isBool() ? std::optional(v.toBool()) : std::nullopt;
}

std::optional<double> asFiniteDouble(const QJsonValue &v)
{
    return v.isDouble() && std::isfinite(v.toDouble()) ? std::optional(v.toDouble()) : std::nullopt;
}

std::optional<QJsonArray> asArray(const QJsonValue &v)
{
    return v.isArray() ? std::optional(v.toArray()) : std::nullopt;
}

std::optional<QJsonObject> asObject(const QJsonValue &v)
{
    return v.isObject() ? std::optional(v.toObject()) : std::nullopt;
}

} // namespace

template<typename T>
std::optional<T> ObjectReader::field(QLatin1StringView key, bool required,
                                     std::optional<T> (*convert)(const QJsonValue &))
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        if (required)
            m_ok = false;
        return std::nullopt;
    }
    std::optional<T> converted = convert(value);
    if (!converted)
        m_ok = false;
    return converted;
}

QString ObjectReader::requiredString(QLatin1StringView key)
{
    return field(key, true, &asString).value_or(QString());
}

std::optional<QString> ObjectReader::optionalString(QLatin1StringView key)
{
    return field(key, false, &asString);
}

bool ObjectReader::requiredBool(QLatin1StringView key)
{
    return field(key, true, &asBool).value_or(false);
}

std::optional<bool> ObjectReader::optionalBool(QLatin1StringView key)
{
    return field(key, false, &asBool);
}

std::optional<qint64> ObjectReader::optionalInteger(QLatin1StringView key)
{
    return field(key, false, &integer);
}

std::optional<double> ObjectReader::optionalDouble(QLatin1StringView key)
{
    return field(key, false, &asFiniteDouble);
}

QStringList ObjectReader::requiredStrings(QLatin1StringView key)
{
    return field(key, true, &strings).value_or(QStringList());
}

std::optional<QStringList> ObjectReader::optionalStrings(QLatin1StringView key)
{
    return field(key, false, &strings);
}

QJsonArray ObjectReader::requiredArray(QLatin1StringView key)
{
    return field(key, true, &asArray).value_or(QJsonArray());
}

QJsonObject ObjectReader::requiredObject(QLatin1StringView key)
{
    return field(key, true, &asObject).value_or(QJsonObject());
}

} // namespace tessera::StrictJSON
