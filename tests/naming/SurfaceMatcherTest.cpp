#include "core/naming/SurfaceMatcher.h"

#include "core/naming/SlotCheck.h"

#include <QTest>

using namespace tessera;

class SurfaceMatcherTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheSurfaceFromLooseNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<Surface>>("surface");
        const auto row = [](const char *name, std::optional<Surface> surface) {
            QTest::newRow(name) << QString::fromUtf8(name) << surface;
        };
        row("00_TST_Reel1_awall_v2412051430.mov", Surface::awall);
        row("TST reel 3 - B wall.mov", Surface::bwall);
        row("TST reel 3 - A-Wall.mov", Surface::awall);
        row("tst_reel3_D_WALL_final.mov", Surface::dwall);
        row("reel3_c.mov", Surface::cwall);
        row("reel3_subs_v2.mov", Surface::surtitles);
        row("Reel3 Surtitle.mov", Surface::surtitles);
        row("reel3.surtitles.mov", Surface::surtitles);
        row("reel3_floor2.mov", Surface::floor);
        row("reel3_floor_proxy4_v2.mov", Surface::floor);
        row("reel1_floor_v2_d.mov", Surface::floor); // _v2_d is a version tail, not the D wall
        row("clip_floor_v3b_r2.mov", Surface::floor);
        row("reel_v2_awall_final.mov", Surface::awall); // a "v" not at the end is no version
        row("reel3_floor_awall.mov", std::nullopt);
        row("reel3_flooring.mov", std::nullopt);
        row("reel3_cwalls.mov", std::nullopt);
        row("01_ABC_reel1.mov", std::nullopt); // the chapter code is not the A wall
        row("reel3.mov", std::nullopt);
        row("", std::nullopt);
    }

    void readsTheSurfaceFromLooseNames()
    {
        QFETCH(QString, name);
        QFETCH(std::optional<Surface>, surface);
        QCOMPARE(SurfaceMatcher::surface(name), surface);
        QCOMPARE(SurfaceMatcher::match(name),
                 surface ? std::optional(Slot{*surface, Proxy::full}) : std::nullopt);
    }

    void readsTheProxyScale()
    {
        for (const auto &[name, proxy] : QList<std::pair<const char *, Proxy>>{
                 {"awall_proxy4_v2.mov", Proxy::quarter},
                 {"awall_Proxy_2.mov", Proxy::half},
                 {"awall proxy-8.mov", Proxy::eighth},
                 {"00_TST_Reel1_awall_proxy8_v2412051430.mov", Proxy::eighth}})
            QCOMPARE(SurfaceMatcher::proxy(QString::fromUtf8(name)), proxy);
        for (const char *name : {"awall_proxy16.mov", "awall_proxy3.mov", "myproxy4.mov",
                                 "awall.mov", "awall_proxy.mov"})
            QCOMPARE(SurfaceMatcher::proxy(QString::fromUtf8(name)), Proxy::full);
    }

    void slotCheckFindsUnassignedAndClashingMovies()
    {
        QVERIFY(SlotCheck(QList<std::optional<Slot>>()).isComplete());

        const Slot aFull{Surface::awall, Proxy::full};
        const SlotCheck check({aFull, aFull, std::nullopt, Slot{Surface::bwall, Proxy::full}});
        QCOMPARE(check.unassigned, QList<int>{2});
        QCOMPARE(check.conflicts, (QList<int>{0, 1}));
        QVERIFY(!check.isComplete());

        QVERIFY(SlotCheck({aFull, Slot{Surface::awall, Proxy::quarter}}).isComplete());

        const SlotCheck three({Slot{Surface::floor, Proxy::full}, aFull,
                               Slot{Surface::floor, Proxy::full},
                               Slot{Surface::floor, Proxy::full}});
        QCOMPARE(three.conflicts, (QList<int>{0, 2, 3}));
        QVERIFY(three.unassigned.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SurfaceMatcherTest)
#include "SurfaceMatcherTest.moc"
