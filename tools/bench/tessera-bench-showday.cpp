// A show day through one application model: reel after reel of six small real movies taken the
// whole road (drop, confirm, copy, submit, verdict, "Submit another reel") against the reel check
// stand-in, to a local folder standing for the NAS. It prints the resident memory after the fifth
// and after the last reel, and the time per reel beside the bare copier copying the same files.
//
//   tessera-bench-showday [--folder DIR] [--reels N]

#include "app/AppModel.h"
#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"
#include "tools/bench/BenchSupport.h"

#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace tessera;
using bench::fail;
using bench::median;

namespace {

constexpr char accessKey[] = "bench-key";

// Resident memory of this process, in MiB.
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// One reel the whole road; the seconds it took.
double oneReel(AppModel &model, const QList<QUrl> &movies)
{
    QElapsedTimer clock;
    clock.start();
    model.add(movies);
    model.goToConfirm();
    if (!bench::waitUntil(
            [&] { return model.reels()->selectedReel() && !model.intake()->checkingFiles(); }, 60))
        fail(QStringLiteral("the confirm step did not settle"));
    if (!model.confirmation()->canSubmit())
        fail(QStringLiteral("can't submit: ") + model.confirmation()->submitBlockerText());
    model.startCopy();
    const CopyRun &run = *model.run();
    if (!bench::waitUntil(
            [&] {
                return run.phaseKind() == Phase::Kind::finished ||
                       run.phaseKind() == Phase::Kind::failed;
            },
            120))
        fail(QStringLiteral("the reel did not get its verdict"));
    if (run.phaseKind() == Phase::Kind::failed)
        fail(QStringLiteral("the run failed: ") + run.failureMessage());
    if (model.verdict()->status() != SubmissionStatus::readyText)
        fail(QStringLiteral("the verdict is ") + model.verdict()->status());
    model.startOver();
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption folderOption(QStringLiteral("folder"),
                                          QStringLiteral("Where to put the files."),
                                          QStringLiteral("dir"), QStringLiteral("/var/tmp"));
    const QCommandLineOption reelsOption(QStringLiteral("reels"),
                                         QStringLiteral("Reels in the day (at least 6)."),
                                         QStringLiteral("N"), QStringLiteral("30"));
    parser.addOptions({folderOption, reelsOption});
    parser.process(app);
    const int reels = std::max(6, parser.value(reelsOption).toInt());

    QTemporaryDir work(parser.value(folderOption) +
                       QStringLiteral("/tessera-bench-showday-XXXXXX"));
    if (!work.isValid())
        fail(QStringLiteral("can't make a folder in ") + parser.value(folderOption));
    const QString exports = work.filePath(QStringLiteral("export"));
    QDir().mkpath(exports);
    const QList<QUrl> movies = bench::reelMovies(exports);
    const QString nas = work.filePath(QStringLiteral("nas"));
    const QString drop = nas + u'/' + Naming::dropPath.toString();
    QDir().mkpath(drop);
    QProcess service;
    const QUrl base =
        bench::startStandIn(service, {QStringLiteral("--key"), QString::fromLatin1(accessKey),
                                      QStringLiteral("--drop"), drop});

    AppModel::Options options;
    options.settings = std::make_unique<QSettings>(work.filePath(QStringLiteral("settings.ini")),
                                                   QSettings::IniFormat);
    options.settings->setValue(QStringLiteral("apiBase"), base.toString());
    options.settings->setValue(QStringLiteral("nasURL"), QUrl::fromLocalFile(nas).toString());
    options.settings->setValue(QStringLiteral("renameOriginalsDefaultOn"), false);
    options.settings->setValue(QStringLiteral("editorName"), QStringLiteral("Bench"));
    options.timing.pollInterval = std::chrono::milliseconds(100);
    options.builtInKey = QString::fromLatin1(accessKey);
    AppModel model(std::move(options));

    QList<double> reelTimes, copierTimes;
    double afterFive = 0;
    for (int reel = 1; reel <= reels; ++reel) {
        reelTimes << oneReel(model, movies);
        // The bare copier, the same files to a folder of their own.
        const QString bare = work.filePath(QStringLiteral("bare"));
        QDir().mkpath(bare);
        QElapsedTimer clock;
        clock.start();
        for (const QUrl &movie : movies)
            SafeCopier::copy(movie, QUrl::fromLocalFile(bare + u'/' + movie.fileName()));
        copierTimes << clock.nsecsElapsed() / 1e9;
        QDir(bare).removeRecursively();
        if (reel == 5)
            afterFive = residentMiB();
        std::printf("reel %2d: %.2f s, bare copier %.2f s, resident %.1f MiB\n", reel,
                    reelTimes.last(), copierTimes.last(), residentMiB());
        std::fflush(stdout);
    }
    service.kill();
    service.waitForFinished();
    // Every reel went under a version of its own: six new files each.
    qsizetype placed = 0;
    for (QDirIterator it(drop, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++placed;
    if (placed != 6 * reels)
        fail(QStringLiteral("the NAS holds %1 files, not %2").arg(placed).arg(6 * reels));

    const double afterAll = residentMiB();
    const double perReel = median(reelTimes);
    const double copier = median(copierTimes);
    std::printf("%d reels of 6 movies; resident after reel 5 %.1f MiB, after reel %d %.1f MiB, "
                "growth %.1f MiB (target <= 10)\n",
                reels, afterFive, reels, afterAll, afterAll - afterFive);
    std::printf("per reel %.2f s  bare copier %.2f s  reel/copier %.2f\n", perReel, copier,
                perReel / copier);
    return 0;
}
