// Demo scenes fill the model without the network and leave the stored settings alone.

#include "tests/app/ModelFixture.h"

using namespace tessera;
using namespace tessera::testing;

class DemoTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

private Q_SLOTS:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void demoScenes()
    {
        const QString demo = f.work->filePath(QStringLiteral("demo"));
        QVERIFY(QDir().mkpath(demo));
        put(demo + QStringLiteral("/00_TST_Reel1_awall.mov"), "x");
        put(demo + QStringLiteral("/00_TST_Reel1_floor.mov"), "x");
        put(demo + QStringLiteral("/extra.mov"), "x");
        qputenv("TESSERA_DEMO_DIR", demo.toUtf8());
        qputenv("TESSERA_DEMO_MANY", "1");
        const auto unset = qScopeGuard([] {
            for (const char *name : {"TESSERA_DEMO", "TESSERA_DEMO_DIR", "TESSERA_DEMO_MANY"})
                qunsetenv(name);
        });
        for (const char *scene : {"drop", "copying", "fixing", "waiting"}) {
            qputenv("TESSERA_DEMO", scene);
            auto model = f.makeModel();
            model->loadDemoIfAsked();
            QVERIFY(model->isDemo());
            QCOMPARE(model->identity()->me()->id, u"U1");
            model->identity()->setEditor(QStringLiteral("Someone Else"));
            model->identity()->setMe(std::nullopt);
            const CopyRun &run = *model->run();
            if (qstrcmp(scene, "drop") == 0) {
                QVERIFY(model->intake()->files().isEmpty());
            } else if (qstrcmp(scene, "copying") == 0) {
                QCOMPARE(run.transfer()->line(),
                         u"Copying 3 of 3 · 2.4 of 6.1 GB · 410 MB/s · about 9 s left");
                QCOMPARE(run.rows().at(2).state, FileState::copying);
            } else if (qstrcmp(scene, "fixing") == 0) {
                QCOMPARE(run.phaseKind(), Phase::Kind::finished);
                QCOMPARE(model->verdict()->problems().size(), 15);
                QCOMPARE(model->intake()->files().at(2).slot,
                         (Slot{Surface::surtitles, Proxy::full}));
            } else {
                QCOMPARE(run.phaseKind(), Phase::Kind::waiting);
                QCOMPARE(model->verdict()->number(), 12);
                // The number alone: no clock runs from a submission time the demo never had.
                QVERIFY(!model->verdict()->submittedAt());
            }
        }
        QSettings stored(f.settingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("editorName")).toString(), u"Kit Orr");
        QVERIFY(!stored.contains(QStringLiteral("slackUserID")));
        QVERIFY2(!f.standIn->output().contains(" /api/"), f.standIn->output().constData());
    }
};

QTEST_GUILESS_MAIN(DemoTest)
#include "DemoTest.moc"
