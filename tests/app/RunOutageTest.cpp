// The run when the share stops answering or goes away, against the real stand-in and a local
// folder standing for the NAS, with a copier that hangs or loses the connection on command and
// waits shortened.

#include "tests/app/ModelFixture.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <mutex>

using namespace tessera;
using namespace tessera::testing;
using namespace std::chrono_literals;

namespace {

// Copies for real, except that it can hang like a call on a share that stopped answering (deaf
// to the stop, until let go), or lose the connection once for one file after leaving a partial
// file behind, as a copy on a dead share does.
class FlakyShare
{
public:
    void hang()
    {
        const std::lock_guard lock(m_mutex);
        m_hang = true;
    }
    void letGo()
    {
        const std::lock_guard lock(m_mutex);
        m_hang = false;
        m_wake.notify_all();
    }
    void loseConnectionOnce(const QString &name, std::function<void()> goAway)
    {
        m_loseOn = name;
        m_goAway = std::move(goAway);
    }
    int calls(const QString &name)
    {
        const std::lock_guard lock(m_mutex);
        return m_calls.value(name);
    }

    CopyRun::Copier copier()
    {
        return [this](const QUrl &from, const QUrl &to, const SafeCopier::Control &control) {
            const QString name = to.fileName();
            std::unique_lock lock(m_mutex);
            const int call = ++m_calls[name];
            if (m_hang) {
                m_wake.wait(lock, [this] { return !m_hang; });
                throw CopyError::io(name, QStringLiteral("writing to the NAS: gone"));
            }
            lock.unlock();
            if (name == m_loseOn && call == 1) {
                const QUrl partial = SafeCopier::partialURL(to, QStringLiteral("0123456789ab"));
                QFile file(partial.toLocalFile());
                if (file.open(QIODevice::WriteOnly))
                    file.write("the first bytes");
                file.close();
                control.partialMade(partial);
                m_goAway();
                throw CopyError::connectionLost(
                    name, QStringLiteral("writing to the NAS: Connection reset by peer"));
            }
            return SafeCopier::copyOverlapped(from, to, control);
        };
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_hang = false;
    QMap<QString, int> m_calls;
    QString m_loseOn;
    std::function<void()> m_goAway;
};

} // namespace

class RunOutageTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

    QString away() const { return f.nas + QStringLiteral("-away"); }
    void shareGoes() { QVERIFY(QDir().rename(f.nas, away())); }
    void shareComes() { QVERIFY(QDir().rename(away(), f.nas)); }
    static QString finalName(const AppModel &model, int file)
    {
        return model.confirmation()->finalName(model.intake()->files().at(file)).value();
    }

private Q_SLOTS:
    void initTestCase() { f.makeMovies(); }
    void init()
    {
        f.setUp();
        f.timing.stallAfter = 300ms;
        f.timing.reconnectInterval = 100ms;
    }
    void cleanup() { f.tearDown(); }

    // No byte moves: the line and the row say so, without a speed or a time left. "Stop" ends
    // the run at once although the copy is deaf to it, and the copy ends in the background
    // without placing anything.
    void stallIsSaidAndStopDoesNotWaitForTheCopy()
    {
        FlakyShare share;
        share.hang();
        auto model = f.makeModel();
        CopyRun &run = *model->run();
        run.setCopier(share.copier());
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->startCopy();
        QTRY_VERIFY_WITH_TIMEOUT(run.transfer() && run.transfer()->held(), 10000);
        const QString line = run.transfer()->line();
        QVERIFY2(line.startsWith(u"Copying 1 of 1 · ") &&
                     line.endsWith(u" · The NAS isn't answering. Tessera is waiting for it.") &&
                     !line.contains(u"MB/s") && !line.contains(u"left"),
                 qPrintable(line));
        QCOMPARE(run.rows().first().state, FileState::stalled);

        QElapsedTimer pressed;
        pressed.start();
        run.stop();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::failed, 1000);
        QVERIFY(pressed.elapsed() < 1000);
        QCOMPARE(run.failureMessage(), u"Copy stopped.");
        QVERIFY(!run.transfer() && !model->quitNeedsConfirmation());
        share.letGo();
        settle();
        QCOMPARE(run.phaseKind(), Phase::Kind::failed);
        QCOMPARE(filesBelow(f.dayFolder(*model)), QStringList());
    }

    // The connection breaks during the second file and the share goes away for a while: the run
    // says it waits, then carries on by itself; the first file is not copied again, the partial
    // file left behind is removed, and the service gets one submission.
    void lostConnectionIsRiddenOut()
    {
        FlakyShare share;
        auto model = f.makeModel();
        CopyRun &run = *model->run();
        run.setCopier(share.copier());
        f.toConfirm(*model,
                    {f.exported("awall.mov", QStringLiteral("00_TST_Reel1_awall.mov")),
                     f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov"))});
        const QString first = finalName(*model, 0);
        const QString second = finalName(*model, 1);
        share.loseConnectionOnce(second, [this] { shareGoes(); });
        model->startCopy();
        QTRY_VERIFY_WITH_TIMEOUT(
            run.transfer() && run.transfer()->hold == TransferStatus::Hold::reconnecting, 20000);
        QVERIFY2(run.transfer()->line().startsWith(u"Copying 2 of 2 · "),
                 qPrintable(run.transfer()->line()));
        QCOMPARE(run.rows().at(1).state, FileState::stalled);
        QCOMPARE(run.state().partials.size(), 1);
        QTest::qWait(400); // a few probes find nothing
        QCOMPARE(run.phaseKind(), Phase::Kind::copying);
        shareComes();

        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(share.calls(first), 1);
        QCOMPARE(share.calls(second), 2);
        QCOMPARE(run.rows().at(0).state, FileState::alreadyThere);
        QCOMPARE(run.rows().at(1).state, FileState::done);
        QCOMPARE(filesBelow(f.dayFolder(*model)), QStringList({first, second}));
        QVERIFY(run.state().partials.isEmpty());
        QCOMPARE(f.submissions().size(), 1);
    }

    // The share stays away past the limit: the run fails with the cause. The kept run remembers
    // the partial file, and once the share is back a new start's "Try again" removes it.
    void outagePastTheLimitFailsAndTheKeptRunClearsUp()
    {
        f.timing.reconnectLimit = 400ms;
        FlakyShare share;
        auto model = f.makeModel();
        model->run()->setCopier(share.copier());
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        const QString name = finalName(*model, 0);
        share.loseConnectionOnce(name, [this] { shareGoes(); });
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::failed, 20000);
        QCOMPARE(model->run()->failureMessage(),
                 QStringLiteral("The connection to the NAS was lost while copying %1. Files "
                                "already checked are kept. Press Try again once the NAS is back.")
                     .arg(name));
        const QString day = f.dayFolder(*model);
        model.reset();
        shareComes();
        QCOMPARE(filesBelow(day).size(), 1); // the partial file

        model = f.makeModel();
        model->run()->setCopier(share.copier());
        model->restoreRun();
        QCOMPARE(model->run()->state().partials.size(), 1);
        model->run()->run();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(filesBelow(day), QStringList{name});
        QCOMPARE(f.submissions().size(), 1);
    }
};

QTEST_GUILESS_MAIN(RunOutageTest)
#include "RunOutageTest.moc"
