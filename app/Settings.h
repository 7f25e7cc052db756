#pragma once

#include <QSettings>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <optional>

namespace tessera {

// The user's settings store, read with the types the model expects: a value of another type
// counts as missing. A demo writes nothing, so the editor's own settings stay as they were.
class Settings
{
public:
    // The user's own store (organisation "Kestrel", application "Tessera") when none is given.
    explicit Settings(std::unique_ptr<QSettings> store = {});

    QString text(const QString &key) const;
    // INI files give a bool back as the text "true" or "false".
    std::optional<bool> flag(const QString &key) const;
    // A valid URL with a scheme.
    std::optional<QUrl> url(const QString &key) const;
    QVariant value(const QString &key) const { return m_store->value(key); }

    // Stores the value, or removes the key for an invalid QVariant.
    void store(const QString &key, const QVariant &value);
    // From now on nothing is written.
    void keepUnchanged() { m_keepUnchanged = true; }

private:
    std::unique_ptr<QSettings> m_store;
    bool m_keepUnchanged = false;
};

} // namespace tessera
