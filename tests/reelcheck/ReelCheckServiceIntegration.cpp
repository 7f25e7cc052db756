// The real transport against the tessera-reelcheck-service stand-in, run as a child process.

#include "core/naming/Naming.h"
#include "core/reelcheck/NetworkTransport.h"
#include "core/reelcheck/ReelCheckAPI.h"
#include "tests/copy/CopyTestSupport.h"
#include "tests/precheck/MovieFixtures.h"
#include "tests/reelcheck/StandIn.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tessera;
using namespace tessera::testing;

namespace {

constexpr char accessKey[] = "k3y-never-printed-0451";

SubmissionRequest request(const QString &key, const QStringList &files)
{
    return {"recTST1", "2412051430", false,        QString(),   "Kit Orr",
            files,     key,          std::nullopt, std::nullopt};
}

} // namespace

class ReelCheckServiceIntegration : public QObject
{
    Q_OBJECT

    QTemporaryDir m_drop;
    std::unique_ptr<StandIn> m_standIn;
    std::shared_ptr<NetworkTransport> m_transport;

    ReelCheckAPI client(const QUrl &base, double timeout = 10.0,
                        std::optional<QString> key = QString::fromLatin1(accessKey)) const
    {
        return ReelCheckAPI{base, m_transport, timeout, std::move(key)};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_drop.isValid());
        m_standIn = std::make_unique<StandIn>(m_drop.path(), QString::fromLatin1(accessKey));
        QVERIFY2(m_standIn->base().isValid(), m_standIn->output().constData());
        m_transport = std::make_shared<NetworkTransport>();
    }

    void cleanupTestCase()
    {
        const QByteArray output = m_standIn->output();
        // Every request logged.
        QVERIFY(output.contains("POST /api/submissions"));
        m_standIn.reset();
    }

    void endpointsAnswerAndRefuseThroughTheRealTransport()
    {
        const ReelCheckAPI api = client(m_standIn->base());
        const auto reels = QCoro::waitFor(api.reels());
        QVERIFY(reels);
        QVERIFY(reels.value().contains(
            Reel{QStringLiteral("recTST1"), QStringLiteral("00_TST_Reel1")}));
        for (const Reel &reel : reels.value())
            QVERIFY2(Naming::isValidReelKey(reel.name), qPrintable(reel.name));

        // Refusals come back as the stand-in's sentences.
        SubmissionRequest unknown = request(newSubmissionKey(), {QStringLiteral("x.mov")});
        unknown.reelID = QStringLiteral("recNOPE");
        QCOMPARE(QCoro::waitFor(api.submit(unknown)).error(),
                 APIError::rejected(QStringLiteral("There is no reel with the id recNOPE.")));
        SubmissionRequest escaping = request(newSubmissionKey(), {QStringLiteral("../x.mov")});
        QVERIFY(QCoro::waitFor(api.submit(escaping)).error().is<APIError::Rejected>());
        QCOMPARE(
            QCoro::waitFor(api.submission(QStringLiteral("no/such id"))).error(),
            APIError::http(404, QStringLiteral("There is no submission with the id no/such id.")));
        QVERIFY(QCoro::waitFor(api.help(HelpRequest{})).error().is<APIError::Rejected>());

        // A wrong or missing access key.
        QCOMPARE(QCoro::waitFor(client(m_standIn->base(), 10.0, QStringLiteral("wrong")).reels())
                     .error(),
                 APIError::notAllowed());
        QCOMPARE(QCoro::waitFor(client(m_standIn->base(), 10.0, std::nullopt).reels()).error(),
                 APIError::notAllowed());
        // Malformed submissions get an error object.
        for (const QByteArray &body :
             {QByteArray("{bad"), QByteArray(R"({"reel_id":"recTST1"})"), QByteArray("[]"),
              QByteArray(R"({"reel_id":"recTST1","version":"2412051430","new_edl":false,)"
                         R"("note":"","editor":"K","files":["a.mov"],"key":"K","number":1.5,)"
                         R"("edl":7})")}) {
            const HTTPReply reply = m_standIn->send("POST", accessKey, body);
            QCOMPARE(reply.statusCode, 400);
            QVERIFY2(Wire::readErrorReply(reply.body), reply.body.constData());
        }
    }

    void badStartUpInputGetsASentence()
    {
        QTemporaryDir dir;
        QFile data(dir.filePath(QStringLiteral("data.json")));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write(R"({"reels":[{"id":"r1"}],"slack_users":[]})");
        data.close();
        const QString state = dir.filePath(QStringLiteral("state.json"));
        put(state, R"({"submissions": [{"request": {}}]})");
        const QList<QPair<QStringList, QByteArray>> cases{
            {{QStringLiteral("--data"), data.fileName()}, "needs a string \"id\" and \"name\""},
            {{QStringLiteral("--data"), dir.filePath(QStringLiteral("none.json"))},
             "Can't open the data file"},
            {{QStringLiteral("--listen"), QStringLiteral("8790")}, "--listen wants an address"},
            {{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--state"),
              state},
             "holds a submission that can't be read"},
        };
        for (const auto &[arguments, sentence] : cases) {
            QProcess process;
            process.start(QStringLiteral(TESSERA_REELCHECK_SERVICE), arguments);
            QVERIFY(process.waitForFinished(10000));
            QCOMPARE(process.exitCode(), 2);
            const QByteArray said = process.readAllStandardError();
            QVERIFY2(said.contains(sentence), said.constData());
        }
        QCOMPARE(contents(state), QByteArray(R"({"submissions": [{"request": {}}]})"));
    }

    void theCheckWaitsForTheFilesThenJudgesThem()
    {
        const ReelCheckAPI api = client(m_standIn->base());
        const QString good = QStringLiteral("00_TST_Reel1_surtitles_v2412051430.mov");
        const QString wrong = QStringLiteral("00_TST_Reel2_surtitles_v2412051430.mov");

        const auto ready = QCoro::waitFor(api.submit(request(newSubmissionKey(), {good})));
        SubmissionRequest fixing = request(newSubmissionKey(), {wrong});
        fixing.edl = QStringLiteral("Halcyon_v2412051430.edl");
        const auto needsFixing = QCoro::waitFor(api.submit(fixing));
        QVERIFY(ready && needsFixing);

        const auto waiting = QCoro::waitFor(api.submission(ready.value().id));
        QVERIFY(waiting && waiting.value().waitingForFiles && !waiting.value().isFinal());

        const QDir day(m_drop.filePath(Naming::dayFolder(QStringLiteral("2412051430"))));
        QVERIFY(QDir().mkpath(day.path()));
        const auto make = [&](const QString &name, const char *profile) {
            return fixtures::ffmpeg(
                fixtures::args("-f lavfi -i color=c=black:s=5612x304:r=30 -frames:v 3 -c:v "
                               "prores_ks -profile:v") +
                    QString::fromLatin1(profile).split(u' ')
                << day.filePath(name));
        };
        QVERIFY2(make(good, "4 -pix_fmt yuva444p10le"), "ffmpeg is needed");
        QVERIFY(make(wrong, "1 -pix_fmt yuv422p10le"));

        const auto passed = QCoro::waitFor(api.submission(ready.value().id));
        QCOMPARE(passed.value().filesChecked, QStringList{good});
        QVERIFY(passed.value().checkedAt);

        // The EDL is not there yet, so this one still waits.
        QVERIFY(QCoro::waitFor(api.submission(needsFixing.value().id)).value().waitingForFiles);
        QFile edl(day.filePath(*fixing.edl));
        QVERIFY(edl.open(QIODevice::WriteOnly));
        edl.close();
        const auto failed = QCoro::waitFor(api.submission(needsFixing.value().id));
        QVERIFY(failed);
        QCOMPARE(failed.value().status, QStringLiteral("Needs fixing"));
        QCOMPARE(
            failed.value().problems,
            QStringList({wrong + QStringLiteral(": Belongs to 00_TST_Reel2, not to the "
                                                "submitted reel 00_TST_Reel1."),
                         wrong + QStringLiteral(": Is ProRes 422 LT, should be ProRes 4444.")}));
    }
};

QTEST_GUILESS_MAIN(ReelCheckServiceIntegration)
#include "ReelCheckServiceIntegration.moc"
