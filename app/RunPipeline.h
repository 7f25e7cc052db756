#pragma once

#include "app/Task.h"
#include "app/Throttle.h"
#include "core/copy/CopyPlanner.h"

#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

namespace tessera {

class CopyRun;

// The work of one attempt of a run, stage by stage: reach the NAS and its drop folder, make
// today's folder, plan, copy, submit, rename the originals. Each stage reports to the run on the
// main thread and says whether the attempt goes on; one that stops it has said why.
class RunPipeline
{
public:
    // Starts an attempt for the run; it ends by itself.
    static void start(CopyRun *run, Task task, std::shared_ptr<CancelFlag> cancel);

private:
    RunPipeline(CopyRun *run, Task task, std::shared_ptr<CancelFlag> cancel);
    static QCoro::Task<> perform(std::shared_ptr<RunPipeline> pipeline);

    QCoro::Task<std::optional<QUrl>> reachDropFolder();
    QCoro::Task<std::optional<QUrl>> makeDayFolder(QUrl dropRoot);
    QCoro::Task<std::optional<QList<CopyAction>>> plan(QUrl dayFolder, QUrl dropRoot);
    QCoro::Task<bool> copyAll(QList<CopyAction> actions);
    QCoro::Task<bool> rename(CopyAction action);
    QCoro::Task<bool> write(CopyAction action, int index, qint64 size);
    QCoro::Task<bool> copy(CopyAction action, int index, qint64 size);
    QCoro::Task<bool> submit();
    QCoro::Task<> renameOriginals(QUrl dropRoot);

    // The run is still there and this attempt not over.
    bool alive() const;
    // Ends the attempt with the sentence; false, for the stage to return.
    bool fail(const QString &message);

    QPointer<CopyRun> m_run;
    Task m_task;
    std::shared_ptr<CancelFlag> m_cancel;
};

} // namespace tessera
