#include "core/copy/DiskInspector.h"

#include "core/copy/SafeCopier.h"

#include <QFile>
#include <QMutexLocker>

#include <limits>
#include <sys/stat.h>

namespace tessera {

namespace {

QByteArray nativePath(const QUrl &url)
{
    return QFile::encodeName(url.isLocalFile() ? url.toLocalFile() : url.path());
}

} // namespace

DiskInspector::DiskInspector()
    : DiskInspector([](const QUrl &url) { return SafeCopier::sha256(url); })
{}

DiskInspector::DiskInspector(Hasher hasher)
    : hasher_(std::move(hasher))
{}

bool DiskInspector::exists(const QUrl &url)
{
    struct stat info;
    return ::lstat(nativePath(url).constData(), &info) == 0;
}

DiskInspector::Stamp DiskInspector::stamp(const QUrl &url)
{
    struct stat info;
    // Unreadable attributes never match a record: size -1 and the most distant past.
    if (::stat(nativePath(url).constData(), &info) != 0)
        return {-1, std::numeric_limits<qint64>::min()};
    const qint64 modified =
        static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return {static_cast<qint64>(info.st_size), modified};
}

QString DiskInspector::sha256(const QUrl &url)
{
    const QString key = CopyPlanner::standardizedPath(url);
    const Stamp now = stamp(url);
    {
        QMutexLocker guard(&lock_);
        const auto found = cache_.constFind(key);
        // A file whose attributes cannot be read is never answered from the cache.
        if (now.size >= 0 && found != cache_.constEnd() && found->size == now.size &&
            found->modified == now.modified)
            return found->hash;
    }
    const QString hash = hasher_(url);
    remember(url, hash);
    return hash;
}

void DiskInspector::remember(const QUrl &url, const QString &hash)
{
    const QString key = CopyPlanner::standardizedPath(url);
    const Stamp now = stamp(url);
    QMutexLocker guard(&lock_);
    cache_.insert(key, Record{now.size, now.modified, hash});
}

} // namespace tessera
