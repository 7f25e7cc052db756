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

std::optional<QJsonValue> ObjectReader::present(QLatin1StringView key, bool required)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        if (required)
            m_ok = false;
        return std::nullopt;
    }
    return value;
}

QString ObjectReader::requiredString(QLatin1StringView key)
{
    const auto value = present(key, true);
    if (!value)
        return {};
    if (!value->isString())
        return fail<QString>();
    return value->toString();
}

std::optional<QString> ObjectReader::optionalString(QLatin1StringView key)
{
    const auto value = present(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isString())
        return fail<std::optional<QString>>();
    return value->toString();
}

bool ObjectReader::requiredBool(QLatin1StringView key)
{
    const auto value = present(key, true);
    if (!value)
        return false;
    if (!value->isBool())
        return fail<bool>();
    return value->toBool();
}

std::optional<bool> ObjectReader::optionalBool(QLatin1StringView key)
{
    const auto value = present(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isBool())
        return fail<std::optional<bool>>();
    return value->toBool();
}

std::optional<qint64> ObjectReader::optionalInteger(QLatin1StringView key)
{
    const auto value = present(key, false);
    if (!value)
        return std::nullopt;
    const auto number = integer(*value);
    if (!number)
        return fail<std::optional<qint64>>();
    return number;
}

std::optional<double> ObjectReader::optionalDouble(QLatin1StringView key)
{
    const auto value = present(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isDouble() || !std::isfinite(value->toDouble()))
        return fail<std::optional<double>>();
    return value->toDouble();
}

QStringList ObjectReader::requiredStrings(QLatin1StringView key)
{
    const auto value = present(key, true);
    if (!value)
        return {};
    auto list = strings(*value);
    if (!list)
        return fail<QStringList>();
    return *list;
}

std::optional<QStringList> ObjectReader::optionalStrings(QLatin1StringView key)
{
    const auto value = present(key, false);
    if (!value)
        return std::nullopt;
    auto list = strings(*value);
    if (!list)
        return fail<std::optional<QStringList>>();
    return list;
}

QJsonArray ObjectReader::requiredArray(QLatin1StringView key)
{
    const auto value = present(key, true);
    if (!value)
        return {};
    if (!value->isArray())
        return fail<QJsonArray>();
    return value->toArray();
}

QJsonObject ObjectReader::requiredObject(QLatin1StringView key)
{
    const auto value = present(key, true);
    if (!value)
        return {};
    if (!value->isObject())
        return fail<QJsonObject>();
    return value->toObject();
}

} // namespace tessera::StrictJSON
