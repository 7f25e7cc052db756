#pragma once

#include "core/copy/MountTable.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

namespace tessera {

// The production's file share: where it is, whether its server answers, where its drop folder is
// mounted, and mounting it. Holds nothing but its location. Every operation runs on the main
// thread; the asynchronous ones are coroutines that resume there and copy what they need, so the
// NAS value may go away while they run.
class NAS
{
public:
    // The answer of a probe. There is no local-network permission on Linux, so
    // localNetworkDenied never occurs here.
    enum class Reach { ok, unreachable, localNetworkDenied };

    // What the share's server asks for when it wants a sign-in.
    struct SignIn
    {
        QString message;       // the file server's own wording, for the dialog
        QString user;          // a user name to offer, possibly empty
        QString domain;        // a domain to offer, possibly empty
        bool needsUser = true; // false when the URL already names the user
        bool anonymousAllowed = false;

        friend bool operator==(const SignIn &, const SignIn &) = default;
    };

    struct Credentials
    {
        QString user;
        QString password;
        QString domain;
        bool anonymous = false; // sign in as a guest; user and password are ignored

        friend bool operator==(const Credentials &, const Credentials &) = default;
    };

    // Called on the main thread when the server wants a sign-in. Call answer exactly once, on the
    // main thread, with the credentials, or with nothing when the editor cancels; answering after
    // the mount has ended does nothing.
    using Answer = std::function<void(std::optional<Credentials>)>;
    using AskCredentials = std::function<void(const SignIn &, Answer answer)>;

    // The result codes of mount(). Every failure is non-zero, so "error 0" is never shown.
    enum Code : int {
        mounted = 0,
        refusedSignIn = 80,
        notAllowed = -5999,
        cancelled = 89,
        // Other failures are 1000 plus GIO's error code (GIOErrorEnum), so that a time-out reads
        // as 1024 whether GIO or mount() gave up first.
        gioErrorBase = 1000,
        timedOut = 1024,
        notFound = 1001,      // a file: share whose folder is missing
        notSupported = 1015,  // a URL that is neither smb: nor file:
        unknownFailure = 999, // an error outside GIO's own domain
    };

    // How long mount() waits for the server, not counting the time the sign-in is being asked.
    static constexpr std::chrono::milliseconds mountTimeout{std::chrono::seconds(30)};

    QUrl url;

    // The deployment's default share.
    static NAS defaultNAS();
    // The share named by the setting nasURL, or the default one when it holds no valid URL.
    static NAS forSetting(const QString &nasURL);

    // The file server (empty when the URL has none) and the share name (the path without its
    // leading and trailing "/"). For a file: URL the share is the folder's path.
    QString host() const;
    QString share() const;
    // A file: URL names a local folder that stands for the share's root; nothing is mounted then.
    bool isLocalFolder() const;

    // A TCP connection to port 445 of the host (or the URL's port): ok when it is accepted,
    // unreachable when it fails or after timeout. For a local folder: ok when it exists.
    QCoro::Task<Reach> reach(std::chrono::milliseconds timeout) const;

    // The drop folder under the first mount point of the share that has it.
    std::optional<QUrl> mountedDropRoot() const;
    // The same, looked up in the given mount table rather than the system's.
    std::optional<QUrl> mountedDropRoot(const QList<MountEntry> &table) const;
    // Whether the share is mounted at all.
    bool isMounted() const;

    // Mounts the share through GIO, asking for credentials through ask; 0 when mounted, else a
    // code for mountMessage(). Ends with `cancelled` as soon as isCancelled() turns true (it is
    // polled), and with `timedOut` after mountTimeout without an answer from the server. A mount
    // the server accepted is reported only once it can be seen (isMounted()), waiting up to five
    // seconds for it.
    QCoro::Task<int> mount(AskCredentials ask, std::function<bool()> isCancelled = {},
                           std::chrono::milliseconds timeout = mountTimeout) const;

    // The sentence for a non-zero result code of mount().
    static QString mountMessage(int code);

    friend bool operator==(const NAS &, const NAS &) = default;
};

} // namespace tessera
