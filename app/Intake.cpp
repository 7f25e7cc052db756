#include "app/Intake.h"

#include "app/Change.h"
#include "app/ModelRows.h"
#include "app/RunState.h"
#include "core/copy/CopyPlanner.h"
#include "core/naming/SurfaceMatcher.h"
#include "core/precheck/ByteSource.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <QtConcurrent>
#include <qcoro/qcorofuture.h>

#include <algorithm>

namespace tessera {

namespace {

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

// A file that cannot be opened at all is said to be so, by name; an opened one is judged by what
// it holds (a movie, one still being exported, or no movie at all).
PreCheck::Reading readMovie(const QUrl &url)
{
    FileSource source(url.toLocalFile());
    if (!source.isOpen())
        return PreCheck::Reading::unreadable(QStringLiteral("Tessera can't open ") +
                                             CopyPlanner::fileName(url) + QStringLiteral(": ") +
                                             source.openError());
    return PreCheck::read(source);
}

QList<QUrl> locations(const QList<DroppedFile> &files)
{
    QList<QUrl> result;
    for (const DroppedFile &file : files)
        result << file.url;
    return result;
}

QStringList names(const QList<DroppedFile> &files)
{
    QStringList result;
    for (const DroppedFile &file : files)
        result << CopyPlanner::fileName(file.url);
    return result;
}

} // namespace

Intake::Intake(DropFolderLookup lookup, QObject *parent)
    : QObject(parent)
    , m_lookup(std::move(lookup))
    , m_filesModel(new KeyedListModel(ModelRows::droppedFileRoles(), this))
{}

Intake::~Intake()
{
    m_task.cancel();
}

QStringList Intake::fileNames() const
{
    return names(m_files);
}

void Intake::setFiles(QList<DroppedFile> files)
{
    if (m_files == files)
        return;
    const bool namesDiffer = names(m_files) != names(files);
    const bool locationsDiffer = locations(m_files) != locations(files);
    m_files = std::move(files);
    QList<KeyedListModel::Row> rows;
    for (const DroppedFile &file : std::as_const(m_files))
        rows << ModelRows::droppedFile(file);
    m_filesModel->setRows(rows);
    Q_EMIT filesChanged();
    if (namesDiffer)
        Q_EMIT namesChanged();
    if (locationsDiffer)
        Q_EMIT locationsChanged();
}

void Intake::setDropped(QList<DroppedFile> files, const std::optional<QUrl> &edl)
{
    setFiles(std::move(files));
    setEDL(edl);
}

void Intake::setEDL(const std::optional<QUrl> &edl)
{
    if (change(m_edl, edl))
        Q_EMIT edlChanged();
}

void Intake::setDropMessage(const std::optional<QString> &message)
{
    if (change(m_dropMessage, message))
        Q_EMIT dropMessageChanged();
}

void Intake::setCheckingFiles(bool checking)
{
    if (change(m_checkingFiles, checking))
        Q_EMIT checkingFilesChanged();
}

void Intake::setExportSizes(const ExportRules::SizeTable &sizes)
{
    m_exportSizes = sizes;
    Q_EMIT checksChanged();
}

void Intake::setDropRoot(const std::optional<QUrl> &root)
{
    if (change(m_dropRoot, root))
        Q_EMIT checksChanged();
}

void Intake::add(const QList<QUrl> &urls)
{
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
        Q_EMIT edlDropped();
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

void Intake::remove(const DroppedFile &file)
{
    remove(file.id);
}

void Intake::remove(const QString &fileID)
{
    QList<DroppedFile> files = m_files;
    files.removeIf([&](const DroppedFile &f) { return f.id == fileID; });
    setFiles(files);
}

void Intake::removeEDL()
{
    if (!m_edl)
        return;
    setEDL(std::nullopt);
    Q_EMIT edlRemoved();
}

void Intake::setSlot(const DroppedFile &file, const std::optional<Slot> &slot)
{
    QList<DroppedFile> files = m_files;
    for (DroppedFile &f : files)
        if (f.id == file.id)
            f.slot = slot;
    setFiles(files);
}

void Intake::setSurface(const QString &fileID, const QString &surface)
{
    const auto chosen = surfaceFromRawValue(surface);
    setSlot(DroppedFile{fileID, {}, {}},
            chosen ? std::optional(Slot{*chosen, Proxy::full}) : std::nullopt);
}

void Intake::chooseFiles()
{
    Q_EMIT chooseFilesRequested();
}

void Intake::clear()
{
    setFiles({});
    setEDL(std::nullopt);
    setDropMessage(std::nullopt);
}

void Intake::relocate(const QList<std::pair<QUrl, QUrl>> &moves)
{
    QList<DroppedFile> files = m_files;
    std::optional<QUrl> edl = m_edl;
    relocateFiles(files, edl, moves);
    setFiles(files);
    setEDL(edl);
}

void Intake::refreshChecks()
{
    setDropRoot(m_lookup ? m_lookup() : std::nullopt);
    QList<QUrl> needed;
    for (const DroppedFile &file : std::as_const(m_files)) {
        const auto stamp = FileStamp::of(file.url);
        const auto found = m_readings.constFind(CopyPlanner::standardizedPath(file.url));
        if (!stamp || found == m_readings.constEnd() || found->stamp != *stamp)
            needed << file.url;
    }
    if (needed.isEmpty())
        return;
    m_task.cancel();
    setCheckingFiles(true);
    m_task = Task{};
    check(this, m_task, needed);
}

QCoro::Task<> Intake::check(QPointer<Intake> self, Task task, QList<QUrl> needed)
{
    for (const QUrl &url : needed) {
        if (!alive(self, task))
            co_return;
        const FileStamp stamp = FileStamp::of(url).value_or(FileStamp::unknown());
        // Named, not awaited as a temporary: gcc 12 destroys such a lambda twice.
        auto job = QtConcurrent::run([url] { return readMovie(url); });
        const PreCheck::Reading reading = co_await job;
        if (!alive(self, task))
            co_return;
        self->m_readings.insert(CopyPlanner::standardizedPath(url), {stamp, reading});
        Q_EMIT self->checksChanged();
    }
    self->setCheckingFiles(false);
}

QString Intake::edlFileName() const
{
    return m_edl ? CopyPlanner::fileName(*m_edl) : QString();
}

} // namespace tessera
