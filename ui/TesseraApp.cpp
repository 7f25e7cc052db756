// Tessera: one window, one application model, from start to quit.

#include "app/AppModel.h"
#include "app/Leash.h"
#include "ui/Shell.h"
#include "ui/desktop/DesktopFeedback.h"
#include "ui/desktop/SingleInstance.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QThreadPool>

#include <cstdio>

using namespace tessera;

namespace {

// --help and --version are answered on the terminal before the window's application, which needs
// a display. The rest of the command line is left as it was: Qt's own options (-platform, -style)
// for QGuiApplication, and the files for Shell::filesFromArguments.
bool answeredHelpOrVersion(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Hands in exported reels: checks the movies against the show's export rules,\n"
        "copies them to the production's NAS and submits the reel to the reel "
        "check."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Movies and EDLs to add, as if dropped on the "
                                                "window; a Tessera already running takes them."),
                                 QStringLiteral("[FILE...]"));
    // Qt's own options are unknown here and are QGuiApplication's to take; read as words, so that
    // -reverse does not count as -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.parse(arguments);
    if (!parser.isSet(help) && !parser.isSet(version))
        return false;

    // The usage line names the program as it was started; this needs no display.
    const QCoreApplication console(argc, argv);
    const QString text = parser.isSet(version) ? QCoreApplication::applicationName() + u' ' +
                                                     QCoreApplication::applicationVersion() + u'\n'
                                               : parser.helpText();
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    Shell::prepareApplication();
    if (answeredHelpOrVersion(argc, argv))
        return 0;
    QGuiApplication app(argc, argv);
    const QList<QUrl> files = Shell::filesFromArguments(QGuiApplication::arguments());

    // A second launch hands its files to the running window and is done.
    SingleInstance instance;
    if (!instance.claim(files))
        return 0;

    int status = 1;
    {
        auto model = std::make_unique<AppModel>();
        DesktopFeedback feedback(model->run(), model->verdict());
        auto shell = std::make_unique<Shell>(*model);
        QObject::connect(&instance, &SingleInstance::activated, shell.get(), &Shell::openFiles);
        if (!shell->open())
            return 1;
        shell->start(files);
        status = QGuiApplication::exec();
        shell.reset();
        model.reset();
    }
    // Copies and readings still running off the main thread end, and what they post back finds
    // no model and stops. A stopped copy gets a moment to take its partial file away; one held by
    // a share that stopped answering is left behind, as the next start removes what it left.
    QThreadPool::globalInstance()->waitForDone();
    Leash::waitForBackground(std::chrono::seconds(1));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
