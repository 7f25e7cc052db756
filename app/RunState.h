#pragma once

#include "app/Workflow.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/EDLRewriter.h"
#include "core/naming/Reel.h"
#include "core/reelcheck/SlackUser.h"
#include "core/reelcheck/WireRecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <utility>

namespace tessera {

// The files and the EDL that were renamed on this computer point at their new names.
void relocateFiles(QList<DroppedFile> &files, std::optional<QUrl> &edl,
                   const QList<std::pair<QUrl, QUrl>> &moves);

// One copy-and-submit run as a plain value: what was handed in and how, the version and the key
// it goes under, what is already verified on the NAS, and what the service answered. Everything a
// run needs to carry on, so that it can be kept and taken up again.
struct RunState
{
    // A file placed on the NAS under its final name: its digest, and its size and modification
    // time there when it was verified.
    struct Verified
    {
        QString digest;
        FileStamp onNAS;

        friend bool operator==(const Verified &, const Verified &) = default;
    };

    Reel reel;
    QString version;
    QString key; // the submission's idempotency key, the same on every attempt
    QList<DroppedFile> files;
    std::optional<QUrl> edl;
    // The dropped files' and the EDL's stamps when "Copy and submit" was pressed, by standardized
    // path: a file that differs later was changed or moved since.
    QMap<QString, FileStamp> stamps;
    bool newEDL = false;
    QString note;
    bool renameOriginals = true;
    EditorIdentity::Identity editor;
    // The files verified on the NAS, by final name.
    QMap<QString, Verified> verified;
    // The files the plan found on the NAS, already there or renamed there, by final name.
    QMap<QString, FileState> foundOnNAS;
    // The EDL as "Copy and submit" rewrote it and how many clip names that changed: once the
    // originals are renamed, the editor's EDL no longer gives either.
    std::optional<QByteArray> edlContent;
    qint64 edlChanges = 0;
    // A submission request went out under the key and no answer said whether the service has it.
    bool maybeSubmitted = false;
    std::optional<QString> submissionID;
    std::optional<qint64> submissionNumber;
    std::optional<QDateTime> submittedAt;
    // The service has the submission and the editor's files still wait to be renamed.
    bool originalsPending = false;
    // What became of the editor's files once they were renamed.
    QStringList originalsOutcome;
    // The partial files this run made on the NAS (URLs) that may still be there: a copy that
    // failed on a dead share could not remove its own. Removed at the next contact with it.
    QStringList partials;

    // The name a file gets on the NAS; none for a file without a surface.
    std::optional<QString> finalName(const DroppedFile &file) const;
    QString edlName() const;
    // The files with a surface, in drop order, then the EDL; with its content, the EDL item
    // carries the rewritten EDL when the EDL can be read.
    QList<CopyItem> items(bool withEDLContent) const;
    // The EDL with its clip names rewritten to the new names; none without an EDL or when it
    // cannot be read.
    std::optional<EDLRewriter::Result> rewrittenEDL() const;
    // The rows of the copy step before anything happened: movies in surface order, then the EDL.
    QList<FileRow> rows() const;
    SubmissionRequest request() const;
    // Takes the stamps of the dropped files and the EDL, and the EDL's rewrite, as they are now.
    void stampFiles();
    // The editor's files were renamed: the run follows them.
    void relocate(const QList<std::pair<QUrl, QUrl>> &moves);
    // The files given are this run's dropped files and EDL, no more and no fewer, in any order.
    bool handsIn(const QList<QUrl> &urls) const;
    // The name of the first dropped file (or the EDL) that is missing or differs from its stamp.
    std::optional<QString> firstChangedFile() const;

    friend bool operator==(const RunState &, const RunState &) = default;
};

} // namespace tessera
