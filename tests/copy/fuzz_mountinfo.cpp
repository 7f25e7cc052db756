// Mount table text and mount sources: any bytes give entries or nothing, never a crash.
#include "core/copy/MountTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<tessera::MountEntry> entries = tessera::MountTable::fromMountInfo(bytes);

    // The first two lines are a host and a share; the rest a mount source.
    const QList<QByteArray> parts = bytes.split('\n');
    const QString host = QString::fromUtf8(parts.value(0));
    const QString share = QString::fromUtf8(parts.value(1));
    const QString from =
        QString::fromUtf8(bytes.mid(parts.value(0).size() + parts.value(1).size() + 2));
    const bool matches = tessera::MountTable::source(from, host, share);

    const QList<QUrl> points = tessera::MountTable::mountPoints(host, share, entries);
    if (points.size() > entries.size())
        __builtin_trap();
    if (matches && !tessera::MountTable::source(from, host.toLower(), share.toLower()))
        __builtin_trap(); // host and share are compared without regard to case
    return 0;
}
