// Runs the whole road through the application model for a reel of six movies to a local folder
// standing for the NAS, against the reel check stand-in, beside the bare safe copier copying the
// same bytes.
//
//   tessera-bench-run [--folder DIR] [--gigabytes G] [--rounds N]
//
// Each movie is a small real QuickTime movie followed by a large "free" atom of random bytes, so
// that it passes the pre-check as the editors' exports do. Figures:
// - the run (startCopy until the submission is confirmed) beside the copier alone, medians;
// - the longest the main thread was late for a 5 ms timer while copying;
// - progress notifications (transfer line updates) of one file within any one second, the most.

#include "app/AppModel.h"
#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"
#include "tools/bench/BenchSupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

using namespace tessera;
using bench::fail;
using bench::median;

namespace {

constexpr char accessKey[] = "bench-key";

// The movie with a "free" atom of `extra` random bytes appended: the atom chain still ends at the
// end of the file, and the pre-check reads only the boxes.
void pad(const QString &path, qint64 extra, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::Append))
        fail(QStringLiteral("can't open ") + path);
    QByteArray header(16, '\0');
    qToBigEndian<quint32>(1, header.data());
    std::memcpy(header.data() + 4, "free", 4);
    qToBigEndian<quint64>(quint64(extra), header.data() + 8);
    file.write(header);
    QByteArray chunk(8 << 20, Qt::Uninitialized);
    quint64 state = seed | 1;
    for (qint64 left = extra - 16; left > 0; left -= chunk.size()) {
        auto *words = reinterpret_cast<quint64 *>(chunk.data());
        for (qsizetype i = 0; i < chunk.size() / 8; ++i) {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            words[i] = state * 2685821657736338717ULL;
        }
        file.write(chunk.constData(), std::min<qint64>(left, chunk.size()));
    }
}

struct RunFigures
{
    double seconds = 0;
    double longestBlockMs = 0;
    double notificationsPerSecond = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption folderOption(QStringLiteral("folder"),
                                          QStringLiteral("Where to put the files (not a tmpfs)."),
                                          QStringLiteral("dir"), QStringLiteral("/var/tmp"));
    const QCommandLineOption sizeOption(QStringLiteral("gigabytes"),
                                        QStringLiteral("Size of the reel in GiB."),
                                        QStringLiteral("G"), QStringLiteral("2"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"),
                                          QStringLiteral("Rounds of each measure."),
                                          QStringLiteral("N"), QStringLiteral("3"));
    parser.addOptions({folderOption, sizeOption, roundsOption});
    parser.process(app);
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    const qint64 total = qint64(parser.value(sizeOption).toDouble() * 1024 * 1024 * 1024);

    QTemporaryDir work(parser.value(folderOption) + QStringLiteral("/tessera-bench-run-XXXXXX"));
    if (!work.isValid())
        fail(QStringLiteral("can't make a folder in ") + parser.value(folderOption));
    const QString exports = work.filePath(QStringLiteral("export"));
    QDir().mkpath(exports);

    // Six movies, one per surface, of about total / 6 bytes each.
    const QList<QUrl> movies = bench::reelMovies(exports);
    quint64 seed = 0x9e3779b97f4a7c15ULL;
    for (const QUrl &movie : movies) {
        const QString path = movie.toLocalFile();
        pad(path, std::max<qint64>(total / 6 - QFileInfo(path).size(), 16), seed += 7919);
    }

    // The stand-in service, on a free port.
    const QString nas = work.filePath(QStringLiteral("nas"));
    const QString drop = nas + u'/' + Naming::dropPath.toString();
    QProcess service;
    const QUrl base =
        bench::startStandIn(service, {QStringLiteral("--key"), QString::fromLatin1(accessKey),
                                      QStringLiteral("--drop"), drop});

    QList<double> copierTimes;
    QList<RunFigures> runs;
    for (int round = 0; round < rounds; ++round) {
        // The bare copier, the same files one after another.
        const QString bare = work.filePath(QStringLiteral("bare%1").arg(round));
        QDir().mkpath(bare);
        QElapsedTimer clock;
        clock.start();
        for (const QUrl &movie : std::as_const(movies))
            SafeCopier::copy(movie, QUrl::fromLocalFile(bare + u'/' + movie.fileName()));
        copierTimes << clock.nsecsElapsed() / 1e9;
        QDir(bare).removeRecursively();

        // The whole road through the model.
        QDir(nas).removeRecursively();
        QDir().mkpath(drop);
        AppModel::Options options;
        options.settings = std::make_unique<QSettings>(
            work.filePath(QStringLiteral("settings%1.ini").arg(round)), QSettings::IniFormat);
        options.settings->setValue(QStringLiteral("apiBase"), base.toString());
        options.settings->setValue(QStringLiteral("nasURL"), QUrl::fromLocalFile(nas).toString());
        options.settings->setValue(QStringLiteral("renameOriginalsDefaultOn"), false);
        options.builtInKey = QString::fromLatin1(accessKey);
        AppModel model(std::move(options));
        model.identity()->setEditor(QStringLiteral("Bench"));
        model.add(movies);
        model.goToConfirm();
        if (!bench::waitUntil(
                [&] {
                    return !model.reels()->reels().isEmpty() && !model.intake()->checkingFiles();
                },
                60))
            fail(QStringLiteral("the confirm step did not settle"));
        if (!model.confirmation()->canSubmit())
            fail(QStringLiteral("can't submit: ") + model.confirmation()->submitBlockerText());

        QHash<int, QList<double>> notifications; // seconds into the run, per file
        QElapsedTimer runClock;
        const CopyRun &run = *model.run();
        QObject::connect(&run, &CopyRun::transferChanged, &model, [&] {
            if (!run.transfer() || run.transfer()->index < 1)
                return;
            notifications[run.transfer()->index] << runClock.nsecsElapsed() / 1e9;
        });
        double longestLate = 0;
        QElapsedTimer tick;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, &model, [&] {
            if (run.phaseKind() == Phase::Kind::copying && tick.isValid())
                longestLate = std::max(longestLate, tick.nsecsElapsed() / 1e6 - 5.0);
            tick.start();
        });
        ticker.start(5);

        runClock.start();
        model.startCopy();
        if (!bench::waitUntil(
                [&] {
                    return run.phaseKind() == Phase::Kind::waiting ||
                           run.phaseKind() == Phase::Kind::finished ||
                           run.phaseKind() == Phase::Kind::failed;
                },
                600))
            fail(QStringLiteral("the run did not end"));
        RunFigures figures;
        figures.seconds = runClock.nsecsElapsed() / 1e9;
        ticker.stop();
        if (run.phaseKind() == Phase::Kind::failed)
            fail(QStringLiteral("the run failed: ") + run.failureMessage());
        figures.longestBlockMs = longestLate;
        // The most notifications of one file within any one second.
        for (const QList<double> &times : std::as_const(notifications)) {
            for (qsizetype first = 0, last = 0; last < times.size(); ++last) {
                while (times.at(last) - times.at(first) > 1.0)
                    ++first;
                figures.notificationsPerSecond =
                    std::max(figures.notificationsPerSecond, double(last - first + 1));
            }
        }
        runs << figures;
        std::printf("round %d: copier %.2f s, run %.2f s, main thread late at most %.1f ms, "
                    "%.1f progress notifications/s/file\n",
                    round + 1, copierTimes.last(), figures.seconds, figures.longestBlockMs,
                    figures.notificationsPerSecond);
        std::fflush(stdout);
    }
    service.kill();
    service.waitForFinished();

    QList<double> runTimes, blocks, rates;
    for (const RunFigures &run : std::as_const(runs)) {
        runTimes << run.seconds;
        blocks << run.longestBlockMs;
        rates << run.notificationsPerSecond;
    }
    const double copier = median(copierTimes);
    const double road = median(runTimes);
    std::printf("reel of 6 movies, %.2f GB; medians of %d rounds\n", total / 1e9, rounds);
    std::printf("run %.2f s  copier %.2f s  run/copier %.2f (target <= 1.10)  longest block "
                "%.1f ms (target < 50)  notifications %.1f/s/file (target <= 6)\n",
                road, copier, road / copier, *std::max_element(blocks.begin(), blocks.end()),
                *std::max_element(rates.begin(), rates.end()));
    return 0;
}
