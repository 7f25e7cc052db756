#include "app/RunState.h"

#include "core/naming/Naming.h"

#include <QFile>
#include <QSet>

#include <algorithm>

namespace tessera {

void relocateFiles(QList<DroppedFile> &files, std::optional<QUrl> &edl,
                   const QList<std::pair<QUrl, QUrl>> &moves)
{
    for (const auto &[from, to] : moves) {
        for (DroppedFile &file : files)
            if (CopyPlanner::samePath(file.url, from))
                file.url = to;
        if (edl && CopyPlanner::samePath(*edl, from))
            edl = to;
    }
}

std::optional<QString> RunState::finalName(const DroppedFile &file) const
{
    if (!file.slot)
        return std::nullopt;
    return Naming::fileName(reel.name, *file.slot, version);
}

QString RunState::edlName() const
{
    return Naming::edlName(version);
}

QList<CopyItem> RunState::items(bool withEDLContent) const
{
    QList<CopyItem> result;
    for (const DroppedFile &file : files)
        if (const auto name = finalName(file))
            result << CopyItem{file.url, *name, std::nullopt};
    if (edl) {
        CopyItem item{*edl, edlName(), std::nullopt};
        if (withEDLContent && edlContent)
            item.content = edlContent;
        else if (withEDLContent)
            if (const auto rewritten = rewrittenEDL())
                item.content = rewritten->data;
        result << item;
    }
    return result;
}

std::optional<EDLRewriter::Result> RunState::rewrittenEDL() const
{
    if (!edl)
        return std::nullopt;
    QFile file(edl->toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<EDLRewriter::File> entries;
    for (const DroppedFile &dropped : files)
        if (dropped.slot)
            entries << EDLRewriter::File{CopyPlanner::fileName(dropped.url), *finalName(dropped),
                                         *dropped.slot};
    return EDLRewriter::rewrite(file.readAll(), reel.name, entries);
}

QList<FileRow> RunState::rows() const
{
    // Slot order, ties in drop order; a file without a slot sorts last.
    QList<DroppedFile> sorted = files;
    const Slot last{Surface::surtitles, Proxy::eighth};
    std::stable_sort(sorted.begin(), sorted.end(), [&](const DroppedFile &a, const DroppedFile &b) {
        return a.slot.value_or(last) < b.slot.value_or(last);
    });
    QList<FileRow> rows;
    for (const DroppedFile &file : std::as_const(sorted))
        rows << FileRow{CopyPlanner::fileName(file.url),
                        finalName(file).value_or(QString()),
                        file.slot,
                        FileState::waiting,
                        0,
                        std::nullopt};
    if (edl) {
        const auto rewritten = edlContent ? std::nullopt : rewrittenEDL();
        const qint64 changed = edlContent ? edlChanges : rewritten ? rewritten->changed : 0;
        const QString detail =
            changed == 0   ? QStringLiteral("clip names unchanged")
            : changed == 1 ? QStringLiteral("1 clip name updated to the new names")
                           : QStringLiteral("%1 clip names updated to the new names").arg(changed);
        rows << FileRow{CopyPlanner::fileName(*edl), edlName(), std::nullopt,
                        FileState::waiting,          0,         detail};
    }
    return rows;
}

void RunState::stampFiles()
{
    stamps.clear();
    QList<QUrl> urls;
    for (const DroppedFile &file : files)
        urls << file.url;
    if (edl)
        urls << *edl;
    for (const QUrl &url : std::as_const(urls))
        stamps.insert(CopyPlanner::standardizedPath(url),
                      FileStamp::of(url).value_or(FileStamp::unknown()));
    const auto rewritten = rewrittenEDL();
    edlContent = rewritten ? std::optional(rewritten->data) : std::nullopt;
    edlChanges = rewritten ? rewritten->changed : 0;
}

void RunState::relocate(const QList<std::pair<QUrl, QUrl>> &moves)
{
    relocateFiles(files, edl, moves);
    for (const auto &[from, to] : moves) {
        // A rename keeps the size and the modification time.
        const QString old = CopyPlanner::standardizedPath(from);
        if (stamps.contains(old))
            stamps.insert(CopyPlanner::standardizedPath(to), stamps.take(old));
    }
}

bool RunState::handsIn(const QList<QUrl> &urls) const
{
    QSet<QString> given;
    for (const QUrl &url : urls)
        given.insert(CopyPlanner::standardizedPath(url));
    QSet<QString> own;
    for (const DroppedFile &file : files)
        own.insert(CopyPlanner::standardizedPath(file.url));
    if (edl)
        own.insert(CopyPlanner::standardizedPath(*edl));
    return given == own;
}

std::optional<QString> RunState::firstChangedFile() const
{
    QList<QUrl> urls;
    for (const DroppedFile &file : files)
        urls << file.url;
    if (edl)
        urls << *edl;
    for (const QUrl &url : std::as_const(urls)) {
        const auto now = FileStamp::of(url);
        if (!now || stamps.value(CopyPlanner::standardizedPath(url)) != *now)
            return CopyPlanner::fileName(url);
    }
    return std::nullopt;
}

SubmissionRequest RunState::request() const
{
    SubmissionRequest request;
    request.reelID = reel.id;
    request.version = version;
    request.newEDL = newEDL;
    request.note = note;
    request.editor = editor.editor;
    request.slackUserID = editor.slackUserID;
    for (const CopyItem &item : items(false))
        if (item.finalName.endsWith(QStringLiteral(".mov")))
            request.files << item.finalName;
    request.key = key;
    if (edl)
        request.edl = edlName();
    return request;
}

} // namespace tessera
