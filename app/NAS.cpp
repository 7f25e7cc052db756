#include "app/NAS.h"

#include "app/Once.h"
#include "core/copy/MountTable.h"
#include "core/naming/Naming.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>
#include <gio/gio.h>
#include <qcoro/qcorotimer.h>

#include <coroutine>
#include <memory>

namespace tessera {

namespace {

constexpr quint16 smbPort = 445;
constexpr std::chrono::milliseconds cancelPollInterval{100};

// A one-shot answer that racing callbacks deliver and one coroutine awaits. The coroutine is
// resumed from the event loop, never from inside the callback, so that whatever delivered the
// answer (a socket, a timer, a GIO callback) may be destroyed when the coroutine goes on.
template<typename T>
class Outcome
{
public:
    bool give(T value)
    {
        return once.run([&] {
            result = std::move(value);
            if (waiter) {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [handle = std::exchange(waiter, {})] { handle.resume(); },
                    Qt::QueuedConnection);
            }
        });
    }

    bool isGiven() const { return once.isDone(); }

    struct Awaiter
    {
        std::shared_ptr<Outcome> outcome;
        bool await_ready() const { return outcome->result.has_value(); }
        void await_suspend(std::coroutine_handle<> handle) { outcome->waiter = handle; }
        T await_resume() { return *outcome->result; }
    };

private:
    Once once;
    std::optional<T> result;
    std::coroutine_handle<> waiter;
};

template<typename T>
typename Outcome<T>::Awaiter answerOf(const std::shared_ptr<Outcome<T>> &outcome)
{
    return {outcome};
}

// One call of mount(). It lives until both the coroutine and GIO are done with it: GIO's
// completion holds a reference, so a mount that ended early (time-out, cancel) can still
// complete safely later.
class MountAttempt : public std::enable_shared_from_this<MountAttempt>
{
public:
    MountAttempt(NAS::AskCredentials ask, std::function<bool()> isCancelled,
                 std::chrono::milliseconds timeout)
        : outcome(std::make_shared<Outcome<int>>())
        , ask(std::move(ask))
        , isCancelled(std::move(isCancelled))
        , timeout(timeout)
        , cancellable(g_cancellable_new())
        , operation(g_mount_operation_new())
    {
        g_signal_connect(operation, "ask-password", G_CALLBACK(&MountAttempt::onAskPassword), this);
        g_signal_connect(operation, "ask-question", G_CALLBACK(&MountAttempt::onAskQuestion), this);
    }

    ~MountAttempt()
    {
        g_signal_handlers_disconnect_by_data(operation, this);
        g_object_unref(operation);
        g_object_unref(cancellable);
    }

    MountAttempt(const MountAttempt &) = delete;
    MountAttempt &operator=(const MountAttempt &) = delete;

    void start(const QUrl &url)
    {
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, [this] { finish(NAS::timedOut); });
        deadline.start(timeout);
        if (isCancelled) {
            QObject::connect(&cancelPoll, &QTimer::timeout, [this] {
                if (isCancelled())
                    finish(NAS::cancelled);
            });
            cancelPoll.start(cancelPollInterval);
        }
        GFile *file = g_file_new_for_uri(url.toEncoded().constData());
        g_file_mount_enclosing_volume(file, G_MOUNT_MOUNT_NONE, operation, cancellable,
                                      &MountAttempt::onMounted,
                                      new std::shared_ptr<MountAttempt>(shared_from_this()));
        g_object_unref(file);
    }

    std::shared_ptr<Outcome<int>> outcome;

private:
    void finish(int code)
    {
        if (!outcome->give(code))
            return;
        deadline.stop();
        cancelPoll.stop();
        // A sign-in still being asked must not keep the file system service waiting.
        if (askPending) {
            askPending = false;
            g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
        }
        g_cancellable_cancel(cancellable);
    }

    int codeFor(const GError *error) const
    {
        if (error->domain != G_IO_ERROR)
            return NAS::unknownFailure;
        switch (error->code) {
        case G_IO_ERROR_ALREADY_MOUNTED:
            return NAS::mounted;
        case G_IO_ERROR_CANCELLED:
            return NAS::cancelled;
        case G_IO_ERROR_FAILED_HANDLED:
            // Only this code aborts the service's requests: a refused sign-in, a sign-in the editor
            // cancelled, or a question other than a sign-in.
            if (questionDeclined)
                return NAS::gioErrorBase + int(G_IO_ERROR_FAILED_HANDLED);
            return refused ? NAS::refusedSignIn : NAS::cancelled;
        case G_IO_ERROR_PERMISSION_DENIED:
            return NAS::notAllowed;
        default:
            return NAS::gioErrorBase + error->code;
        }
    }

    void askPassword(const char *message, const char *user, const char *domain,
                     GAskPasswordFlags flags)
    {
        if (outcome->isGiven()) {
            g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
            return;
        }
        ++asks;
        // The service asks again only when the credentials it was given were refused. Declining
        // lets GVfs end the attempt itself (FAILED_HANDLED), so that an immediate retry does not
        // meet the attempt still winding down.
        if (asks > 1 || !ask) {
            refused = asks > 1;
            g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
            return;
        }
        askPending = true;
        // The editor's time in the sign-in dialog is not the server's time.
        deadline.stop();
        NAS::SignIn signIn;
        signIn.message = QString::fromUtf8(message);
        signIn.user = QString::fromUtf8(user);
        signIn.domain = QString::fromUtf8(domain);
        signIn.needsUser = flags & G_ASK_PASSWORD_NEED_USERNAME;
        signIn.anonymousAllowed = flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED;
        const std::weak_ptr<MountAttempt> weak = weak_from_this();
        const int thisAsk = asks;
        ask(signIn, [weak, thisAsk](std::optional<NAS::Credentials> credentials) {
            const auto attempt = weak.lock();
            if (!attempt || !attempt->askPending || attempt->asks != thisAsk ||
                attempt->outcome->isGiven())
                return;
            attempt->answer(credentials);
        });
    }

    void answer(const std::optional<NAS::Credentials> &credentials)
    {
        askPending = false;
        deadline.start(timeout);
        if (!credentials) {
            g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
            return;
        }
        if (credentials->anonymous) {
            g_mount_operation_set_anonymous(operation, TRUE);
        } else {
            g_mount_operation_set_anonymous(operation, FALSE);
            g_mount_operation_set_username(operation, credentials->user.toUtf8().constData());
            g_mount_operation_set_password(operation, credentials->password.toUtf8().constData());
            if (!credentials->domain.isEmpty())
                g_mount_operation_set_domain(operation, credentials->domain.toUtf8().constData());
        }
        // The application keeps no passwords; the editor signs in again next time.
        g_mount_operation_set_password_save(operation, G_PASSWORD_SAVE_NEVER);
        g_mount_operation_reply(operation, G_MOUNT_OPERATION_HANDLED);
    }

    static void onAskPassword(GMountOperation *operation, const char *message, const char *user,
                              const char *domain, GAskPasswordFlags flags, gpointer self)
    {
        // GMountOperation's own handler would answer "unhandled" from an idle callback while
        // the sign-in dialog is still open.
        g_signal_stop_emission_by_name(operation, "ask-password");
        static_cast<MountAttempt *>(self)->askPassword(message, user, domain, flags);
    }

    // Nothing but a sign-in is expected from an SMB share; any other question is declined.
    static void onAskQuestion(GMountOperation *operation, const char *, const char **,
                              gpointer self)
    {
        g_signal_stop_emission_by_name(operation, "ask-question");
        static_cast<MountAttempt *>(self)->questionDeclined = true;
        g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
    }

    static void onMounted(GObject *source, GAsyncResult *result, gpointer data)
    {
        const std::unique_ptr<std::shared_ptr<MountAttempt>> holder(
            static_cast<std::shared_ptr<MountAttempt> *>(data));
        MountAttempt &attempt = **holder;
        GError *error = nullptr;
        if (g_file_mount_enclosing_volume_finish(G_FILE(source), result, &error)) {
            attempt.finish(NAS::mounted);
            return;
        }
        const int code = attempt.codeFor(error);
        g_error_free(error);
        attempt.finish(code);
    }

    NAS::AskCredentials ask;
    std::function<bool()> isCancelled;
    std::chrono::milliseconds timeout;
    GCancellable *cancellable;
    GMountOperation *operation;
    QTimer deadline;
    QTimer cancelPoll;
    int asks = 0;
    bool askPending = false;
    bool refused = false;
    bool questionDeclined = false;
};

} // namespace

NAS NAS::defaultNAS()
{
    return NAS{QUrl(QStringLiteral(TESSERA_DEFAULT_NAS_URL))};
}

NAS NAS::forSetting(const QString &nasURL)
{
    // A share name with a space is common and may be written as it reads ("smb://nas/Drop
    // Box") as well as encoded ("Drop%20Box"); a space anywhere else is no address.
    const QString text = nasURL.trimmed();
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() && text.contains(u' ')) {
        url = QUrl(QString(text).replace(u' ', QStringLiteral("%20")), QUrl::StrictMode);
        if (url.host().contains(u' '))
            return defaultNAS();
    }
    if (!url.isValid() || url.scheme().isEmpty())
        return defaultNAS();
    return NAS{url};
}

QString NAS::host() const
{
    return url.host(QUrl::FullyDecoded);
}

QString NAS::share() const
{
    if (isLocalFolder())
        return url.toLocalFile();
    QString path = url.path(QUrl::FullyDecoded);
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    while (path.endsWith(u'/'))
        path.chop(1);
    return path;
}

bool NAS::isLocalFolder() const
{
    return url.isLocalFile();
}

QCoro::Task<NAS::Reach> NAS::reach(std::chrono::milliseconds timeout) const
{
    if (isLocalFolder())
        co_return QFileInfo(url.toLocalFile()).isDir() ? Reach::ok : Reach::unreachable;
    const QString server = host();
    const int port = url.port(smbPort);
    if (server.isEmpty())
        co_return Reach::unreachable;

    const auto outcome = std::make_shared<Outcome<Reach>>();
    QTcpSocket socket;
    QTimer timer;
    QObject::connect(&socket, &QTcpSocket::connected, [outcome] { outcome->give(Reach::ok); });
    QObject::connect(&socket, &QTcpSocket::errorOccurred,
                     [outcome] { outcome->give(Reach::unreachable); });
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the probe must wait the whole time-out.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [outcome] { outcome->give(Reach::unreachable); });
    timer.start(timeout);
    socket.connectToHost(server, quint16(port));
    const Reach answer = co_await answerOf(outcome);
    socket.abort();
    co_return answer;
}

std::optional<QUrl> NAS::mountedDropRoot() const
{
    return mountedDropRoot(isLocalFolder() ? QList<MountEntry>{} : MountTable::current());
}

std::optional<QUrl> NAS::mountedDropRoot(const QList<MountEntry> &table) const
{
    const QList<QUrl> roots =
        isLocalFolder() ? QList<QUrl>{url} : MountTable::mountPoints(host(), share(), table);
    for (const QUrl &root : roots) {
        const QString path = root.toLocalFile() + u'/' + Naming::dropPath.toString();
        if (QFileInfo(path).isDir())
            return QUrl::fromLocalFile(QDir::cleanPath(path) + u'/');
    }
    return std::nullopt;
}

bool NAS::isMounted() const
{
    if (isLocalFolder())
        return QFileInfo(url.toLocalFile()).isDir();
    return !MountTable::mountPoints(host(), share(), MountTable::current()).isEmpty();
}

QCoro::Task<int> NAS::mount(AskCredentials ask, std::function<bool()> isCancelled,
                            std::chrono::milliseconds timeout) const
{
    if (isLocalFolder())
        co_return QFileInfo(url.toLocalFile()).isDir() ? mounted : notFound;
    if (url.scheme() != u"smb" || host().isEmpty())
        co_return notSupported;
    const auto attempt = std::make_shared<MountAttempt>(std::move(ask), isCancelled, timeout);
    attempt->start(url);
    const int code = co_await answerOf(attempt->outcome);
    if (code != mounted)
        co_return code;
    // GVfs reports the mount before its FUSE folder shows it: the FUSE daemon hears of the
    // mount over D-Bus. Only a mount that can be seen is reported as mounted. The share is
    // copied: the caller's may be gone when the wait ends.
    const NAS share = *this;
    for (int wait = 0; !share.isMounted() && wait < 50; ++wait) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
        if (isCancelled && isCancelled())
            co_return cancelled;
    }
    co_return share.isMounted() ? mounted : unknownFailure;
}

QString NAS::mountMessage(int code)
{
    switch (code) {
    case refusedSignIn:
        return QStringLiteral(
            "The NAS didn't accept the login. Ask production for the NAS login and try again.");
    case notAllowed:
        return QStringLiteral(
            "The NAS doesn't allow this account. Ask production to check the login.");
    case cancelled:
    case -128:
        return QStringLiteral(
            "Connecting to the NAS was cancelled. Press Try again and sign in when Tessera asks.");
    default:
        return QStringLiteral("Couldn't connect to the NAS (error %1). Press Try again, or connect "
                              "to it in your file manager first.")
            .arg(code);
    }
}

} // namespace tessera
