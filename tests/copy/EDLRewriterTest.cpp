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

QStringList args(const char *names)
{
    return QString::fromUtf8(names).split(u' ');
}

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

    // CMX 3600 as editing systems write it: a fade from black, a dissolve out of one reel movie
    // into another, a wipe, a key. A transition's FROM line names the clip of the event before
    // again; its TO line names the incoming clip, which is renamed like any other.
    void transitionsNameEachClipOnce()
    {
        const QList<EDLRewriter::File> files =
            abc + QList<EDLRewriter::File>{
                      clip(QStringLiteral("d.mov"), QStringLiteral("D"), Surface::dwall),
                      clip(QStringLiteral("e.mov"), QStringLiteral("E"), Surface::floor)};
        // Names of the clips in order: the fade's incoming, the dissolve's outgoing and incoming,
        // the wipe's outgoing and incoming, the key's background and foreground.
        const auto edl = [](const QStringList &names, const QByteArray &end = "\n") {
            QByteArray text =
                "\xEF\xBB\xBFTITLE: Halcyon\nFCM: NON-DROP FRAME\n\n"
                "001  BL       V     C        00:00:00:00 00:00:00:00 01:00:00:00 01:00:00:00\n"
                "001  AX       V     D    030 00:00:00:00 00:00:05:00 01:00:00:00 01:00:05:00\n"
                "* FROM CLIP NAME: BLACK\n"
                "* TO CLIP NAME: @0\n"
                "002  AX       V     C        00:00:05:00 00:00:05:00 01:00:05:00 01:00:05:00\n"
                "002  BX       V     D    024 00:00:00:00 00:00:10:00 01:00:05:00 01:00:15:00\n"
                "*  FROM CLIP NAME:  @1  \n"
                "*TO CLIP NAME:\t@2\n"
                "003  BX       V     C        00:00:10:00 00:00:10:00 01:00:15:00 01:00:15:00\n"
                "003  CX       V     W001 030 00:00:00:00 00:00:10:00 01:00:15:00 01:00:25:00\n"
                "EFFECTS NAME IS EDGE WIPE\n"
                "FROM CLIP NAME:  @3\n"
                "TO CLIP NAME: @4\n"
                "004  DX       V     K B      00:00:00:00 00:00:05:00 01:00:25:00 01:00:30:00\n"
                "004  EX       V     K    000 00:00:00:00 00:00:05:00 01:00:25:00 01:00:30:00\n"
                "* FROM CLIP NAME: @5\n"
                "* TO CLIP NAME: @6\n";
            for (qsizetype i = 0; i < names.size(); ++i)
                text.replace("@" + QByteArray::number(i), names[i].toUtf8());
            return text.replace("\n", end);
        };
        const QStringList dropped = args("a.mov A.MOV b.mov B.mov c.mov d.mov e.mov");
        const QStringList delivered = args("A A B B C D E");
        for (const QByteArray end : {"\n", "\r\n", "\r"})
            QCOMPARE(EDLRewriter::rewrite(edl(dropped, end), reel, files),
                     (EDLRewriter::Result{edl(delivered, end), 7, {}}));
        // Earlier final names of the reel follow their slot on TO lines too.
        const QString stale = finalName(Surface::cwall, Proxy::full, QStringLiteral("2411301200"));
        const QStringList staleAndOthers =
            args("a.mov a.mov b.mov b.mov") + QStringList{stale, QStringLiteral("x"), "y"};
        QCOMPARE(EDLRewriter::rewrite(edl(staleAndOthers), reel, files),
                 (EDLRewriter::Result{edl(args("A A B B C x y")), 5, {}}));

        // A name used by two events is two clips, whichever lines name them: the key's
        // background is a clip of its own, and a transition's outgoing clip that is not the
        // event before's is another use.
        const auto ambiguous = [&](const char *names, const QStringList &expected) {
            const QByteArray bytes = edl(args(names));
            QCOMPARE(EDLRewriter::rewrite(bytes, reel, files).ambiguous, expected);
        };
        ambiguous("a.mov a.mov b.mov b.mov c.mov a.mov e.mov", {"a.mov"});
        ambiguous("a.mov a.mov b.mov b.mov b.mov d.mov e.mov", {"b.mov"});
        ambiguous("a.mov a.mov b.mov c.mov c.mov d.mov e.mov", {"c.mov"});
        QCOMPARE(EDLRewriter::rewrite(edl(args("a.mov a.mov b.mov b.mov c.mov a.mov e.mov")), reel,
                                      files),
                 (EDLRewriter::Result{
                     edl(args("a.mov a.mov B B C a.mov E")), 4, {QStringLiteral("a.mov")}}));
    }
};

QTEST_GUILESS_MAIN(EDLRewriterTest)
#include "EDLRewriterTest.moc"
