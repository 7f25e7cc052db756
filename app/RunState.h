#pragma once

#include "app/Workflow.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/EDLRewriter.h"
#include "core/naming/Reel.h"
#include "core/reelcheck/SlackUser.h"
#include "core/reelcheck/WireRecords.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>

#include <optional>

namespace tessera {

// One copy-and-submit run as a plain value: what was handed in and how, the version and the key
// it goes under, what is already verified on the NAS, and what the service answered. Everything a
// run needs to carry on, so that it can be kept and taken up again.
struct RunState
{
    Reel reel;
    QString version;
    QString key; // the submission's idempotency key, the same on every attempt
    QList<DroppedFile> files;
    std::optional<QUrl> edl;
    bool newEDL = false;
    QString note;
    bool renameOriginals = true;
    EditorIdentity::Identity editor;
    // Final names of the files verified on the NAS, with their digests.
    QMap<QString, QString> verified;
    std::optional<QString> submissionID;
    std::optional<qint64> submissionNumber;
    std::optional<QDateTime> submittedAt;

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

    friend bool operator==(const RunState &, const RunState &) = default;
};

} // namespace tessera
