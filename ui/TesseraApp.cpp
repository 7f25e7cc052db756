// Tessera: one window, one application model, from start to quit.

#include "app/AppModel.h"
#include "ui/Shell.h"
#include "ui/desktop/DesktopFeedback.h"
#include "ui/desktop/SingleInstance.h"

#include <QGuiApplication>
#include <QThreadPool>

using namespace tessera;

int main(int argc, char *argv[])
{
    Shell::prepareApplication();
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
    // no model and stops.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
