#include "core/copy/SafeCopier.h"

#include "core/copy/ChunkBuffers.h"
#include "core/copy/CopyIO.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/GioCopyIO.h"
#include "core/copy/PosixCopyIO.h"
#include "core/copy/PosixIO.h"
#include "core/copy/Sha256.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tessera {

QString CopyError::description() const
{
    switch (kind) {
    case Kind::io:
        return QStringLiteral("Copying %1 stopped: %2. Files already checked are kept. Press Try "
                              "again to carry on.")
            .arg(name, detail);
    case Kind::sizeMismatch:
        return QStringLiteral("%1 arrived at the wrong size. Press Try again to copy it again.")
            .arg(name);
    case Kind::hashMismatch:
        return QStringLiteral("%1 didn't read back the same as the original. Press Try again to "
                              "copy it again.")
            .arg(name);
    case Kind::appeared:
        return QStringLiteral("Another file called %1 appeared in the drop folder while copying. "
                              "Nothing was overwritten.")
            .arg(name);
    case Kind::cancelled:
        return QStringLiteral("Copy stopped.");
    case Kind::connectionLost:
        return QStringLiteral("The connection to the NAS was lost while copying %1: %2. Files "
                              "already checked are kept. Press Try again once the NAS is back.")
            .arg(name, detail);
    }
    return {};
}

namespace SafeCopier {

QString RenameError::description() const
{
    return kind == Kind::exists ? QStringLiteral("a file with that name already exists") : text;
}

namespace {

using namespace std::chrono_literals;

std::mutex seamLock;
std::function<QString()> tokenSource;
std::shared_ptr<CopyIO> seamIO;

// How the day folder at a URL is reached: through the share's daemon on a GVfs share that GIO
// maps, by plain POSIX calls elsewhere (a local disk, a kernel share, a GVfs mount GIO does not
// map, whose FUSE mount is used then).
std::shared_ptr<CopyIO> ioFor(const QUrl &url)
{
    {
        std::lock_guard guard(seamLock);
        if (seamIO)
            return seamIO;
    }
    const auto strategy = PosixCopyIO::strategyFor(PosixIO::nativePath(url));
    if (strategy == PosixCopyIO::Strategy::gvfsShare) {
        if (auto file = GioCopyIO::fileFor(url))
            return std::make_shared<GioCopyIO>(std::move(*file), url);
    }
    return std::make_shared<PosixCopyIO>(strategy);
}

// The steps of a copy that can fail, each with the detail sentence of its failure. The read-back
// and the reading of the original say where they read, so that an editor can tell the network
// from the disk.
enum class Step {
    exists,
    create,
    readOriginal,
    write,
    confirm,
    size,
    openReadBack,
    readBack,
    rename,
    openToHash,
    readToHash,
};

const char *sentence(Step step)
{
    switch (step) {
    case Step::exists:
    case Step::create:
        return "can't write to the drop folder (%1)";
    case Step::readOriginal:
        return "can't read the original on this computer (%1)";
    case Step::write:
        return "the NAS stopped taking data (%1)";
    case Step::confirm:
        return "the NAS didn't confirm the write (%1)";
    case Step::size:
        return "can't see the file (%1)";
    case Step::openReadBack:
        return "can't open the copy on the NAS to read it back (%1)";
    case Step::readBack:
        return "can't read the copy back from the NAS (%1)";
    case Step::rename:
        return "%1";
    case Step::openToHash:
        return "can't open it (%1)";
    case Step::readToHash:
        return "can't read it (%1)";
    }
    return "%1";
}

// The copy error for a failed step. `streaming`: the call used a stream that had moved bytes
// before, whose handle a share invalidates when its connection broke (EINVAL then).
CopyError failure(const QString &name, Step step, const IOFailure &failed, bool streaming = false)
{
    using Cause = IOFailure::Cause;
    if (step == Step::rename && failed.is(Cause::exists))
        return CopyError::appeared(name);
    if (failed.is(Cause::notAFile))
        return CopyError::io(name, failed.text);
    const QString detail = QString::fromLatin1(sentence(step)).arg(failed.text);
    if (failed.is(Cause::connection) || (streaming && failed.is(Cause::invalid)))
        return CopyError::connectionLost(name, detail);
    return CopyError::io(name, detail);
}

// What one call on a helper thread came to.
struct Outcome
{
    qint64 count = 0;
    std::optional<IOFailure> failed;
    Step step = Step::write;
};

using Job = std::shared_future<Outcome>;

// Runs `work` on a thread of its own (or `inline_`, at once on this one) once the jobs it waits
// for have ended, so that each stream does one thing at a time, in order; after a failure there
// it does nothing and passes the failure on. The thread owns what `work` holds, so that a copy
// can leave a call that hangs on a dead share behind.
Job launch(std::vector<Job> waitFor, Step step, std::function<qint64()> work, bool inline_)
{
    auto promise = std::make_shared<std::promise<Outcome>>();
    Job job = promise->get_future().share();
    auto body = [promise, waits = std::move(waitFor), step, work = std::move(work)] {
        for (const Job &wait : waits) {
            if (wait.valid() && wait.get().failed)
                return promise->set_value(wait.get());
        }
        try {
            promise->set_value(Outcome{work(), std::nullopt, step});
        } catch (const IOFailure &failed) {
            promise->set_value(Outcome{0, failed, step});
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    };
    if (inline_)
        body();
    else
        std::thread(std::move(body)).detach();
    return job;
}

struct GCancellableUnref
{
    void operator()(GCancellable *cancellable) const { g_object_unref(cancellable); }
};

// Everything the helper threads of one copy touch. Shared with them, so that it lives as long as
// the last of them, also one that is left behind.
struct Session
{
    explicit Session(std::shared_ptr<CopyIO> io)
        : io(std::move(io))
        , abort(g_cancellable_new())
    {}

    GCancellable *cancel() const { return abort.get(); }

    std::shared_ptr<CopyIO> io;
    // Ends the calls in flight: cancelled by a stop and on the way out after a failure.
    std::unique_ptr<GCancellable, GCancellableUnref> abort;
    // Set once the partial file is ours (by the thread that created it).
    QUrl partial;
    std::unique_ptr<CopyIO::Output> output;
    std::unique_ptr<CopyIO::Input> input;
    // Allocated on first use. A read-back after the writing reuses the writing's pair; only the
    // read-back beside the writing needs a second one.
    std::unique_ptr<ChunkBuffers> outgoing;
    std::unique_ptr<ChunkBuffers> incoming;
};

// Removes a partial file; a share may refuse for a moment to remove a file its server still
// holds open. True when it is gone.
bool removeSoon(CopyIO &io, const QUrl &partial)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        try {
            io.remove(partial);
            return true;
        } catch (const IOFailure &failed) {
            if (failed.is(IOFailure::Cause::notFound))
                return true;
            // The share is gone: the partial file stays until the run removes it.
            if (failed.is(IOFailure::Cause::connection))
                return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// Where the bytes of a copy come from.
class Source
{
public:
    virtual ~Source() = default;
    // Up to `length` bytes; 0 at the end. Throws CopyError.
    virtual qint64 read(char *buffer, qint64 length) = 0;
    // The size the copy must have. Throws CopyError when the source changed meanwhile.
    virtual qint64 size() const = 0;
};

// The editor's file on this computer.
class FileSource : public Source
{
public:
    FileSource(const QUrl &url, const QString &name)
        : original_(url, name)
        , name_(name)
    {}
    qint64 read(char *buffer, qint64 length) override
    {
        const ssize_t count = PosixIO::readSome(original_.fd(), buffer, length);
        if (count < 0)
            PosixIO::failIO(name_, sentence(Step::readOriginal), errno);
        // Asks for the next chunk while this one is hashed and written, so that the disk keeps
        // working; plain read-ahead alone covers only a fraction of a chunk.
        read_ += count;
        if (count > 0)
            PosixIO::readAhead(original_.fd(), read_);
        return count;
    }
    qint64 size() const override { return original_.unchangedSize(); }

private:
    PosixIO::Original original_;
    QString name_;
    qint64 read_ = 0;
};

class BytesSource : public Source
{
public:
    explicit BytesSource(const QByteArray &data)
        : data_(data)
    {}
    qint64 read(char *buffer, qint64 length) override
    {
        const qint64 count = std::min(length, data_.size() - offset_);
        std::memcpy(buffer, data_.constData() + offset_, static_cast<size_t>(count));
        offset_ += count;
        return count;
    }
    qint64 size() const override { return data_.size(); }

private:
    const QByteArray &data_;
    qint64 offset_ = 0;
};

// What a caller hears about and how it stops a copy.
struct Reports
{
    Transfer transfer;
    Progress sent;
    Progress checked;
    CopyStop stop;
    PartialMade partialMade;
};

struct Streamed
{
    QString sent;
    // Of the bytes read back beside the writing, from the start of the file on.
    std::unique_ptr<Sha256> checkedHash;
    qint64 checked = 0;
};

// The one way a file is placed in the day folder, whatever holds it: refuse a taken name; write a
// partial file made exclusively, hashing what is sent; confirm it; compare sizes; read it back
// from the server and compare digests; give it its final name without replacing anything, and
// not once stopped. On a share every call on the day folder runs on a helper thread that the copy
// waits for while watching the stop, so that a stop ends the copy within a moment even when a
// call hangs on a dead share. On a failure or a stop the partial file is removed: by the time the
// copy returns when that can be done at once, later by the helpers otherwise.
class Placement
{
public:
    Placement(const QUrl &to, Reports reports)
        : name_(CopyPlanner::fileName(to))
        , to_(to)
        , reports_(std::move(reports))
        , session_(std::make_shared<Session>(ioFor(to)))
    {
        handler_ = g_cancellable_connect(reports_.stop.cancellable(), G_CALLBACK(forwardStop),
                                         g_object_ref(session_->cancel()), g_object_unref);
    }
    ~Placement()
    {
        if (handler_)
            g_cancellable_disconnect(reports_.stop.cancellable(), handler_);
    }
    Placement(const Placement &) = delete;
    Placement &operator=(const Placement &) = delete;

    // Refuses a destination that exists, before anything is touched.
    void refuseTaken()
    {
        if (reports_.stop.stopped())
            throw CopyError::cancelled();
        const QUrl to = to_;
        if (call(Step::exists, [to](Session &s) { return qint64(s.io->exists(to, s.cancel())); }))
            throw CopyError::appeared(name_);
    }

    // copy(), copyOverlapped() and write(), after refuseTaken(): the whole way. Returns the
    // digest of what was sent.
    QString place(Source &source, bool overlapped)
    {
        try {
            createPartial();
            if (overlapped && session_->io->readsWhileWriting())
                openBeside();
            Streamed streamed = stream(source);
            const qint64 expected = confirm(source);
            QString checked;
            if (session_->input && wholeFileChecked(streamed, expected)) {
                checked = streamed.checkedHash->hex();
                // The share refuses to rename a file that is still open.
                session_->input.reset();
            } else {
                session_->input.reset();
                checked = readBack(streamed.checked, std::move(streamed.checkedHash), expected);
            }
            if (checked != streamed.sent)
                throw CopyError::hashMismatch(name_);
            rename();
            return streamed.sent;
        } catch (...) {
            abandon();
        }
    }

    Sent send(Source &source)
    {
        try {
            createPartial();
            const Streamed streamed = stream(source);
            const qint64 expected = confirm(source);
            return Sent{to_, session_->partial, streamed.sent, expected};
        } catch (...) {
            abandon();
        }
    }

    QString place(const Sent &sent)
    {
        session_->partial = sent.partial;
        try {
            if (readBack(0, std::make_unique<Sha256>(), sent.size) != sent.digest)
                throw CopyError::hashMismatch(name_);
            rename();
            return sent.digest;
        } catch (...) {
            abandon();
        }
    }

    // The digest of the file at `to`, read past the local cache.
    QString hash()
    {
        return readBack(0, std::make_unique<Sha256>(), -1, Step::openToHash, Step::readToHash);
    }

private:
    static void forwardStop(GCancellable *, gpointer abort)
    {
        g_cancellable_cancel(G_CANCELLABLE(abort));
    }

    void goOn(Step step)
    {
        const bool wanted =
            !reports_.stop.stopped() &&
            (!reports_.transfer || reports_.transfer(sent_, checked_)) &&
            (step != Step::write || !reports_.sent || reports_.sent(sent_)) &&
            (step == Step::write || !reports_.checked || reports_.checked(checked_));
        if (!wanted)
            throw CopyError::cancelled();
    }

    Job run(std::vector<Job> waitFor, Step step, std::function<qint64(Session &)> work)
    {
        Job job = launch(
            std::move(waitFor), step,
            [session = session_, work = std::move(work)] {
                // A job that comes to its turn after the copy was left does nothing.
                if (g_cancellable_is_cancelled(session->cancel()))
                    throw IOFailure{IOFailure::Cause::other, QStringLiteral("stopped")};
                return work(*session);
            },
            !session_->io->callsMayHang());
        inFlight_.push_back(job);
        return job;
    }

    // Waits for a job, watching the stop.
    const Outcome &await(const Job &job) const
    {
        while (job.wait_for(20ms) != std::future_status::ready) {
            if (reports_.stop.stopped())
                throw CopyError::cancelled();
        }
        return job.get();
    }

    // A job's count, or the copy error of its failure.
    qint64 outcome(const Job &job, bool streaming = false)
    {
        const Outcome &done = await(job);
        if (done.failed) {
            if (reports_.stop.stopped())
                throw CopyError::cancelled();
            throw failure(name_, done.step, *done.failed, streaming);
        }
        return done.count;
    }

    qint64 call(Step step, std::function<qint64(Session &)> work)
    {
        return outcome(run({}, step, std::move(work)));
    }

    // Creates a fresh partial file next to the destination, exclusively, trying five names.
    void createPartial()
    {
        constexpr int attempts = 5;
        for (int attempt = 1;; ++attempt) {
            const QUrl url = partialURL(to_, newToken());
            const Outcome &done = await(run({}, Step::create, [url](Session &s) {
                s.output = s.io->create(url, s.cancel());
                s.partial = url;
                return qint64(0);
            }));
            if (!done.failed)
                break;
            if (!done.failed->is(IOFailure::Cause::exists) || attempt == attempts)
                throw failure(name_, Step::create, *done.failed);
        }
        if (reports_.partialMade)
            reports_.partialMade(session_->partial);
    }

    // A second stream on the partial file, to read each chunk back once its write returned.
    void openBeside()
    {
        const QUrl partial = session_->partial;
        const Outcome &done = await(run({}, Step::openReadBack, [partial](Session &s) {
            s.input = s.io->read(partial, 0, s.cancel());
            return qint64(0);
        }));
        // A server that refuses a second handle on a file being written: one after the other.
        if (done.failed && done.failed->is(IOFailure::Cause::connection))
            throw failure(name_, Step::openReadBack, *done.failed);
    }

    // Writes the source to the partial file chunk by chunk, hashing each chunk here while the one
    // before is written. With a second stream, every chunk is also read back once its write has
    // returned, while the next ones are written; when that stream comes to an end early (GVfs's
    // SMB daemon does so on a fast link), reading back carries on after the writing, from where
    // the stream stopped.
    Streamed stream(Source &source)
    {
        Session &session = *session_;
        if (!session.outgoing)
            session.outgoing = std::make_unique<ChunkBuffers>();
        const bool beside = session.input != nullptr;
        if (beside && !session.incoming)
            session.incoming = std::make_unique<ChunkBuffers>();
        Sha256 sentHash;
        auto checkedHash = std::make_unique<Sha256>();
        std::array<Job, 2> writes;
        std::array<Job, 2> reads;
        std::array<qint64, 2> asked{};
        bool ended = !beside;

        const auto finishWrite = [&](qint64 k) {
            sent_ += outcome(writes[k % 2], sent_ > 0);
            goOn(Step::write);
        };
        const auto finishRead = [&](qint64 k) {
            const Job &job = reads[k % 2];
            // After the stream came to an end, what is still in flight is waited for only.
            if (ended) {
                if (job.valid())
                    await(job);
                return;
            }
            if (await(job).failed) {
                // The read-back fails too when a write did: the write is what broke.
                for (const Job &write : writes) {
                    if (write.valid() && write.wait_for(0s) == std::future_status::ready &&
                        write.get().failed)
                        outcome(write, sent_ > 0);
                }
            }
            const qint64 count = outcome(job, checked_ > 0);
            checkedHash->update((*session.incoming)[k], count);
            checked_ += count;
            ended = count < asked[k % 2];
            goOn(Step::readBack);
        };

        qint64 k = 0;
        for (;; ++k) {
            // This buffer's write, two chunks ago, has to be done before it is filled again.
            if (k >= 2)
                finishWrite(k - 2);
            char *data = (*session.outgoing)[k];
            const qint64 count = source.read(data, chunk);
            if (count == 0)
                break;
            sentHash.update(data, count);
            writes[k % 2] = run({writes[(k + 1) % 2]}, Step::write, [data, count](Session &s) {
                s.output->write(data, count, s.cancel());
                return count;
            });
            if (beside) {
                if (k >= 2)
                    finishRead(k - 2);
                if (!ended) {
                    // Read back only once the server has taken the chunk.
                    char *buffer = (*session.incoming)[k];
                    asked[k % 2] = count;
                    reads[k % 2] = run({reads[(k + 1) % 2], writes[k % 2]}, Step::readBack,
                                       [buffer, count](Session &s) {
                                           return s.input->read(buffer, count, s.cancel());
                                       });
                }
            }
        }
        // The writes of the last two chunks (the one before was finished above), then their reads.
        for (qint64 last = k >= 2 ? k - 1 : 0; last < k; ++last)
            finishWrite(last);
        for (qint64 last = std::max<qint64>(0, k - 2); last < k; ++last)
            finishRead(last);
        return {sentHash.hex(), std::move(checkedHash), checked_};
    }

    // Forces the partial file to the server and closes it; compares its size there with the
    // source's, which must not have changed meanwhile. Returns that size.
    qint64 confirm(Source &source)
    {
        call(Step::confirm, [](Session &s) {
            s.output->confirm();
            return qint64(0);
        });
        const QUrl partial = session_->partial;
        const qint64 onServer =
            call(Step::size, [partial](Session &s) { return s.io->size(partial, s.cancel()); });
        const qint64 expected = source.size();
        if (onServer != expected)
            throw CopyError::sizeMismatch(name_);
        return expected;
    }

    // Whether the second stream read the whole file: as many bytes as were sent, and nothing
    // beyond them (the server's file ends where the copy did).
    bool wholeFileChecked(const Streamed &streamed, qint64 expected)
    {
        if (streamed.checked != expected)
            return false;
        auto beyond = std::make_shared<char>();
        return call(Step::readBack, [beyond](Session &s) {
                   return s.input->read(beyond.get(), 1, s.cancel());
               }) == 0;
    }

    // Reads the partial file (or for hash(), the file) from `offset` on, continuing `hash`, the
    // next chunk while this one is hashed; returns the digest. `size` is reported as sent.
    QString readBack(qint64 offset, std::unique_ptr<Sha256> hash, qint64 size,
                     Step open = Step::openReadBack, Step reading = Step::readBack)
    {
        Session &session = *session_;
        // Every write has returned: the writing's buffers serve, one pair for the whole copy.
        if (!session.outgoing && !session.incoming)
            session.incoming = std::make_unique<ChunkBuffers>();
        const ChunkBuffers &buffers = session.outgoing ? *session.outgoing : *session.incoming;
        const QUrl url = session.partial.isEmpty() ? to_ : session.partial;
        call(open, [url, offset](Session &s) {
            s.input = s.io->read(url, offset, s.cancel());
            return qint64(0);
        });
        sent_ = std::max<qint64>(sent_, size);
        checked_ = offset;
        const auto next = [&](qint64 k) {
            return run({}, reading, [buffer = buffers[k]](Session &s) {
                return s.input->read(buffer, chunk, s.cancel());
            });
        };
        Job job = next(0);
        for (qint64 k = 0;; ++k) {
            const qint64 count = outcome(job, true);
            if (count == chunk)
                job = next(k + 1);
            hash->update(buffers[k], count);
            checked_ += count;
            if (count > 0)
                goOn(reading);
            if (count < chunk)
                break;
        }
        session.input.reset();
        return hash->hex();
    }

    // Gives the partial file its final name, never replacing anything, and not once stopped.
    void rename()
    {
        if (reports_.stop.stopped())
            throw CopyError::cancelled();
        const QUrl partial = session_->partial;
        const QUrl to = to_;
        call(Step::rename, [partial, to](Session &s) {
            s.io->renameNoReplace(partial, to, s.cancel());
            s.partial.clear();
            return qint64(0);
        });
    }

    // After a failure or a stop: ends the calls in flight and removes the partial file once they
    // have ended, on a thread of its own. Waits for that unless the copy was stopped or the
    // share is gone; then it waits a moment only, so that a stop is not held up by a dead share.
    [[noreturn]] void abandon()
    {
        const std::exception_ptr error = std::current_exception();
        g_cancellable_cancel(session_->cancel());
        auto cleaned = std::make_shared<std::promise<void>>();
        std::future<void> done = cleaned->get_future();
        std::thread([session = session_, jobs = std::move(inFlight_), cleaned] {
            for (const Job &job : jobs)
                job.wait();
            session->input.reset();
            session->output.reset();
            if (!session->partial.isEmpty())
                removeSoon(*session->io, session->partial);
            cleaned->set_value();
        }).detach();
        session_.reset();

        bool hurried = reports_.stop.stopped();
        try {
            std::rethrow_exception(error);
        } catch (const CopyError &failed) {
            hurried = hurried || failed.kind == CopyError::Kind::cancelled ||
                      failed.kind == CopyError::Kind::connectionLost;
        } catch (...) {
        }
        if (hurried)
            done.wait_for(500ms);
        else {
            while (done.wait_for(20ms) != std::future_status::ready && !reports_.stop.stopped()) {
            }
        }
        std::rethrow_exception(error);
    }

    QString name_;
    QUrl to_;
    Reports reports_;
    std::shared_ptr<Session> session_;
    std::vector<Job> inFlight_;
    gulong handler_ = 0;
    qint64 sent_ = 0;
    qint64 checked_ = 0;
};

Reports reportsOf(const Control &control)
{
    return {control.transfer, {}, {}, control.stop, control.partialMade};
}

} // namespace

QString copy(const QUrl &from, const QUrl &to, const Progress &progress, const Progress &checking)
{
    Placement placement(to, Reports{{}, progress, checking, {}, {}});
    placement.refuseTaken();
    FileSource source(from, CopyPlanner::fileName(to));
    return placement.place(source, false);
}

Sent send(const QUrl &from, const QUrl &to, const Progress &progress)
{
    Placement placement(to, Reports{{}, progress, {}, {}, {}});
    placement.refuseTaken();
    FileSource source(from, CopyPlanner::fileName(to));
    return placement.send(source);
}

QString place(const Sent &sent, const Progress &checking)
{
    return Placement(sent.to, Reports{{}, {}, checking, {}, {}}).place(sent);
}

void discard(const Sent &sent) noexcept
{
    // A partial file that cannot be removed stays under its partial name, as after a crash.
    try {
        removeSoon(*ioFor(sent.partial), sent.partial);
    } catch (...) {
    }
}

QString copyOverlapped(const QUrl &from, const QUrl &to, const Transfer &transfer)
{
    return copyOverlapped(from, to, Control{transfer, {}, {}});
}

QString copyOverlapped(const QUrl &from, const QUrl &to, const Control &control)
{
    Placement placement(to, reportsOf(control));
    placement.refuseTaken();
    FileSource source(from, CopyPlanner::fileName(to));
    return placement.place(source, true);
}

QString write(const QByteArray &data, const QUrl &to)
{
    return write(data, to, Control{});
}

QString write(const QByteArray &data, const QUrl &to, const Control &control)
{
    BytesSource source(data);
    Placement placement(to, reportsOf(control));
    placement.refuseTaken();
    return placement.place(source, false);
}

bool removePartial(const QUrl &partial, const CopyStop &stop) noexcept
{
    static const QRegularExpression shape(QStringLiteral("^.+\\.[0-9a-f]{12}\\.partial$"));
    if (!shape.match(partial.fileName()).hasMatch() || stop.stopped())
        return false;
    try {
        auto removed = std::make_shared<std::promise<bool>>();
        std::future<bool> done = removed->get_future();
        std::thread([io = ioFor(partial), partial, removed] {
            removed->set_value(removeSoon(*io, partial));
        }).detach();
        while (done.wait_for(20ms) != std::future_status::ready) {
            if (stop.stopped())
                return false;
        }
        return done.get();
    } catch (...) {
        return false;
    }
}

void renameNoReplace(const QUrl &from, const QUrl &to)
{
    try {
        ioFor(from)->renameNoReplace(from, to, nullptr);
    } catch (const IOFailure &failed) {
        if (failed.is(IOFailure::Cause::exists))
            throw RenameError::exists();
        throw RenameError::failed(failed.text);
    }
}

QString sha256(const QUrl &url, const std::optional<QString> &name, const Progress &progress)
{
    Placement reading(url, Reports{{}, {}, progress, {}, {}});
    try {
        return reading.hash();
    } catch (CopyError &error) {
        error.name = name.value_or(error.name);
        throw;
    }
}

QString sha256(const QByteArray &data)
{
    Sha256 hash;
    hash.update(data.constData(), data.size());
    return hash.hex();
}

qint64 size(const QUrl &url, const std::optional<QString> &name)
{
    try {
        return ioFor(url)->size(url, nullptr);
    } catch (const IOFailure &failed) {
        throw failure(name.value_or(CopyPlanner::fileName(url)), Step::size, failed);
    }
}

QUrl partialURL(const QUrl &destination, const QString &token)
{
    const QString path = destination.isLocalFile() ? destination.toLocalFile() : destination.path();
    return QUrl::fromLocalFile(path + u'.' + token + partialSuffix.toString());
}

QString newToken()
{
    {
        std::lock_guard guard(seamLock);
        if (tokenSource)
            return tokenSource();
    }
    const quint64 random = QRandomGenerator::system()->generate64() >> 16;
    return QString::asprintf("%012llx", static_cast<unsigned long long>(random));
}

namespace Testing {

void setTokenSource(std::function<QString()> source)
{
    std::lock_guard guard(seamLock);
    tokenSource = std::move(source);
}

void setIO(std::shared_ptr<CopyIO> io)
{
    std::lock_guard guard(seamLock);
    seamIO = std::move(io);
}

} // namespace Testing
} // namespace SafeCopier
} // namespace tessera
