#include "core/reelcheck/WireRecords.h"

#include <QTest>

using namespace tessera;

class WireRecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusReadsDefaultsAndFailsOnWrongTypesDeepNestingAndHugeNumbers()
    {
        const auto onlyID = Wire::readSubmissionStatus(R"({"id":"rec1"})");
        QVERIFY(onlyID);
        SubmissionStatus empty;
        empty.id = QStringLiteral("rec1");
        QCOMPARE(*onlyID, empty);
        QVERIFY(!onlyID->isFinal());

        const auto nulls = Wire::readSubmissionStatus(
            R"({"id":"rec1","number":null,"status":null,"problems":null,"files_checked":null,)"
            R"("checked_at":null,"waiting_for_files":null,"extra":[1,2]})");
        QVERIFY(nulls);
        QCOMPARE(*nulls, empty);

        const auto full = Wire::readSubmissionStatus(
            R"({"id":"rec1","number":42,"status":"Needs fixing","problems":["a","b"],)"
            R"("files_checked":["x.mov"],"checked_at":"2024-12-05T14:30:00Z",)"
            R"("waiting_for_files":true})");
        QVERIFY(full);
        QCOMPARE(full->number, 42);
        QCOMPARE(full->problems, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(full->filesChecked, QStringList{QStringLiteral("x.mov")});
        QCOMPARE(full->checkedAt, QStringLiteral("2024-12-05T14:30:00Z"));
        QVERIFY(full->waitingForFiles);
        QVERIFY(full->isFinal());
        for (const char *text : {"needs fixing", "Ready for QLab ", "Checking"}) {
            empty.status = QString::fromLatin1(text);
            QVERIFY2(!empty.isFinal(), text);
        }
        empty.status = QStringLiteral("Ready for QLab");
        QVERIFY(empty.isFinal());

        const char *bad[] = {
            R"({"id":7})",
            R"({"id":"a","number":"7"})",
            R"({"id":"a","number":7.5})",
            R"({"id":"a","number":9223372036854775808})",
            R"({"id":"a","number":-1e300})",
            R"({"id":"a","status":3})",
            R"({"id":"a","problems":"none"})",
            R"({"id":"a","problems":["x",null]})",
            R"({"id":"a","files_checked":{}})",
            R"({"id":"a","checked_at":12})",
            R"({"id":"a","waiting_for_files":0})",
            R"({})",
            R"(["id"])",
            R"({"id":"a"} x)",
        };
        for (const char *json : bad)
            QVERIFY2(!Wire::readSubmissionStatus(json), json);
        const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
        QVERIFY(!Wire::readSubmissionStatus(deep));
        const QByteArray deepInside = R"({"id":"a","problems":)" + deep + "}";
        QVERIFY(!Wire::readSubmissionStatus(deepInside));
        const QByteArray longNumber = R"({"id":"a","number":)" + QByteArray(5000, '9') + "}";
        QVERIFY(!Wire::readSubmissionCreated(longNumber));
    }

    void integersKeepEveryBitAndWholeDoublesCount()
    {
        auto number = [](const char *json) {
            const auto created = Wire::readSubmissionCreated(json);
            return created ? created->number : std::optional<qint64>(-1);
        };
        QCOMPARE(number(R"({"id":"a","number":9223372036854775807})"),
                 std::numeric_limits<qint64>::max());
        QCOMPARE(number(R"({"id":"a","number":-9223372036854775808})"),
                 std::numeric_limits<qint64>::min());
        QCOMPARE(number(R"({"id":"a","number":9007199254740993})"), 9007199254740993LL);
        QCOMPARE(number(R"({"id":"a","number":12.0})"), 12);
        QCOMPARE(number(R"({"id":"a","number":1e3})"), 1000);
        QCOMPARE(number(R"({"id":"a"})"), std::nullopt);
        QCOMPARE(number(R"({"id":"a","number":null})"), std::nullopt);
        QCOMPARE(Wire::write(SubmissionCreated{QStringLiteral("a"), 9007199254740993LL}),
                 QByteArray(R"({"id":"a","number":9007199254740993})"));
        QCOMPARE(Wire::write(SubmissionCreated{QStringLiteral("a"), std::nullopt}),
                 QByteArray(R"({"id":"a"})"));
    }

    void healthDegradation()
    {
        auto health = [](const char *json) {
            const auto read = Wire::readHealth(json);
            if (!read)
                qFatal("health did not read: %s", json);
            return *read;
        };
        QVERIFY(!health(R"({"nas_ok":true,"airtable_ok":true,"last_poll_age_s":60})").isDegraded());
        QVERIFY(
            health(R"({"nas_ok":true,"airtable_ok":true,"last_poll_age_s":60.5})").isDegraded());
        QVERIFY(health(R"({"nas_ok":false,"airtable_ok":true,"last_poll_age_s":1})").isDegraded());
        QVERIFY(!health(R"({"nas_ok":true,"airtable_ok":false})").isDegraded());
        QCOMPARE(health(R"({"nas_ok":true,"airtable_ok":true,"version":"2.1"})").version,
                 QStringLiteral("2.1"));

        QVERIFY(!Wire::readHealth(R"({"nas_ok":true})"));
        QVERIFY(!Wire::readHealth(R"({"nas_ok":true,"airtable_ok":null})"));
        QVERIFY(!Wire::readHealth(R"({"nas_ok":1,"airtable_ok":true})"));
        QVERIFY(!Wire::readHealth(R"({"nas_ok":true,"airtable_ok":true,"last_poll_age_s":"3"})"));
        QVERIFY(!Wire::readHealth(R"({"nas_ok":true,"airtable_ok":true,"last_poll_age_s":1e999})"));

        const Health written{true, false, 1.5, std::nullopt};
        QCOMPARE(Wire::write(written),
                 QByteArray(R"({"airtable_ok":false,"last_poll_age_s":1.5,"nas_ok":true})"));
    }

    void submissionRequestWritesSortedKeysAndLeavesAbsentOptionalsOut()
    {
        SubmissionRequest request{"recR",
                                  "2412051430",
                                  true,
                                  QString(),
                                  "Mira Lantz",
                                  QStringList("00_TST_Reel1_awall_v2412051430.mov"),
                                  "5C3F8A7E-0000-4000-8000-00000000000A",
                                  std::nullopt,
                                  std::nullopt};
        const QByteArray bare = Wire::write(request);
        QVERIFY(!bare.contains("\"edl\"") && !bare.contains("slack_user_id") &&
                !bare.contains("null"));

        request.edl = QStringLiteral("Halcyon_v2412051430.edl");
        request.slackUserID = QStringLiteral("U1");
        const QByteArray full = Wire::write(request);
        QCOMPARE(full, QByteArray(R"({"editor":"Mira Lantz","edl":"Halcyon_v2412051430.edl",)"
                                  R"("files":["00_TST_Reel1_awall_v2412051430.mov"],)"
                                  R"("key":"5C3F8A7E-0000-4000-8000-00000000000A","new_edl":true,)"
                                  R"("note":"","reel_id":"recR","slack_user_id":"U1",)"
                                  R"("version":"2412051430"})"));
        QCOMPARE(Wire::readSubmissionRequest(full), request);
        QCOMPARE(Wire::readSubmissionRequest(bare)->edl, std::nullopt);
        QVERIFY(!Wire::readSubmissionRequest(R"({"reel_id":"r","version":"v","new_edl":"no",)"
                                             R"("note":"","editor":"e","files":[],"key":"k"})"));
    }

    void submissionKeysAreUpperCaseUUIDs()
    {
        const QString key = newSubmissionKey();
        QCOMPARE(key, key.toUpper());
        QVERIFY(!QUuid::fromString(key).isNull());
        QVERIFY(newSubmissionKey() != key);
    }

    void reelListAndErrorReply()
    {
        QCOMPARE(Wire::readReelList(R"({"reels":[]})"), QList<Reel>());
        QCOMPARE(Wire::readReelList(R"({"reels":[{"id":"r1","name":"00_TST_Reel1"}],"x":1})"),
                 QList<Reel>({{QStringLiteral("r1"), QStringLiteral("00_TST_Reel1")}}));
        QVERIFY(!Wire::readReelList(R"({})"));
        QVERIFY(!Wire::readReelList(R"({"reels":null})"));
        QVERIFY(!Wire::readReelList(R"([{"id":"r1","name":"n"}])"));
        QVERIFY(!Wire::readReelList(R"({"reels":[{"id":"r1"}]})"));
        QVERIFY(!Wire::readReelList(R"({"reels":[{"id":"r1","name":"n"}, 3]})"));

        QCOMPARE(Wire::readErrorReply(R"({"error":"No such reel."})"),
                 QStringLiteral("No such reel."));
        QVERIFY(!Wire::readErrorReply(R"({"error":{"message":"x"}})"));
        QVERIFY(!Wire::readErrorReply("Internal Server Error"));
    }
};

QTEST_GUILESS_MAIN(WireRecordsTest)
#include "WireRecordsTest.moc"
