#include "core/copy/EDLRewriter.h"

#include "core/naming/Naming.h"

#include <QTest>

using namespace tessera;

namespace {

const QString reel = QStringLiteral("07_ABC_Reel3");
const QString stamp = QStringLiteral("2412051430");

QString finalName(Surface surface, Proxy proxy = Proxy::full)
{
    return Naming::fileName(reel, surface, proxy, stamp);
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

class EDLRewriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesOnlyTheClipName()
    {
        const QString floor = finalName(Surface::floor);
        const QList<EDLRewriter::File> files{
            {QStringLiteral("  Floor Export.mov\n"), floor, {Surface::floor, Proxy::full}},
        };
        const QByteArray edl("\xEF\xBB\xBFTITLE: Halcyon  \r\n"
                             "001  AX  V  C  00:00:00:00 00:00:10:00 01:00:00:00 01:00:10:00\r\n"
                             "* FROM CLIP NAME:  Floor Export.mov  \r\n"
                             "*\tFROM CLIP NAME:\tfloor EXPORT.MOV\t\r\n"
                             "\xEF\xBB\xBF*FROM CLIP NAME: FLOOR export.mov");
        const auto result = EDLRewriter::rewrite(edl, reel, files);
        // The same name on two lines is ambiguous: neither is replaced.
        QCOMPARE(result.data, edl);
        QCOMPARE(result.changed, 0);
        QCOMPARE(result.ambiguous, QStringList{QStringLiteral("  Floor Export.mov\n")});
        QCOMPARE(EDLRewriter::ambiguousMessage(QStringLiteral("Floor Export.mov")),
                 QStringLiteral("Your EDL uses Floor Export.mov for more than one clip. Export "
                                "with a unique name per reel (for example the names Tessera "
                                "gives), then drop again."));

        const QByteArray single("\xEF\xBB\xBFTITLE: Halcyon  \r\n"
                                "* FROM CLIP NAME:  floor EXPORT.mov  \r\n"
                                "* COMMENT: Floor Export.mov\r\n");
        const auto rewritten = EDLRewriter::rewrite(single, reel, files);
        QCOMPARE(rewritten.data, QByteArray("\xEF\xBB\xBFTITLE: Halcyon  \r\n"
                                            "* FROM CLIP NAME:  ") +
                                     utf8(floor) +
                                     QByteArray("  \r\n* COMMENT: Floor Export.mov\r\n"));
        QCOMPARE(rewritten.changed, 1);
        QVERIFY(rewritten.ambiguous.isEmpty());
    }

    void keepsEveryLineEnding()
    {
        const QList<EDLRewriter::File> files{
            {QStringLiteral("a.mov"), QStringLiteral("A"), {Surface::awall, Proxy::full}},
            {QStringLiteral("b.mov"), QStringLiteral("B"), {Surface::bwall, Proxy::full}},
            {QStringLiteral("c.mov"), QStringLiteral("C"), {Surface::cwall, Proxy::full}},
        };
        const QByteArray edl("* FROM CLIP NAME: a.mov\r"
                             "\r\n"
                             "* FROM CLIP NAME: b.mov\n\n\r\r"
                             "* FROM CLIP NAME: c.mov \t");
        const auto result = EDLRewriter::rewrite(edl, reel, files);
        QCOMPARE(result.data, QByteArray("* FROM CLIP NAME: A\r"
                                         "\r\n"
                                         "* FROM CLIP NAME: B\n\n\r\r"
                                         "* FROM CLIP NAME: C \t"));
        QCOMPARE(result.changed, 3);

        const QByteArray lf("TITLE: x\n* FROM CLIP NAME: b.mov\n");
        QCOMPARE(EDLRewriter::rewrite(lf, reel, files).data,
                 QByteArray("TITLE: x\n* FROM CLIP NAME: B\n"));
        QCOMPARE(EDLRewriter::rewrite({}, reel, files), EDLRewriter::Result{});
    }

    void recognisesOnlyTheExactMarker()
    {
        const QList<EDLRewriter::File> files{
            {QStringLiteral("a.mov"), QStringLiteral("A"), {Surface::awall, Proxy::full}},
        };
        for (const char *line :
             {"* from clip name: a.mov", "*  FROM CLIP NAME:", "** FROM CLIP NAME: a.mov",
              " * FROM CLIP NAME: a.mov", "* FROM CLIP NAME a.mov", "* FROM CLIP NAME:   \t",
              "\xEF\xBB\xBF\xEF\xBB\xBF* FROM CLIP NAME: a.mov"}) {
            const QByteArray edl = QByteArray(line) + "\r\n";
            const auto result = EDLRewriter::rewrite(edl, reel, files);
            QCOMPARE(result.data, edl);
            QCOMPARE(result.changed, 0);
        }
        QCOMPARE(EDLRewriter::rewrite("*FROM CLIP NAME:a.mov", reel, files).data,
                 QByteArray("*FROM CLIP NAME:A"));
        // A name that already is the final name is no change.
        const QByteArray done("* FROM CLIP NAME: A\n");
        QCOMPARE(EDLRewriter::rewrite(done, reel, files).changed, 0);
    }

    void earlierFinalNamesOfTheSameReelFollowTheirSlot()
    {
        const QString quarter = finalName(Surface::dwall, Proxy::quarter);
        const QList<EDLRewriter::File> files{
            {QStringLiteral("D.mov"), quarter, {Surface::dwall, Proxy::quarter}},
        };
        const QString earlier =
            Naming::fileName(reel, Surface::dwall, Proxy::quarter, QStringLiteral("2411301200"));
        const QString earlierFull =
            Naming::fileName(reel, Surface::dwall, Proxy::full, QStringLiteral("2411301200"));
        const QString otherReel = Naming::fileName(QStringLiteral("07_ABC_Reel2"), Surface::dwall,
                                                   Proxy::quarter, QStringLiteral("2411301200"));
        const QByteArray edl = "* FROM CLIP NAME: " + utf8(earlier) +
                               "\n* FROM CLIP NAME: " + utf8(otherReel) +
                               "\n* FROM CLIP NAME: " + utf8(earlierFull) + "\n";
        const auto result = EDLRewriter::rewrite(edl, reel, files);
        QCOMPARE(result.data, "* FROM CLIP NAME: " + utf8(quarter) +
                                  "\n* FROM CLIP NAME: " + utf8(otherReel) +
                                  "\n* FROM CLIP NAME: " + utf8(earlierFull) + "\n");
        QCOMPARE(result.changed, 1);
    }

    void readsLatin1NamesAndLeavesOtherBytesAlone()
    {
        const QList<EDLRewriter::File> files{
            {QStringLiteral("Sc\u00e8ne.mov"),
             QStringLiteral("Fin\u00e9.mov"),
             {Surface::awall, Proxy::full}},
            {QStringLiteral("\u00c9TAGE.mov"),
             QStringLiteral("E.mov"),
             {Surface::floor, Proxy::full}},
        };
        // ISO 8859-1 on one line, UTF-8 (upper case, so lower-casing must be Unicode-aware) on the
        // next, and bytes valid in neither sense of a dropped name on the last.
        const QByteArray edl("* FROM CLIP NAME: Sc\xe8ne.mov  \r\n"
                             "* FROM CLIP NAME: \xc3\xa9tage.MOV\r\n"
                             "* FROM CLIP NAME: \xff\xfe\x80.mov\r\n");
        const auto result = EDLRewriter::rewrite(edl, reel, files);
        QCOMPARE(result.data, QByteArray("* FROM CLIP NAME: Fin\xc3\xa9.mov  \r\n"
                                         "* FROM CLIP NAME: E.mov\r\n"
                                         "* FROM CLIP NAME: \xff\xfe\x80.mov\r\n"));
        QCOMPARE(result.changed, 2);
    }

    void ambiguousNamesAreListedOnceInFileOrder()
    {
        const QList<EDLRewriter::File> files{
            {QStringLiteral("b.mov"), QStringLiteral("B1"), {Surface::bwall, Proxy::full}},
            {QStringLiteral("a.mov"), QStringLiteral("A"), {Surface::awall, Proxy::full}},
            {QStringLiteral("b.mov"), QStringLiteral("B2"), {Surface::bwall, Proxy::half}},
            {QStringLiteral("c.mov"), QStringLiteral("C"), {Surface::cwall, Proxy::full}},
        };
        const QByteArray edl("* FROM CLIP NAME: a.mov\n* FROM CLIP NAME: B.mov\n"
                             "* FROM CLIP NAME: A.MOV\n* FROM CLIP NAME: b.mov\n"
                             "* FROM CLIP NAME: c.mov\n");
        const auto result = EDLRewriter::rewrite(edl, reel, files);
        QCOMPARE(result.ambiguous, (QStringList{QStringLiteral("b.mov"), QStringLiteral("a.mov")}));
        QCOMPARE(result.data, QByteArray("* FROM CLIP NAME: a.mov\n* FROM CLIP NAME: B.mov\n"
                                         "* FROM CLIP NAME: A.MOV\n* FROM CLIP NAME: b.mov\n"
                                         "* FROM CLIP NAME: C\n"));
        QCOMPARE(result.changed, 1);
    }
};

QTEST_GUILESS_MAIN(EDLRewriterTest)
#include "EDLRewriterTest.moc"
