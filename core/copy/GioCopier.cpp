#include "core/copy/GioCopier.h"

#include "core/copy/ChunkBuffers.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/PosixIO.h"
#include "core/copy/Sha256.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <optional>
#include <thread>
#include <vector>

namespace tessera::SafeCopier::Gio {

namespace {

using PosixIO::Original;

[[noreturn]] void failGio(const QString &name, const char *step, const GioError &error)
{
    throw CopyError::io(name, QString::fromLatin1(step).arg(error.text));
}

// What one chunk's write or read on a helper thread came to.
struct Outcome
{
    enum class Lane { write, read };

    qint64 count = 0;
    std::optional<GioError> error;
    Lane lane = Lane::write;
};

// A chunk's job. Shared: the read-back of a chunk waits for its write.
using Job = std::shared_future<Outcome>;

// Runs `work` on a thread of its own once the jobs it waits for have ended, so that each stream
// does one thing at a time, in order. After a failure there it does nothing and passes the
// failure on.
Job after(std::initializer_list<Job> waitFor, Outcome::Lane lane, std::function<qint64()> work)
{
    return std::async(std::launch::async,
                      [waits = std::vector<Job>(waitFor), lane, work = std::move(work)] {
                          for (const Job &job : waits) {
                              if (job.valid() && job.get().error)
                                  return job.get();
                          }
                          try {
                              return Outcome{work(), std::nullopt, lane};
                          } catch (const GioError &error) {
                              return Outcome{0, error, lane};
                          }
                      })
        .share();
}

// The helper threads of one transfer, two jobs deep on each stream. On the way out after a
// failure or a stop, their I/O is cancelled and they are waited for, before the buffers and
// streams they use go away.
struct Lanes
{
    ~Lanes()
    {
        if (std::uncaught_exceptions() > 0)
            cancel.cancel();
    }

    GioCancel cancel;
    std::array<Job, 2> writes;
    std::array<Job, 2> reads;
};

struct Streamed
{
    QString sent;
    QString checked;
    qint64 checkedBytes = 0;
};

// Writes the original to `output` chunk by chunk, hashing it here while the chunk before is
// written. With `input`, every chunk is also read back once its write has returned, while the
// next ones are written. `report` sees the bytes written and read back after each.
Streamed stream(const Original &original, GioOutput &output, GioInput *input, const QString &name,
                const Transfer &report)
{
    const ChunkBuffers outgoing;
    std::optional<ChunkBuffers> incoming;
    if (input)
        incoming.emplace();
    Sha256 sentHash;
    Sha256 checkedHash;
    qint64 read = 0;
    qint64 sent = 0;
    qint64 checked = 0;
    Lanes lanes;

    const auto outcome = [&](const Job &job) {
        const Outcome &done = job.get();
        if (done.error)
            failGio(name,
                    done.lane == Outcome::Lane::write ? "the NAS stopped taking data (%1)"
                                                      : "can't read it (%1)",
                    *done.error);
        return done.count;
    };
    const auto goOn = [&] {
        if (report && !report(sent, checked))
            throw CopyError::cancelled();
    };
    const auto finishWrite = [&](qint64 k) {
        sent += outcome(lanes.writes[k % 2]);
        goOn();
    };
    const auto finishRead = [&](qint64 k) {
        const qint64 count = outcome(lanes.reads[k % 2]);
        checkedHash.update((*incoming)[k], count);
        checked += count;
        goOn();
    };

    qint64 k = 0;
    for (;; ++k) {
        // This buffer's write, two chunks ago, has to be done before it is filled again.
        if (k >= 2)
            finishWrite(k - 2);
        const ssize_t count = PosixIO::readSome(original.fd(), outgoing[k], chunk);
        if (count < 0)
            PosixIO::failIO(name, "can't read the original (%1)", errno);
        if (count == 0)
            break;
        read += count;
        PosixIO::readAhead(original.fd(), read);
        sentHash.update(outgoing[k], count);
        lanes.writes[k % 2] = after({lanes.writes[(k + 1) % 2]}, Outcome::Lane::write,
                                    [&output, data = outgoing[k], count, &lanes] {
                                        output.write(data, count, lanes.cancel.get());
                                        return qint64(count);
                                    });
        if (input) {
            if (k >= 2)
                finishRead(k - 2);
            // Read back only once the server has taken the chunk.
            lanes.reads[k % 2] =
                after({lanes.reads[(k + 1) % 2], lanes.writes[k % 2]}, Outcome::Lane::read,
                      [input, buffer = (*incoming)[k], count, &lanes] {
                          return input->read(buffer, count, lanes.cancel.get());
                      });
        }
    }
    // The writes of the last two chunks (the one before was finished above), then their reads.
    for (qint64 last = k >= 2 ? k - 1 : 0; last < k; ++last)
        finishWrite(last);
    if (input) {
        for (qint64 last = std::max<qint64>(0, k - 2); last < k; ++last)
            finishRead(last);
    }
    return {sentHash.hex(), input ? checkedHash.hex() : QString(), checked};
}

// Our partial file on the share, with the stream that writes it.
struct Partial
{
    QUrl url;
    GioFile file;
    std::optional<GioOutput> output;
};

// Creates a fresh partial file next to `destination`, exclusively, trying five names.
Partial createPartial(const GioFile &destination, const QUrl &to, const QString &name)
{
    constexpr int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        const QUrl url = partialURL(to, newToken());
        GioFile file = destination.sibling(CopyPlanner::fileName(url));
        try {
            GioOutput output = file.create();
            return {url, std::move(file), std::move(output)};
        } catch (const GioError &error) {
            if (!error.is(G_IO_ERROR_EXISTS) || attempt == attempts)
                failGio(name, "can't write to the drop folder (%1)", error);
        }
    }
}

void removeSoon(const GioFile &file)
{
    // A share may refuse for a moment to remove a file its server still holds open.
    for (int attempt = 0; attempt < 10; ++attempt) {
        try {
            file.remove();
            return;
        } catch (const GioError &error) {
            if (error.is(G_IO_ERROR_NOT_FOUND))
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// Removes our own partial file after a failure and turns rename failures into copy errors.
[[noreturn]] void abandon(const GioFile &partial, std::optional<GioOutput> &output,
                          const QString &name)
{
    // Closed first: a share may refuse to remove a file that is still open.
    if (output) {
        try {
            output->close();
        } catch (const GioError &) {
        }
        output.reset();
    }
    removeSoon(partial);
    try {
        throw;
    } catch (const RenameError &error) {
        if (error.kind == RenameError::Kind::exists)
            throw CopyError::appeared(name);
        throw CopyError::io(name, error.text);
    }
}

// Closes the partial file; returns the size the server gives it then.
qint64 finish(Partial &partial, const QString &name)
{
    try {
        partial.output->close();
    } catch (const GioError &error) {
        partial.output.reset();
        failGio(name, "the NAS didn't confirm the write (%1)", error);
    }
    partial.output.reset();
    try {
        return partial.file.size();
    } catch (const GioError &error) {
        failGio(name, "can't see the file (%1)", error);
    }
}

// Reads a file from the server, the next chunk while this one is hashed.
QString readBack(const GioFile &file, const QString &name, const Progress &progress)
{
    std::optional<GioInput> input;
    try {
        input.emplace(file.read());
    } catch (const GioError &error) {
        failGio(name, "can't open it (%1)", error);
    }
    const ChunkBuffers buffers;
    Sha256 hash;
    qint64 total = 0;
    Lanes lanes;
    lanes.reads[0] = after({}, Outcome::Lane::read,
                           [&] { return input->read(buffers[0], chunk, lanes.cancel.get()); });
    for (qint64 k = 0;; ++k) {
        const Outcome done = lanes.reads[k % 2].get();
        if (done.error)
            failGio(name, "can't read it (%1)", *done.error);
        if (done.count == chunk) {
            lanes.reads[(k + 1) % 2] = after({}, Outcome::Lane::read, [&, k] {
                return input->read(buffers[k + 1], chunk, lanes.cancel.get());
            });
        }
        hash.update(buffers[k], done.count);
        total += done.count;
        if (done.count > 0 && progress && !progress(total))
            throw CopyError::cancelled();
        if (done.count < chunk)
            break;
    }
    return hash.hex();
}

void moveIntoPlace(const GioFile &partial, const GioFile &destination)
{
    try {
        partial.moveTo(destination);
    } catch (const GioError &error) {
        if (error.is(G_IO_ERROR_EXISTS))
            throw RenameError::exists();
        throw RenameError::failed(error.text);
    }
}

void refuseTaken(const GioFile &destination, const QString &name)
{
    if (destination.exists())
        throw CopyError::appeared(name);
}

} // namespace

std::optional<GioFile> fileFor(const QUrl &url)
{
    return GioFile::forPath(PosixIO::nativePath(url));
}

Sent send(const GioFile &destination, const QUrl &from, const QUrl &to, const Progress &progress)
{
    const QString name = CopyPlanner::fileName(to);
    refuseTaken(destination, name);
    const Original original(from, name);
    Partial partial = createPartial(destination, to, name);
    try {
        const Streamed streamed =
            stream(original, *partial.output, nullptr, name,
                   [&](qint64 sent, qint64) { return !progress || progress(sent); });
        const qint64 onServer = finish(partial, name);
        const qint64 size = original.unchangedSize();
        if (onServer != size)
            throw CopyError::sizeMismatch(name);
        return Sent{to, partial.url, streamed.sent, size};
    } catch (...) {
        abandon(partial.file, partial.output, name);
    }
}

QString place(const GioFile &partial, const Sent &sent, const Progress &checking)
{
    const QString name = CopyPlanner::fileName(sent.to);
    std::optional<GioOutput> none;
    try {
        if (readBack(partial, name, checking) != sent.digest)
            throw CopyError::hashMismatch(name);
        moveIntoPlace(partial, partial.sibling(name));
        return sent.digest;
    } catch (...) {
        abandon(partial, none, name);
    }
}

QString copyOverlapped(const GioFile &destination, const QUrl &from, const QUrl &to,
                       const Transfer &transfer)
{
    const QString name = CopyPlanner::fileName(to);
    refuseTaken(destination, name);
    const Original original(from, name);
    Partial partial = createPartial(destination, to, name);
    try {
        std::optional<GioInput> input;
        try {
            input.emplace(partial.file.read());
        } catch (const GioError &) {
            // A server that refuses a second handle on a file being written: one after the other.
        }
        const Streamed streamed =
            stream(original, *partial.output, input ? &*input : nullptr, name, transfer);
        const qint64 onServer = finish(partial, name);
        const qint64 size = original.unchangedSize();
        if (onServer != size)
            throw CopyError::sizeMismatch(name);
        QString checked = streamed.checked;
        bool wholeFileChecked = false;
        if (input) {
            // Nothing beyond what was sent: the server's file ends where the copy did.
            char beyond = 0;
            try {
                wholeFileChecked =
                    streamed.checkedBytes == size && input->read(&beyond, 1, nullptr) == 0;
            } catch (const GioError &error) {
                failGio(name, "can't read it (%1)", error);
            }
            // The share refuses to rename a file that is still open.
            input.reset();
        }
        // Without a second stream, or when it came to an end before the bytes whose writes had
        // returned (GVfs's SMB daemon does so on a fast link), the file is read back whole now
        // that the writing is done.
        if (!wholeFileChecked)
            checked = readBack(partial.file, name,
                               [&](qint64 done) { return !transfer || transfer(size, done); });
        if (checked != streamed.sent)
            throw CopyError::hashMismatch(name);
        moveIntoPlace(partial.file, destination);
        return streamed.sent;
    } catch (...) {
        abandon(partial.file, partial.output, name);
    }
}

QString write(const GioFile &destination, const QByteArray &data, const QUrl &to)
{
    const QString name = CopyPlanner::fileName(to);
    refuseTaken(destination, name);
    const QString digest = SafeCopier::sha256(data);
    Partial partial = createPartial(destination, to, name);
    try {
        try {
            partial.output->write(data.constData(), data.size(), nullptr);
        } catch (const GioError &error) {
            failGio(name, "the NAS stopped taking data (%1)", error);
        }
        if (finish(partial, name) != data.size())
            throw CopyError::sizeMismatch(name);
        if (readBack(partial.file, name, {}) != digest)
            throw CopyError::hashMismatch(name);
        moveIntoPlace(partial.file, destination);
        return digest;
    } catch (...) {
        abandon(partial.file, partial.output, name);
    }
}

void discard(const GioFile &partial)
{
    removeSoon(partial);
}

QString sha256(const GioFile &file, const QString &name, const Progress &progress)
{
    return readBack(file, name, progress);
}

void renameNoReplace(const GioFile &from, const GioFile &to)
{
    moveIntoPlace(from, to);
}

} // namespace tessera::SafeCopier::Gio
