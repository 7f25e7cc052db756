#include "core/copy/EDLRewriter.h"

#include "core/naming/Naming.h"

#include <QTest>

using namespace tessera;

namespace {

const QString reel = QStringLiteral("07_ABC_Reel3");

QString finalName(Surface surface, Proxy proxy, const QString &stamp = QStringLiteral("2412051430"),
                  const QString &reelKey = reel)
{
    return Naming::fileName(reelKey, surface, proxy, stamp);
}

EDLRewriter::File clip(const QString &original, const QString &final,
                       Surface surface = Surface::awall, Proxy proxy = Proxy::full)
{
    return {original, final, {surface, proxy}};
}

// The single-letter files most cases use: a.mov becomes A, b.mov B, c.mov C.
const QList<EDLRewriter::File> abc{
    clip(QStringLiteral("a.mov"), QStringLiteral("A"), Surface::awall),
    clip(QStringLiteral("b.mov"), QStringLiteral("B"), Surface::bwall),
    clip(QStringLiteral("c.mov"), QStringLiteral("C"), Surface::cwall),
};

} // namespace

class EDLRewriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesOnlyTheClipName()
    {
        const QString floor = finalName(Surface::floor, Proxy::full);
        const QList<EDLRewriter::File> files{
            clip(QStringLiteral("  Floor Export.mov\n"), floor, Surface::floor)};
        const QByteArray edl("\xEF\xBB\xBFTITLE: Halcyon  \r\n"
                             "001  AX  V  C  00:00:00:00 00:00:10:00 01:00:00:00 01:00:10:00\r\n"
                             "* FROM CLIP NAME:  Floor Export.mov  \r\n"
                             "*\tFROM CLIP NAME:\tfloor EXPORT.MOV\t\r\n"
                             "\xEF\xBB\xBF*FROM CLIP NAME: FLOOR export.mov");
        // The same name on two lines is ambiguous: neither is replaced.
        QCOMPARE(EDLRewriter::rewrite(edl, reel, files),
                 (EDLRewriter::Result{edl, 0, {QStringLiteral("  Floor Export.mov\n")}}));
        QCOMPARE(EDLRewriter::ambiguousMessage(QStringLiteral("Floor Export.mov")),
                 QStringLiteral("Your EDL uses Floor Export.mov for more than one clip. Export "
                                "with a unique name per reel (for example the names Tessera "
                                "gives), then drop again."));

        const QByteArray single("\xEF\xBB\xBFTITLE: Halcyon  \r\n"
                                "* FROM CLIP NAME:  floor EXPORT.mov  \r\n"
                                "* COMMENT: Floor Export.mov\r\n");
        QCOMPARE(EDLRewriter::rewrite(single, reel, files),
                 (EDLRewriter::Result{"\xEF\xBB\xBFTITLE: Halcyon  \r\n* FROM CLIP NAME:  " +
                                          floor.toUtf8() + "  \r\n* COMMENT: Floor Export.mov\r\n",
                                      1,
                                      {}}));
    }

    void keepsEveryLineEndingAndRecognisesOnlyTheExactMarker()
    {
        const QByteArray edl("* FROM CLIP NAME: a.mov\r"
                             "\r\n"
                             "* FROM CLIP NAME: b.mov\n\n\r\r"
                             "* FROM CLIP NAME: c.mov \t");
        QCOMPARE(EDLRewriter::rewrite(edl, reel, abc),
                 (EDLRewriter::Result{"* FROM CLIP NAME: A\r"
                                      "\r\n"
                                      "* FROM CLIP NAME: B\n\n\r\r"
                                      "* FROM CLIP NAME: C \t",
                                      3,
                                      {}}));
        QCOMPARE(EDLRewriter::rewrite({}, reel, abc), EDLRewriter::Result{});

        for (const char *line :
             {"* from clip name: a.mov", "*  FROM CLIP NAME:", "** FROM CLIP NAME: a.mov",
              " * FROM CLIP NAME: a.mov", "* FROM CLIP NAME a.mov", "* FROM CLIP NAME:   \t",
              "\xEF\xBB\xBF\xEF\xBB\xBF* FROM CLIP NAME: a.mov",
              // A name that already is the final name is no change.
              "* FROM CLIP NAME: A"}) {
            const QByteArray one = QByteArray(line) + "\r\n";
            QCOMPARE(EDLRewriter::rewrite(one, reel, abc), (EDLRewriter::Result{one, 0, {}}));
        }
        QCOMPARE(EDLRewriter::rewrite("*FROM CLIP NAME:a.mov", reel, abc).data,
                 QByteArray("*FROM CLIP NAME:A"));
    }

    void earlierFinalNamesOfTheSameReelFollowTheirSlot()
    {
        const QString quarter = finalName(Surface::dwall, Proxy::quarter);
        const QString earlier = QStringLiteral("2411301200");
        const QByteArray keep =
            "\n* FROM CLIP NAME: " +
            finalName(Surface::dwall, Proxy::quarter, earlier, QStringLiteral("07_ABC_Reel2"))
                .toUtf8() +
            "\n* FROM CLIP NAME: " + finalName(Surface::dwall, Proxy::full, earlier).toUtf8() +
            "\n";
        const QByteArray edl =
            "* FROM CLIP NAME: " + finalName(Surface::dwall, Proxy::quarter, earlier).toUtf8() +
            keep;
        QCOMPARE(EDLRewriter::rewrite(
                     edl, reel,
                     {clip(QStringLiteral("D.mov"), quarter, Surface::dwall, Proxy::quarter)}),
                 (EDLRewriter::Result{"* FROM CLIP NAME: " + quarter.toUtf8() + keep, 1, {}}));
    }

    void readsLatin1NamesAndMatchesAccentsHoweverComposed()
    {
        const QList<EDLRewriter::File> files{
            clip(QStringLiteral("Sce\u0300ne.mov"), QStringLiteral("Fin\u00e9.mov")),
            clip(QStringLiteral("\u00c9TAGE.mov"), QStringLiteral("E.mov"), Surface::floor),
        };
        // A composed accent in ISO 8859-1 for a decomposed dropped name, a decomposed one in UTF-8
        // (lower case, so lower-casing must be Unicode-aware) for a composed dropped name, and
        // bytes valid in neither sense of a dropped name on the last line.
        const QByteArray edl("* FROM CLIP NAME: Sc\xe8ne.mov  \r\n"
                             "* FROM CLIP NAME: e\xcc\x81tage.MOV\r\n"
                             "* FROM CLIP NAME: \xff\xfe\x80.mov\r\n");
        QCOMPARE(EDLRewriter::rewrite(edl, reel, files),
                 (EDLRewriter::Result{"* FROM CLIP NAME: Fin\xc3\xa9.mov  \r\n"
                                      "* FROM CLIP NAME: E.mov\r\n"
                                      "* FROM CLIP NAME: \xff\xfe\x80.mov\r\n",
                                      2,
                                      {}}));
    }

    void ambiguousNamesAreListedOnceInFileOrder()
    {
        const QList<EDLRewriter::File> files{
            clip(QStringLiteral("b.mov"), QStringLiteral("B1"), Surface::bwall),
            abc[0],
            clip(QStringLiteral("b.mov"), QStringLiteral("B2"), Surface::bwall, Proxy::half),
            abc[2],
            clip(QStringLiteral("\u00e9.mov"), QStringLiteral("E"), Surface::floor),
        };
        const QByteArray lines("* FROM CLIP NAME: a.mov\n* FROM CLIP NAME: B.mov\n"
                               "* FROM CLIP NAME: A.MOV\n* FROM CLIP NAME: b.mov\n"
                               "* FROM CLIP NAME: \xc3\xa9.mov\n* FROM CLIP NAME: e\xcc\x81.mov\n");
        QCOMPARE(EDLRewriter::rewrite(lines + "* FROM CLIP NAME: c.mov\n", reel, files),
                 (EDLRewriter::Result{lines + "* FROM CLIP NAME: C\n",
                                      1,
                                      {QStringLiteral("b.mov"), QStringLiteral("a.mov"),
                                       QStringLiteral("\u00e9.mov")}}));
    }

    // A dissolve names its incoming clip on a "TO CLIP NAME" line: it takes the name that the
    // clip's own clip line gets, and only then; it never makes a name ambiguous.
    void transitionsNameTheirIncomingClipAsItsClipLineDoes()
    {
        const QList<EDLRewriter::File> files =
            abc + QList<EDLRewriter::File>{
                      clip(QStringLiteral("d.mov"), QStringLiteral("D"), Surface::dwall)};
        const auto edl = [](const char *a, const char *toB, const char *b, const char *toD) {
            return QByteArray("TITLE: Halcyon\r\nFCM: NON-DROP FRAME\r\n\r\n"
                              "001  AX       V     C        00:00:00:00 00:00:00:00 01:00:00:00 "
                              "01:00:00:00\r\n"
                              "001  BX       V     D    030 00:00:00:00 00:00:10:00 01:00:00:00 "
                              "01:00:10:00\r\n"
                              "* FROM CLIP NAME: ") +
                   a + "\r\n*  TO CLIP NAME:\t" + toB +
                   " \r\n"
                   "002  BX       V     C        00:00:10:00 00:00:20:00 01:00:10:00 "
                   "01:00:20:00\r\n"
                   "* FROM CLIP NAME: " +
                   b + "\r\n* TO CLIP NAME: " + toD + "\r\n";
        };
        QCOMPARE(EDLRewriter::rewrite(edl("a.mov", "B.MOV", "b.mov", "d.mov"), reel, files),
                 (EDLRewriter::Result{edl("A", "B", "B", "d.mov"), 3, {}}));
        // Its name used on two clip lines, the incoming clip keeps its name everywhere.
        QCOMPARE(EDLRewriter::rewrite(edl("b.mov", "b.mov", "b.mov", "a.mov"), reel, files),
                 (EDLRewriter::Result{
                     edl("b.mov", "b.mov", "b.mov", "a.mov"), 0, {QStringLiteral("b.mov")}}));
    }
};

QTEST_GUILESS_MAIN(EDLRewriterTest)
#include "EDLRewriterTest.moc"
