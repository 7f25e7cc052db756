// The side of the model that serves the first two steps: taking in files, the Slack user and reel
// lists, and reading every movie on this computer before anything is copied.

#include "app/AppModel.h"
#include "core/copy/CopyPlanner.h"
#include "core/naming/Naming.h"
#include "core/naming/ReelDetector.h"
#include "core/naming/SurfaceMatcher.h"
#include "core/naming/VersionStamp.h"
#include "core/precheck/ByteSource.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QUuid>
#include <QtConcurrent>
#include <qcoro/qcorofuture.h>

#include <algorithm>

namespace tessera {

namespace {

constexpr int maxNameLength = 60;

QString extensionOf(const QUrl &url)
{
    return QFileInfo(url.toLocalFile()).suffix().toLower();
}

// A folder stands for the movies and EDLs directly inside it, in name order.
QList<QUrl> expanded(const QList<QUrl> &urls)
{
    QList<QUrl> result;
    for (const QUrl &url : urls) {
        const QFileInfo info(url.toLocalFile());
        if (!url.isLocalFile() || !info.isDir()) {
            result << url;
            continue;
        }
        QStringList names;
        const QFileInfoList entries =
            QDir(info.filePath()).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            const QString suffix = entry.suffix().toLower();
            if (suffix == u"mov" || suffix == u"edl")
                names << entry.fileName();
        }
        std::sort(names.begin(), names.end());
        for (const QString &name : std::as_const(names))
            result << QUrl::fromLocalFile(QDir(info.filePath()).filePath(name));
    }
    return result;
}

// A file that cannot be opened at all is said to be so, by name; only an opened file whose atom
// chain is incomplete reads as still exporting.
PreCheck::Reading readMovie(const QUrl &url)
{
    FileSource source(url.toLocalFile());
    if (!source.isOpen())
        return PreCheck::Reading::unreadable(QStringLiteral("Tessera can't open ") +
                                             CopyPlanner::fileName(url) + QStringLiteral(": ") +
                                             source.openError());
    return PreCheck::read(source);
}

bool alive(const QPointer<AppModel> &self, const std::shared_ptr<bool> &cancelled)
{
    return self && !*cancelled;
}

} // namespace

struct DropTasks
{
    static QCoro::Task<> loadUsers(QPointer<AppModel> self, AppModel::Task task)
    {
        Result<QList<SlackUser>> result = co_await task.api.slackUsers();
        if (!alive(self, task.cancelled))
            co_return;
        if (result && result.value().isEmpty())
            result = APIError::badResponse();
        if (result) {
            self->m_vx9OK = true;
            const QList<SlackUser> &users = result.value();
            if (self->m_me) {
                const auto same = std::find_if(users.begin(), users.end(), [&](const SlackUser &u) {
                    return u.id == self->m_me->id;
                });
                self->setMe(same == users.end() ? std::nullopt : std::optional(*same));
            }
            self->setUsers(UsersState::loaded, users);
            co_return;
        }
        if (result.error().is<APIError::Unreachable>())
            self->m_vx9OK = false;
        if (self->m_editor.isEmpty() && self->m_me && !self->m_me->realName.isEmpty())
            self->setEditor(self->m_me->realName);
        self->setUsers(UsersState::unavailable, self->m_slackUsers);
    }

    static QCoro::Task<> loadReels(QPointer<AppModel> self, AppModel::Task task)
    {
        const Result<QList<Reel>> result = co_await task.api.reels();
        if (!alive(self, task.cancelled))
            co_return;
        if (!result) {
            if (result.error().is<APIError::Unreachable>())
                self->m_vx9OK = false;
            self->setReelList(self->m_reels, result.error().description(), false);
            co_return;
        }
        self->m_vx9OK = true;
        QList<Reel> reels;
        for (const Reel &reel : result.value())
            if (Naming::isValidReelKey(reel.name))
                reels << reel;
        self->setReelList(reels, std::nullopt, false);
        if (self->m_selectedReel) {
            const auto same = std::find_if(reels.begin(), reels.end(), [&](const Reel &r) {
                return r.id == self->m_selectedReel->id;
            });
            if (same != reels.end())
                self->setSelectedReel(*same);
        }
        if (self->m_step == Step::confirm)
            self->preselectReel();
    }

    static QCoro::Task<> check(QPointer<AppModel> self, AppModel::Task task, QList<QUrl> needed)
    {
        for (const QUrl &url : needed) {
            if (!alive(self, task.cancelled))
                co_return;
            const FileStamp stamp = FileStamp::of(url).value_or(FileStamp::unknown());
            // Named, not awaited as a temporary: gcc 12 destroys such a lambda twice.
            auto job = QtConcurrent::run([url] { return readMovie(url); });
            const PreCheck::Reading reading = co_await job;
            if (!alive(self, task.cancelled))
                co_return;
            self->m_readings.insert(CopyPlanner::standardizedPath(url), {stamp, reading});
            self->invalidate();
        }
        self->setCheckingFiles(false);
    }
};

void AppModel::add(const QList<QUrl> &urls)
{
    if (m_step == Step::copy) {
        if (m_phase.isBusy())
            return;
        setKeptReel(m_selectedReel);
        clearRun();
    }

    QList<DroppedFile> files = m_files;
    QList<QUrl> edls;
    QStringList leftOut;
    for (const QUrl &url : expanded(urls)) {
        const QString extension = extensionOf(url);
        if (extension == u"mov") {
            const bool known = std::any_of(files.begin(), files.end(), [&](const DroppedFile &f) {
                return CopyPlanner::samePath(f.url, url);
            });
            if (!known)
                files << DroppedFile{QUuid::createUuid().toString(QUuid::WithoutBraces), url,
                                     SurfaceMatcher::match(CopyPlanner::fileName(url))};
        } else if (extension == u"edl") {
            edls << url;
        } else {
            leftOut << CopyPlanner::fileName(url);
        }
    }
    setFiles(files);
    if (!edls.isEmpty()) {
        setEDL(edls.first());
        setNewEDL(true);
    }

    QStringList sentences;
    if (edls.size() > 1)
        sentences << QStringLiteral("Drop one EDL at a time. Kept %1.")
                         .arg(CopyPlanner::fileName(edls.first()));
    if (!leftOut.isEmpty()) {
        QString names = leftOut.mid(0, 3).join(QStringLiteral(", "));
        if (leftOut.size() > 3)
            names += QStringLiteral(" and %1 more").arg(leftOut.size() - 3);
        sentences << QStringLiteral("Only .mov and .edl files can go in. Left out: %1.").arg(names);
    }
    setDropMessage(sentences.isEmpty() ? std::nullopt
                                       : std::optional(sentences.join(QStringLiteral(" "))));
}

void AppModel::remove(const DroppedFile &file)
{
    remove(file.id);
}

void AppModel::remove(const QString &fileID)
{
    QList<DroppedFile> files = m_files;
    files.removeIf([&](const DroppedFile &f) { return f.id == fileID; });
    setFiles(files);
}

void AppModel::setSlot(const DroppedFile &file, const std::optional<Slot> &slot)
{
    QList<DroppedFile> files = m_files;
    for (DroppedFile &f : files)
        if (f.id == file.id)
            f.slot = slot;
    setFiles(files);
}

void AppModel::setSurface(const QString &fileID, const QString &surface)
{
    const auto chosen = surfaceFromRawValue(surface);
    setSlot(DroppedFile{fileID, {}, {}},
            chosen ? std::optional(Slot{*chosen, Proxy::full}) : std::nullopt);
}

void AppModel::chooseFiles()
{
    Q_EMIT chooseFilesRequested();
}

void AppModel::pickUser(const QString &id)
{
    for (const SlackUser &user : std::as_const(m_slackUsers))
        if (user.id == id)
            setMe(user);
}

void AppModel::useTypedName(const QString &typed)
{
    const QString name = typed.trimmed().left(maxNameLength);
    if (name.isEmpty())
        return;
    setEditor(name);
    setMe(std::nullopt);
}

void AppModel::loadSlackUsers()
{
    if (m_isDemo)
        return loadDemoLists();
    m_usersTask.cancel();
    setUsers(UsersState::loading, m_slackUsers);
    m_usersTask = newTask();
    DropTasks::loadUsers(this, m_usersTask);
}

void AppModel::loadReels()
{
    if (m_isDemo)
        return loadDemoLists();
    m_reelsTask.cancel();
    setReelList(m_reels, std::nullopt, true);
    m_reelsTask = newTask();
    DropTasks::loadReels(this, m_reelsTask);
}

void AppModel::pickReel(const QString &id)
{
    for (const Reel &reel : std::as_const(m_reels))
        if (reel.id == id)
            setSelectedReel(reel);
}

void AppModel::preselectReel()
{
    if (m_selectedReel || m_keptReel)
        return;
    QStringList names;
    for (const DroppedFile &file : std::as_const(m_files))
        names << CopyPlanner::fileName(file.url);
    const auto suggested = ReelDetector::suggestion(names);
    if (!suggested)
        return;
    for (const Reel &reel : std::as_const(m_reels)) {
        if (reel.name == *suggested) {
            setSelectedReel(reel);
            return;
        }
    }
}

void AppModel::goToConfirm()
{
    if (!canContinue())
        return;
    const QString last = m_defaults->value(QStringLiteral("lastVersion")).toString();
    setVersion(VersionStamp::next(QDateTime::currentDateTime(),
                                  last.isEmpty() ? std::nullopt : std::optional(last)));
    setStep(Step::confirm);
    preselectReel();
    if (m_reels.isEmpty())
        loadReels();
    refreshChecks();
}

void AppModel::backToDrop()
{
    if (m_step == Step::confirm)
        setStep(Step::drop);
}

void AppModel::refreshChecks()
{
    if (!m_isDemo) {
        const auto root = m_nas.mountedDropRoot();
        if (root != m_dropRoot) {
            m_dropRoot = root;
            invalidate();
        }
    }
    QList<QUrl> needed;
    for (const DroppedFile &file : std::as_const(m_files)) {
        const auto stamp = FileStamp::of(file.url);
        const auto found = m_readings.constFind(CopyPlanner::standardizedPath(file.url));
        if (!stamp || found == m_readings.constEnd() || found->stamp != *stamp)
            needed << file.url;
    }
    if (needed.isEmpty())
        return;
    m_checkTask.cancel();
    setCheckingFiles(true);
    m_checkTask = newTask();
    DropTasks::check(this, m_checkTask, needed);
}

} // namespace tessera
