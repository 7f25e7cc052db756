// Times the pre-check's reading of movies against ffprobe on the same files, counts the bytes the
// pre-check reads per movie, and times the judging of a whole reel of six movies. The largest
// movie is several GB (sparse: its media data is a hole), to show that the bytes read do not
// grow with the size of the movie.
//
// tessera-bench-precheck [--gigabytes N] [--runs N]

#include "core/precheck/PreCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tessera;

namespace {

struct Movie
{
    QString path;
    Surface surface;
    qint64 size = 0;
    double tesseraMs = 0;
    double ffprobeMs = 0;
    qint64 bytesRead = 0;
};

bool ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                      arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool ffprobe(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_streams"),
                   QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"),
                   path});
    return process.waitForFinished(-1) && process.exitCode() == 0 &&
           !process.readAllStandardOutput().isEmpty();
}

double medianMs(int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.size() % 2 ? times[times.size() / 2]
                            : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
}

// ffmpeg writes ftyp, an 8-byte 'wide' atom, mdat, then moov. The wide atom is there so that the
// mdat header can grow to 16 bytes in place; that is done here, and the mdat is lengthened by a
// hole of `extra` bytes, so the media keeps its offsets and the movie stays complete.
bool makeLarge(const QString &from, const QString &to, qint64 extra)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    const qsizetype wide = bytes.indexOf("wide");
    const qsizetype moov = bytes.lastIndexOf("moov");
    if (wide != 4 + qFromBigEndian<quint32>(bytes.constData()) || moov < 0 ||
        bytes.mid(wide + 8, 4) != "mdat")
        return false;
    const qsizetype mdatStart = wide - 4;
    const qsizetype moovStart = moov - 4;
    const qint64 mdatSize = moovStart - mdatStart + extra;
    QByteArray header(16, Qt::Uninitialized);
    qToBigEndian<quint32>(1, header.data());
    header.replace(4, 4, "mdat");
    qToBigEndian<quint64>(quint64(mdatSize), header.data() + 8);

    QFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray media = bytes.mid(mdatStart + 16, moovStart - mdatStart - 16);
    if (out.write(bytes.first(mdatStart)) < 0 || out.write(header) < 0 || out.write(media) < 0)
        return false;
    // Skipping ahead leaves a hole: the file is several GB long but takes no space.
    if (!out.seek(mdatStart + mdatSize))
        return false;
    return out.write(bytes.sliced(moovStart)) == bytes.size() - moovStart;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    qint64 gigabytes = 6;
    int runs = 41;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == u"--gigabytes")
            gigabytes = std::max<qint64>(1, arguments[i + 1].toLongLong());
        else if (arguments[i] == u"--runs")
            runs = std::max(1, arguments[i + 1].toInt());
    }
    const int probeRuns = std::max(3, runs / 8);

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "tessera-bench-precheck: no temporary folder\n");
        return 1;
    }
    out << "Making movies with ffmpeg in " << dir.path() << " ..." << Qt::endl;
    const QStringList lt{QStringLiteral("-c:v"), QStringLiteral("prores_ks"),
                         QStringLiteral("-profile:v"), QStringLiteral("1")};
    const auto source = [](const QString &spec) {
        return QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           spec};
    };
    QList<Movie> movies;
    const std::pair<Surface, QString> small[] = {
        {Surface::awall, QStringLiteral("320x136")},
        {Surface::bwall, QStringLiteral("224x136")},
        {Surface::cwall, QStringLiteral("320x136")},
    };
    for (const auto &[surface, size] : small) {
        const QString path = dir.filePath(QStringLiteral("Reel1_%1.mov").arg(rawValue(surface)));
        if (!ffmpeg(source(QStringLiteral("testsrc=s=%1:r=30:d=2").arg(size)) + lt +
                    QStringList{path}))
            return std::fprintf(stderr, "tessera-bench-precheck: ffmpeg failed\n"), 1;
        movies.append(Movie{path, surface});
    }
    const QString surtitles = dir.filePath(QStringLiteral("Reel1_surtitles.mov"));
    if (!ffmpeg(source(QStringLiteral("testsrc=s=560x32:r=30:d=2")) +
                QStringList{QStringLiteral("-c:v"), QStringLiteral("prores_ks"),
                            QStringLiteral("-profile:v"), QStringLiteral("4"),
                            QStringLiteral("-pix_fmt"), QStringLiteral("yuva444p10le"), surtitles}))
        return std::fprintf(stderr, "tessera-bench-precheck: ffmpeg failed\n"), 1;
    movies.append(Movie{surtitles, Surface::surtitles});
    // A few MB of real media.
    const QString floor = dir.filePath(QStringLiteral("Reel1_floor.mov"));
    if (!ffmpeg(source(QStringLiteral("testsrc=s=960x676:r=30:d=2")) + lt + QStringList{floor}))
        return std::fprintf(stderr, "tessera-bench-precheck: ffmpeg failed\n"), 1;
    movies.append(Movie{floor, Surface::floor});
    // The same movie with several GB more media (a hole).
    const QString dwall = dir.filePath(QStringLiteral("Reel1_dwall.mov"));
    if (!makeLarge(floor, dwall, gigabytes * 1000 * 1000 * 1000))
        return std::fprintf(stderr, "tessera-bench-precheck: could not make the large movie\n"), 1;
    movies.append(Movie{dwall, Surface::dwall});

    QList<PreCheck::File> reel;
    for (Movie &movie : movies) {
        movie.size = QFileInfo(movie.path).size();
        FileSource counted(movie.path);
        const PreCheck::Reading reading = PreCheck::read(counted);
        if (reading.kind != PreCheck::Reading::Kind::movie || !ffprobe(movie.path)) {
            std::fprintf(stderr, "tessera-bench-precheck: %s is not read as a movie\n",
                         qPrintable(movie.path));
            return 1;
        }
        movie.bytesRead = counted.bytesRead();
        movie.tesseraMs = medianMs(runs, [&] { PreCheck::read(movie.path); });
        movie.ffprobeMs = medianMs(probeRuns, [&] { ffprobe(movie.path); });
        reel.append(PreCheck::File{QFileInfo(movie.path).fileName(), movie.surface, reading});
    }

    // The reel as the application judges it: every movie read, then all judged together.
    const double reelMs = medianMs(runs, [&] {
        QList<PreCheck::File> files;
        for (const Movie &movie : std::as_const(movies))
            files.append(PreCheck::File{QFileInfo(movie.path).fileName(), movie.surface,
                                        PreCheck::read(movie.path)});
        PreCheck::problems(files, ExportRules::fullSizes());
    });

    out << QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("movie"), -22)
               .arg(QStringLiteral("bytes"), 14)
               .arg(QStringLiteral("read (bytes)"), 13)
               .arg(QStringLiteral("tessera ms"), 11)
               .arg(QStringLiteral("ffprobe ms"), 11);
    QList<double> tessera;
    QList<double> probe;
    for (const Movie &movie : std::as_const(movies)) {
        out << QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(QFileInfo(movie.path).fileName(), -22)
                   .arg(movie.size, 14)
                   .arg(movie.bytesRead, 13)
                   .arg(movie.tesseraMs, 11, 'f', 3)
                   .arg(movie.ffprobeMs, 11, 'f', 3);
        tessera.append(movie.tesseraMs);
        probe.append(movie.ffprobeMs);
    }
    const auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        const qsizetype n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    const auto bySize = [](const Movie &a, const Movie &b) { return a.size < b.size; };
    const Movie smallest = *std::min_element(movies.begin(), movies.end(), bySize);
    const Movie largest = *std::max_element(movies.begin(), movies.end(), bySize);
    const double tesseraMedian = median(tessera);
    const double probeMedian = median(probe);
    out << QStringLiteral("reel of %1 movies read and judged: %2 ms (median of %3 runs; target "
                          "under 50 ms)\n")
               .arg(movies.size())
               .arg(reelMs, 0, 'f', 3)
               .arg(runs);
    out << QStringLiteral("median ms per movie: tessera %1, ffprobe %2 (ffprobe/tessera %3x); "
                          "bytes read per movie: smallest (%4 B) %5, largest (%6 B) %7; reel of "
                          "six %8 ms\n")
               .arg(tesseraMedian, 0, 'f', 3)
               .arg(probeMedian, 0, 'f', 1)
               .arg(probeMedian / tesseraMedian, 0, 'f', 0)
               .arg(smallest.size)
               .arg(smallest.bytesRead)
               .arg(largest.size)
               .arg(largest.bytesRead)
               .arg(reelMs, 0, 'f', 3);
    return 0;
}
