#pragma once

#include "ui/controls/Appearance.h"

#include <QList>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QUrl>

#include <memory>

class QQuickWindow;

namespace tessera {

class AppModel;

// The one window and what it needs around the model: the QML engine, the look, and the order in
// which the window's first showing hands files, demo mode and the Slack list to the model. The
// application and the start-up benchmark both start Tessera through it.
class Shell : public QObject
{
    Q_OBJECT

public:
    explicit Shell(AppModel &model, QObject *parent = nullptr);
    ~Shell() override;

    // Makes the window; false when its QML could not be loaded.
    bool open();
    QQuickWindow *window() const;

    // What the window's first showing does, in this order: a run kept from before Tessera was
    // closed is taken up, the files that were opened on the application go to the model (as if
    // dropped on the window, or held while the kept run is shown), then demo mode when asked for,
    // else the Slack user list.
    void start(const QList<QUrl> &pending);

    // Files opened on the running application (another launch, the desktop): the window comes to
    // the front and the files go in as if dropped.
    void openFiles(const QList<QUrl> &files);

    // The command line's file arguments as local file URLs.
    static QList<QUrl> filesFromArguments(const QStringList &arguments);

    // Sets up what every run of the window needs before the first QML engine: organisation and
    // application names (and so the settings file), the desktop file name and the Basic style.
    static void prepareApplication();

private:
    AppModel &m_model;
    Appearance m_appearance;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};

} // namespace tessera
