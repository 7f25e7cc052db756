#pragma once

#include "core/copy/CopyPlanner.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <functional>

namespace tessera {

// The planner's view of the NAS. Remembers digests by path, size and modification time so that
// unchanged multi-gigabyte files are not read again. Safe to share between the planning and the
// copy task: the cache is touched only under its lock, and hashing happens outside it.
class DiskInspector : public FileInspector
{
public:
    using Hasher = std::function<QString(const QUrl &)>;

    // Hashes with SafeCopier::sha256.
    DiskInspector();
    // Hashes with `hasher` (tests count the files read this way).
    explicit DiskInspector(Hasher hasher);

    bool exists(const QUrl &url) override;
    QString sha256(const QUrl &url) override;
    void remember(const QUrl &url, const QString &hash);

private:
    struct Record
    {
        qint64 size = -1;
        qint64 modified = 0; // nanoseconds since the epoch
        QString hash;
    };
    struct Stamp
    {
        qint64 size;
        qint64 modified;
    };
    static Stamp stamp(const QUrl &url);

    Hasher hasher_;
    QMutex lock_;
    QHash<QString, Record> cache_;
};

} // namespace tessera
