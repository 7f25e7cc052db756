// Files dropped on the window, whatever step it shows, go in as on the drop step.

#include "app/AppModel.h"
#include "ui/Shell.h"

#include <QMimeData>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

using namespace tessera;

class WindowDropTest : public QObject
{
    Q_OBJECT

    // A drag with the files entering the window's middle and dropped there.
    static void dropOn(QQuickWindow *window, const QList<QUrl> &files)
    {
        QMimeData data;
        data.setUrls(files);
        const QPoint middle(window->width() / 2, window->height() / 2);
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QDragMoveEvent move(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &move);
        QDropEvent drop(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &drop);
    }

private Q_SLOTS:
    void dropOnTheConfirmStep()
    {
        QTemporaryDir work;
        auto settings = std::make_unique<QSettings>(work.filePath(QStringLiteral("s.ini")),
                                                    QSettings::IniFormat);
        settings->setValue(QStringLiteral("apiBase"), QStringLiteral("http://127.0.0.1:9"));
        settings->setValue(QStringLiteral("nasURL"),
                           QUrl::fromLocalFile(work.filePath(QStringLiteral("nas"))).toString());
        AppModel::Options options;
        options.settings = std::move(settings);
        AppModel model(std::move(options));
        model.identity()->setEditor(QStringLiteral("Kit Orr"));
        const auto movie = [&](const char *name) {
            return QUrl::fromLocalFile(work.filePath(QLatin1StringView(name)));
        };
        model.add({movie("one_awall.mov")});
        model.goToConfirm();
        QCOMPARE(model.step(), Step::confirm);

        Shell shell(model);
        QVERIFY(shell.open());
        QVERIFY(QTest::qWaitForWindowExposed(shell.window()));
        dropOn(shell.window(), {movie("two_bwall.mov")});
        QCOMPARE(model.intake()->files().size(), 2);
        QCOMPARE(model.step(), Step::confirm);
    }
};

QTEST_MAIN(WindowDropTest)
#include "WindowDropTest.moc"
