#pragma once

// What the benchmarks that run against the reel check stand-in share.

#include <QCoreApplication>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

} // namespace tessera::bench
