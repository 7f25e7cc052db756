#include "app/Settings.h"

namespace tessera {

Settings::Settings(std::unique_ptr<QSettings> store)
    : m_store(
          store ? std::move(store)
                : std::make_unique<QSettings>(QStringLiteral("Kestrel"), QStringLiteral("Tessera")))
{}

QString Settings::text(const QString &key) const
{
    const QVariant value = m_store->value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

std::optional<bool> Settings::flag(const QString &key) const
{
    const QVariant value = m_store->value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        if (value.toString() == u"true")
            return true;
        if (value.toString() == u"false")
            return false;
    }
    return std::nullopt;
}

std::optional<QUrl> Settings::url(const QString &key) const
{
    const QUrl url(text(key), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

void Settings::store(const QString &key, const QVariant &value)
{
    if (m_keepUnchanged)
        return;
    if (value.isValid())
        m_store->setValue(key, value);
    else
        m_store->remove(key);
    m_store->sync();
}

} // namespace tessera
