// Taking in files: which are kept, which are named as left out, and the EDL.

#include "tests/app/ModelFixture.h"

#include <QAbstractItemModelTester>

using namespace tessera;
using namespace tessera::testing;

class IntakeTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

private Q_SLOTS:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void dropIntake()
    {
        auto model = f.makeModel();
        const Intake &intake = *model->intake();
        QAbstractItemModelTester tester(intake.filesModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString folder = f.work->filePath(QStringLiteral("drop"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        for (const char *name : {"b.mov", "a.MOV", ".hidden.mov", "notes.txt", "z.edl"})
            put(folder + u'/' + QLatin1StringView(name), "x");
        const auto at = [&](const char *name) {
            return QUrl::fromLocalFile(f.work->filePath(QLatin1StringView(name)));
        };
        model->add({at("one_floor.mov"), at("b.txt"), at("c.edl"), at("d.edl")});
        QCOMPARE(intake.files().size(), 1);
        QCOMPARE(intake.files().first().slot, (Slot{Surface::floor, Proxy::full}));
        QCOMPARE(intake.edl(), at("c.edl"));
        QVERIFY(model->confirmation()->newEDL());
        QCOMPARE(intake.dropMessage(),
                 u"Drop one EDL at a time. Kept c.edl. Only .mov and .edl files can go in. Left "
                 u"out: b.txt.");
        model->add({at("one_floor.mov"), QUrl::fromLocalFile(folder)});
        QStringList names;
        for (const DroppedFile &file : intake.files())
            names << CopyPlanner::fileName(file.url);
        QCOMPARE(names, (QStringList{"one_floor.mov", "a.MOV", "b.mov"}));
        QCOMPARE(intake.edl(), QUrl::fromLocalFile(folder + QStringLiteral("/z.edl")));
        QCOMPARE(intake.dropMessage(), std::nullopt);
        model->add({at("1.txt"), at("2.txt"), at("3.txt"), at("4.txt"), at("5.txt")});
        QCOMPARE(intake.dropMessage(),
                 u"Only .mov and .edl files can go in. Left out: 1.txt, 2.txt, 3.txt and 2 more.");
        QCOMPARE(intake.filesModel()->rowCount(), 3);
        model->intake()->remove(intake.files().at(1));
        QCOMPARE(intake.files().size(), 2);

        // The EDL taken back, and with it the tick that a new EDL comes.
        model->intake()->removeEDL();
        QCOMPARE(intake.edl(), std::nullopt);
        QVERIFY(!model->confirmation()->newEDL());
        QCOMPARE(intake.files().size(), 2);
    }
};

QTEST_GUILESS_MAIN(IntakeTest)
#include "IntakeTest.moc"
