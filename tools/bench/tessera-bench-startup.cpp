// How long Tessera takes from its launch to the first frame of its window, against the reel check
// stand-in already running, beside the least a Qt Quick window takes on the same machine: a
// window with one rectangle, launched the same way.
//
//   tessera-bench-startup [--rounds N]
//
// Each round launches this program again as a child ("--child tessera" or "--child baseline") and
// times it from the launch until the child says its first frame was swapped: loading, linking,
// QML, the model and the first render all count. Needs a display (tests/ui/headless.sh gives one).

#include "app/AppModel.h"
#include "core/naming/Naming.h"
#include "tools/bench/BenchSupport.h"
#include "ui/Shell.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace tessera;
using bench::fail;
using bench::median;

namespace {

// Says "frame" once the window's first frame is on the screen, then quits.
void reportFirstFrame(QQuickWindow *window)
{
    auto said = std::make_shared<std::atomic_bool>(false);
    // frameSwapped comes from the render thread; write(2) is safe there, Qt's streams are not.
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [said] {
            if (said->exchange(true))
                return;
            static const char line[] = "frame\n";
            [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, line, sizeof line - 1);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

int tesseraWindow(int argc, char *argv[])
{
    Shell::prepareApplication();
    QGuiApplication app(argc, argv);
    auto model = std::make_unique<AppModel>();
    auto shell = std::make_unique<Shell>(*model);
    if (!shell->open())
        fail(QStringLiteral("the window did not load"));
    reportFirstFrame(shell->window());
    shell->start({});
    const int status = QGuiApplication::exec();
    shell.reset();
    model.reset();
    return status;
}

int baseline(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nWindow { width: 760; height: 680; visible: true\n"
                      "Rectangle { anchors.fill: parent; color: \"white\" } }",
                      QUrl());
    std::unique_ptr<QObject> window(component.create());
    auto *quick = qobject_cast<QQuickWindow *>(window.get());
    if (!quick)
        fail(QStringLiteral("the baseline window did not load: ") + component.errorString());
    reportFirstFrame(quick);
    return QGuiApplication::exec();
}

// Milliseconds from launching the child until it reports its first frame.
double launch(const QString &kind, const QProcessEnvironment &environment)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), kind});
    QByteArray said;
    while (!said.contains("frame\n") && child.waitForReadyRead(20000))
        said += child.readAllStandardOutput();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (!said.contains("frame\n"))
        fail(QStringLiteral("the %1 window drew no frame").arg(kind));
    if (!child.waitForFinished(20000) || child.exitCode() != 0)
        fail(QStringLiteral("the %1 window did not end well").arg(kind));
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return qstrcmp(argv[2], "tessera") == 0 ? tesseraWindow(argc, argv) : baseline(argc, argv);

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption roundsOption(QStringLiteral("rounds"),
                                          QStringLiteral("Launches of each window (default 11)."),
                                          QStringLiteral("N"), QStringLiteral("11"));
    parser.addOption(roundsOption);
    parser.process(app);
    const int rounds = std::max(1, parser.value(roundsOption).toInt());

    // The stand-in, already running, and settings of the bench's own pointing Tessera at it.
    QTemporaryDir work;
    if (!work.isValid())
        fail(QStringLiteral("no temporary folder"));
    const QString nas = work.filePath(QStringLiteral("nas"));
    const QString drop = nas + u'/' + Naming::dropPath.toString();
    QDir().mkpath(drop);
    QProcess service;
    const QString base = bench::startStandIn(service, {QStringLiteral("--drop"), drop}).toString();
    const QString config = work.filePath(QStringLiteral("config"));
    QDir().mkpath(config + QStringLiteral("/Kestrel"));
    QFile settings(config + QStringLiteral("/Kestrel/Tessera.conf"));
    if (!settings.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write the bench's settings"));
    settings.write(QStringLiteral("[General]\napiBase=%1\nnasURL=%2\n")
                       .arg(base, QUrl::fromLocalFile(nas).toString())
                       .toUtf8());
    settings.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);

    // One launch of each first, unmeasured, so that both find the libraries in the page cache.
    launch(QStringLiteral("baseline"), environment);
    launch(QStringLiteral("tessera"), environment);
    QList<double> tesseraTimes, baselineTimes;
    std::printf("round   tessera ms   baseline ms\n");
    for (int round = 1; round <= rounds; ++round) {
        tesseraTimes << launch(QStringLiteral("tessera"), environment);
        baselineTimes << launch(QStringLiteral("baseline"), environment);
        std::printf("%-5d   %10.1f   %11.1f\n", round, tesseraTimes.last(), baselineTimes.last());
    }
    service.terminate();
    service.waitForFinished();
    const double first = median(tesseraTimes), least = median(baselineTimes);
    std::printf("start-up to the first frame: %.1f ms (target < 400), a bare Qt Quick window %.1f "
                "ms, tessera/bare %.2f\n",
                first, least, first / least);
    return 0;
}
