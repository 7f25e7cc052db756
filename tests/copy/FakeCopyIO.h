#pragma once

#include "core/copy/CopyIO.h"

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace tessera::testing {

// A day folder in memory that fails, stalls and recovers on command, for the copier's algorithm.
// Files are keyed by their URL's path. Calls come from the copier's helper threads.
class FakeCopyIO : public CopyIO
{
public:
    enum class Op { exists, create, write, confirm, open, read, size, rename, remove };

    // Test side.
    void put(const QString &path, const QByteArray &bytes)
    {
        std::lock_guard guard(lock_);
        files_[path] = bytes;
    }
    std::optional<QByteArray> contents(const QString &path) const
    {
        std::lock_guard guard(lock_);
        const auto file = files_.find(path);
        return file == files_.end() ? std::nullopt : std::optional(file->second);
    }
    QStringList names() const
    {
        std::lock_guard guard(lock_);
        QStringList names;
        for (const auto &file : files_)
            names << file.first;
        return names;
    }
    // The call of `op` after `after` more calls of it fails with `failure`, once.
    void fail(Op op, IOFailure failure, int after = 0)
    {
        std::lock_guard guard(lock_);
        faults_[op] = {after, std::move(failure)};
    }
    // The next call of `op` blocks, deaf to its cancellable as a POSIX call is, until release().
    void stall(Op op)
    {
        std::lock_guard guard(lock_);
        stall_ = op;
    }
    bool waitUntilStalled()
    {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return stalled_; });
    }
    void release()
    {
        std::lock_guard guard(lock_);
        stall_.reset();
        stalled_ = false;
        changed_.notify_all();
    }
    // Waits until `path` is gone (a removal by the copier's helpers).
    bool waitUntilGone(const QString &path)
    {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30),
                                 [&] { return !files_.count(path); });
    }
    // Reads return the byte at `offset` changed.
    void corruptAt(qint64 offset) { corruptAt_ = offset; }
    // A stream opened on a file being written comes to an end at `offset`, as GVfs's SMB daemon
    // ends one on a fast link.
    void endStreamsBesideWritingAt(qint64 offset) { endBesideAt_ = offset; }
    void setReadsWhileWriting(bool reads) { readsWhileWriting_ = reads; }
    // Called before every call, outside the fake's lock.
    std::function<void(Op, const QString &path)> before;

    int calls(Op op) const
    {
        std::lock_guard guard(lock_);
        return count_.count(op) ? count_.at(op) : 0;
    }
    qint64 bytesRead() const
    {
        std::lock_guard guard(lock_);
        return bytesRead_;
    }

    // The copier's side.
    bool readsWhileWriting() const override { return readsWhileWriting_; }

    bool exists(const QUrl &url, GCancellable *) override
    {
        enter(Op::exists, url.path());
        std::lock_guard guard(lock_);
        return files_.count(url.path());
    }

    std::unique_ptr<Output> create(const QUrl &url, GCancellable *) override
    {
        enter(Op::create, url.path());
        std::lock_guard guard(lock_);
        if (!files_.emplace(url.path(), QByteArray()).second)
            throw IOFailure{IOFailure::Cause::exists, QStringLiteral("File exists")};
        writing_.insert({url.path(), true});
        return std::make_unique<FakeOutput>(*this, url.path());
    }

    std::unique_ptr<Input> read(const QUrl &url, qint64 offset, GCancellable *) override
    {
        enter(Op::open, url.path());
        std::lock_guard guard(lock_);
        if (!files_.count(url.path()))
            throw IOFailure{IOFailure::Cause::notFound, QStringLiteral("No such file")};
        const bool beside = writing_.count(url.path()) > 0;
        return std::make_unique<FakeInput>(*this, url.path(), offset,
                                           beside ? endBesideAt_ : std::optional<qint64>());
    }

    qint64 size(const QUrl &url, GCancellable *) override
    {
        enter(Op::size, url.path());
        std::lock_guard guard(lock_);
        return files_.at(url.path()).size();
    }

    void renameNoReplace(const QUrl &from, const QUrl &to, GCancellable *) override
    {
        enter(Op::rename, from.path());
        std::lock_guard guard(lock_);
        if (files_.count(to.path()))
            throw IOFailure{IOFailure::Cause::exists, QStringLiteral("File exists")};
        files_[to.path()] = files_.at(from.path());
        files_.erase(from.path());
    }

    void remove(const QUrl &url) override
    {
        enter(Op::remove, url.path());
        std::lock_guard guard(lock_);
        if (!files_.erase(url.path()))
            throw IOFailure{IOFailure::Cause::notFound, QStringLiteral("No such file")};
        changed_.notify_all();
    }

private:
    class FakeOutput : public Output
    {
    public:
        FakeOutput(FakeCopyIO &io, const QString &path)
            : io_(io)
            , path_(path)
        {}
        ~FakeOutput() override
        {
            std::lock_guard guard(io_.lock_);
            io_.writing_.erase(path_);
        }
        void write(const char *data, qint64 length, GCancellable *) override
        {
            io_.enter(Op::write, path_);
            std::lock_guard guard(io_.lock_);
            io_.files_.at(path_).append(data, length);
        }
        void confirm() override
        {
            io_.enter(Op::confirm, path_);
            std::lock_guard guard(io_.lock_);
            io_.writing_.erase(path_);
        }

    private:
        FakeCopyIO &io_;
        QString path_;
    };

    class FakeInput : public Input
    {
    public:
        FakeInput(FakeCopyIO &io, const QString &path, qint64 offset, std::optional<qint64> end)
            : io_(io)
            , path_(path)
            , offset_(offset)
            , end_(end)
        {}
        qint64 read(char *buffer, qint64 length, GCancellable *) override
        {
            io_.enter(Op::read, path_);
            std::lock_guard guard(io_.lock_);
            const QByteArray &bytes = io_.files_.at(path_);
            const qint64 end = std::min<qint64>(bytes.size(), end_.value_or(bytes.size()));
            const qint64 count = std::clamp<qint64>(end - offset_, 0, length);
            std::memcpy(buffer, bytes.constData() + offset_, static_cast<size_t>(count));
            if (io_.corruptAt_ >= offset_ && io_.corruptAt_ < offset_ + count)
                buffer[io_.corruptAt_ - offset_] ^= 0x20;
            offset_ += count;
            io_.bytesRead_ += count;
            return count;
        }

    private:
        FakeCopyIO &io_;
        QString path_;
        qint64 offset_;
        std::optional<qint64> end_;
    };

    // Counts the call, then runs the hook, stalls or fails as commanded.
    void enter(Op op, const QString &path)
    {
        if (before)
            before(op, path);
        std::unique_lock guard(lock_);
        ++count_[op];
        if (stall_ == op) {
            stalled_ = true;
            changed_.notify_all();
            changed_.wait(guard, [&] { return !stalled_; });
        }
        const auto fault = faults_.find(op);
        if (fault != faults_.end() && fault->second.first-- == 0) {
            const IOFailure failure = fault->second.second;
            faults_.erase(fault);
            throw failure;
        }
    }

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<QString, QByteArray> files_;
    std::map<QString, bool> writing_;
    std::map<Op, std::pair<int, IOFailure>> faults_;
    std::map<Op, int> count_;
    std::optional<Op> stall_;
    bool stalled_ = false;
    qint64 corruptAt_ = -1;
    std::optional<qint64> endBesideAt_;
    bool readsWhileWriting_ = true;
    qint64 bytesRead_ = 0;
};

} // namespace tessera::testing
