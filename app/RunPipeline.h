#pragma once

#include "app/Leash.h"
#include "app/Task.h"
#include "app/Throttle.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/SafeCopier.h"

#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

namespace tessera {

class CopyRun;

// The work of one attempt of a run, stage by stage: reach the NAS and its drop folder, make
// today's folder, plan, copy, submit, rename the originals. Each stage reports to the run on the
// main thread and says whether the attempt goes on; one that stops it has said why. When the
// connection to the share breaks during a copy, the attempt waits for the share and carries on
// from the planning.
class RunPipeline
{
public:
    // Starts an attempt for the run; it ends by itself.
    static void start(CopyRun *run, Task task, Brakes brakes);

private:
    // How the copying ended: every file placed, the attempt over (it said why), or the
    // connection to the share lost.
    enum class Copied { all, over, lost };

    RunPipeline(CopyRun *run, Task task, Brakes brakes);
    static QCoro::Task<> perform(std::shared_ptr<RunPipeline> pipeline);

    QCoro::Task<std::optional<QUrl>> reachDropFolder();
    QCoro::Task<int> mount();
    QCoro::Task<bool> removePartials();
    QCoro::Task<bool> waitForShare();
    QCoro::Task<std::optional<QUrl>> makeDayFolder(QUrl dropRoot);
    QCoro::Task<std::optional<QList<CopyAction>>> plan(QUrl dayFolder, QUrl dropRoot);
    QCoro::Task<Copied> copyAll(QList<CopyAction> actions);
    QCoro::Task<bool> rename(CopyAction action);
    QCoro::Task<Copied> write(CopyAction action, int index, qint64 size);
    QCoro::Task<Copied> copy(CopyAction action, int index, qint64 size);
    QCoro::Task<bool> submit();
    QCoro::Task<> renameOriginals(QUrl dropRoot);

    // The run is still there and this attempt not over.
    bool alive() const;
    // Ends the attempt with the sentence; false, for the stage to return.
    bool fail(const QString &message);
    // Ends the attempt as stopped, with the copier's sentence for it; false.
    bool stopped();
    // What a copy or write that placed nothing means for the attempt.
    Copied notPlaced(const QString &name, const QString &error, bool connectionLost);
    SafeCopier::Control control(const SafeCopier::Transfer &transfer) const;

    QPointer<CopyRun> m_run;
    Task m_task;
    Brakes m_brakes;
    QString m_lostWhile; // the file whose copy lost the connection
};

} // namespace tessera
