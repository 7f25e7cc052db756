#pragma once

// What the benchmarks that run against the reel check stand-in share.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace tessera::bench {

[[noreturn]] inline void fail(const QString &why)
{
    std::fprintf(stderr, "%s: %s\n",
                 qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                 qPrintable(why));
    std::exit(1);
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Starts the stand-in on a free loopback port and returns its address once it listens.
inline QUrl startStandIn(QProcess &service, const QStringList &arguments)
{
    service.setProcessChannelMode(QProcess::MergedChannels);
    service.start(QStringLiteral(TESSERA_REELCHECK_SERVICE),
                  QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} +
                      arguments);
    static const QRegularExpression listening(QStringLiteral(R"(Listening on (http://\S+))"));
    QByteArray said;
    while (service.waitForReadyRead(10000)) {
        said += service.readAll();
        const auto match = listening.match(QString::fromUtf8(said));
        if (match.hasMatch())
            return QUrl(match.captured(1));
    }
    fail(QStringLiteral("the stand-in did not start: ") + QString::fromUtf8(said));
}

// Waits in the event loop until `done` holds, at most `seconds`.
inline bool waitUntil(const std::function<bool()> &done, double seconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A reel of six small real movies in `folder`, one per surface at its full size, as an editor
// exports them: "00_TST_Reel1_{surface}.mov", one grey frame each.
inline QList<QUrl> reelMovies(const QString &folder)
{
    const QList<std::pair<QString, QString>> surfaces{
        {QStringLiteral("awall"), QStringLiteral("7972x3424")},
        {QStringLiteral("bwall"), QStringLiteral("5612x3424")},
        {QStringLiteral("cwall"), QStringLiteral("7972x3424")},
        {QStringLiteral("dwall"), QStringLiteral("5612x3424")},
        {QStringLiteral("floor"), QStringLiteral("4636x3264")},
        {QStringLiteral("surtitles"), QStringLiteral("5612x304")}};
    QList<QUrl> movies;
    for (const auto &[surface, size] : surfaces) {
        const QString path = folder + QStringLiteral("/00_TST_Reel1_") + surface + ".mov";
        const QString codec = surface == u"surtitles"
                                  ? QStringLiteral("-profile:v 4 -pix_fmt yuva444p10le")
                                  : QStringLiteral("-profile:v 1");
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     QStringLiteral("-v error -y -f lavfi -i color=c=gray:s=%1:r=30 -frames:v 1 "
                                    "-c:v prores_ks %2")
                             .arg(size, codec)
                             .split(u' ')
                         << path);
        if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0)
            fail(QStringLiteral("ffmpeg could not make ") + path);
        movies << QUrl::fromLocalFile(path);
    }
    return movies;
}

} // namespace tessera::bench
