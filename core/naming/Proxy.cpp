#include "core/naming/Proxy.h"

namespace tessera {

QString label(Proxy proxy)
{
    if (proxy == Proxy::full)
        return QStringLiteral("Full size");
    return QStringLiteral("Proxy ") + QString::number(rawValue(proxy));
}

std::optional<Proxy> proxyFromRawValue(long long raw)
{
    for (Proxy proxy : allProxies) {
        if (raw == rawValue(proxy))
            return proxy;
    }
    return std::nullopt;
}

} // namespace tessera
