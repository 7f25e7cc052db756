#include "ui/Shell.h"

#include "app/AppModel.h"
#include "app/BuildInfo.h"
#include "ui/ProgressAccessible.h"

#include <QAccessible>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

// The window's QML modules are linked in, not loaded from disk.
Q_IMPORT_QML_PLUGIN(TesseraPlugin)
Q_IMPORT_QML_PLUGIN(Tessera_ControlsPlugin)

namespace tessera {

Shell::Shell(AppModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
{}

// The engine goes first: its bindings read the model and the look until they are gone. Before it,
// the accessibility events stop: Qt 6.4's bridge to the accessibility bus handles the hide events
// of items that the window's teardown is deleting, and reads their half-destroyed popups and
// controls (a crash on every quit once a screen reader had listened and gone). Nobody can use
// the window by then.
Shell::~Shell()
{
    QAccessible::installUpdateHandler([](QAccessibleEvent *) {});
    m_engine.reset();
}

void Shell::prepareApplication()
{
    QGuiApplication::setOrganizationName(QStringLiteral("Kestrel"));
    QGuiApplication::setApplicationName(QStringLiteral("Tessera"));
    QGuiApplication::setApplicationVersion(BuildInfo::version());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrel.Tessera"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

bool Shell::open()
{
    ProgressAccessible::install();
    m_engine = std::make_unique<QQmlApplicationEngine>();
    // The modules' qmldir files are in the resources, under their URIs.
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    m_engine->setInitialProperties({{QStringLiteral("model"), QVariant::fromValue(&m_model)}});
    m_engine->load(QUrl(QStringLiteral("qrc:/Tessera/Main.qml")));
    return window() != nullptr;
}

QQuickWindow *Shell::window() const
{
    if (!m_engine || m_engine->rootObjects().isEmpty())
        return nullptr;
    return qobject_cast<QQuickWindow *>(m_engine->rootObjects().constFirst());
}

void Shell::start(const QList<QUrl> &pending)
{
    m_model.restoreRun();
    m_model.openAtStart(pending);
    m_model.loadDemoIfAsked();
    if (!m_model.isDemo())
        m_model.identity()->loadSlackUsers();
}

void Shell::openFiles(const QList<QUrl> &files)
{
    if (QQuickWindow *shown = window()) {
        shown->show();
        shown->raise();
        shown->requestActivate();
    }
    if (!files.isEmpty())
        m_model.add(files);
}

QList<QUrl> Shell::filesFromArguments(const QStringList &arguments)
{
    QList<QUrl> files;
    for (const QString &argument : arguments.mid(1)) {
        const QUrl url(argument);
        if (url.isLocalFile())
            files << url;
        else if (!argument.startsWith(u'-'))
            files << QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath());
    }
    return files;
}

} // namespace tessera
