#include "core/reelcheck/HelpReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tessera;

class HelpReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contextDropsBlankFieldsAndCapsFiles()
    {
        HelpContext raw;
        raw.reel = QStringLiteral("  \t");
        raw.step = QStringLiteral("\n Confirm \n");
        raw.files = QStringList();
        for (int i = 1; i <= 25; ++i)
            raw.files->append(QStringLiteral("file%1.mov").arg(i));
        raw.nasOK = false;
        const HelpContext context = raw.normalized();
        QCOMPARE(context.reel, std::nullopt);
        QCOMPARE(context.step, QStringLiteral("Confirm"));
        QCOMPARE(context.files->size(), 20);
        QCOMPARE(context.files->last(), QStringLiteral("file20.mov"));

        const QJsonObject json = Wire::toObject(context);
        QCOMPARE(json.keys(), QStringList({"files", "nas_ok", "step"}));
        QCOMPARE(json.value(QStringLiteral("nas_ok")).toBool(true), false);

        raw.files = QStringList();
        QCOMPARE(raw.normalized().files, std::nullopt);
        QVERIFY(!Wire::toObject(raw.normalized()).contains(QStringLiteral("files")));
    }

    void contextLinesInOrderUnderATrimmedSummary()
    {
        HelpContext context;
        context.reel = QStringLiteral("00_TST_Reel1");
        context.version = QStringLiteral("2412051430");
        context.step = QStringLiteral("Copy and submit");
        context.error = QStringLiteral("Can't reach VX9.");
        context.files = QStringList({QStringLiteral("a.mov → 00_TST_Reel1_awall_v2412051430.mov"),
                                     QStringLiteral("b.edl")});
        context.submissionID = QStringLiteral("rec9");
        context.submissionNumber = 12;
        context.appVersion = QStringLiteral("1.2 (34)");
        context.macos = QStringLiteral("6.1.0");
        context.nasOK = true;
        context.vx9OK = false;
        QCOMPARE(HelpReport::contextLines(context),
                 QStringList({"Reel: 00_TST_Reel1", "Version: 2412051430", "Step: Copy and submit",
                              "Error: Can't reach VX9.", "Submission: #12 (rec9)",
                              "Files: a.mov → 00_TST_Reel1_awall_v2412051430.mov, b.edl",
                              "NAS: reachable", "VX9: not reachable",
                              "Tessera 1.2 (34) on Linux 6.1.0"}));

        HelpContext numberOnly;
        numberOnly.submissionNumber = 3;
        QCOMPARE(HelpReport::contextLines(numberOnly),
                 QStringList({"Submission: #3", "Tessera ?"}));
        HelpContext idOnly;
        idOnly.submissionID = QStringLiteral("rec1");
        QCOMPARE(HelpReport::contextLines(idOnly), QStringList({"Submission: rec1", "Tessera ?"}));
        QCOMPARE(HelpReport::contextLines(HelpContext{}), QStringList{"Tessera ?"});

        HelpRequest request{QString(), QStringLiteral("\n\n The copy stalls.\n"), HelpContext{}};
        QCOMPARE(HelpReport::summary(request),
                 QStringLiteral("Tessera help request from an editor\n"
                                "What's going on: The copy stalls.\n\nTessera ?"));
    }

    void validityCountsUserPerceivedCharacters()
    {
        QVERIFY(HelpReport::isValid(QStringLiteral("\n") + QString(1000, u'x') +
                                    QStringLiteral(" \n")));
        QVERIFY(!HelpReport::isValid(QString(1001, u'x')));
        QVERIFY(!HelpReport::isValid(QStringLiteral(" \n\t\n ")));
        QVERIFY(!HelpReport::isValid(QString()));
        // "e" with a combining accent is one character; so are an emoji and a flag after it.
        const QString emojiAndFlag = QStringLiteral("\U0001F600\U0001F1EC\U0001F1E7");
        QCOMPARE(HelpReport::messageLength(u' ' + emojiAndFlag.repeated(500) + u'\n'), 1000);
        QVERIFY(HelpReport::isValid(emojiAndFlag.repeated(500)));
        const QString accented = QStringLiteral("e\u0301").repeated(1000);
        QVERIFY(HelpReport::isValid(accented));
        QVERIFY(!HelpReport::isValid(accented + u'e'));
    }

    void onlyARefusalIsShownInsteadOfFallingBack()
    {
        QVERIFY(!HelpReport::shouldFallBack(APIError::rejected(QStringLiteral("No."))));
        for (const APIError &error :
             {APIError::unreachable(QString()), APIError::uncertain(QString()),
              APIError::http(503, QString()), APIError::notAllowed(), APIError::badResponse()})
            QVERIFY(HelpReport::shouldFallBack(error));
    }

    void requestWritesEveryKeySortedAndReadsBack()
    {
        HelpContext context;
        context.submissionNumber = 9007199254740993LL;
        context.vx9OK = true;
        const HelpRequest request{QStringLiteral("Kit"), QStringLiteral("Help"), context};
        const QByteArray json = Wire::write(request);
        QCOMPARE(json, QByteArray(R"({"context":{"submission_number":9007199254740993,)"
                                  R"("vx9_ok":true},"editor":"Kit","message":"Help"})"));
        QCOMPARE(Wire::readHelpRequest(json), request);
        QVERIFY(!Wire::readHelpRequest(R"({"editor":"Kit","message":"Help"})"));
        QVERIFY(
            !Wire::readHelpRequest(R"({"editor":"Kit","message":"Help","context":{"files":"a"}})"));
        QVERIFY(!Wire::readHelpAccepted(R"({"ok":1})"));
    }
};

QTEST_GUILESS_MAIN(HelpReportTest)
#include "HelpReportTest.moc"
