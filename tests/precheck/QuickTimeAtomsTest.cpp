#include "core/precheck/QuickTimeAtoms.h"

#include "MovieFixtures.h"

#include <QTest>

using namespace tessera;
using namespace fixtures;

class QuickTimeAtomsTest : public QObject
{
    Q_OBJECT

    using Outline = QuickTimeAtoms::Outline;

    static Outline outlineOf(const QByteArray &bytes)
    {
        MemorySource source(bytes);
        return QuickTimeAtoms::outline(source);
    }

    // The duration of a movie whose chain ends exactly at the end of the file.
    static std::optional<double> durationOf(const QByteArray &bytes)
    {
        const Outline outline = outlineOf(bytes);
        if (outline.shape != Outline::Shape::movie || outline.strayBytes)
            return std::nullopt;
        return outline.duration;
    }

    // ftyp, moov with an mvhd of 600 units per second lasting 1.5 s, and an mdat.
    static QByteArray complete()
    {
        return ftyp() + atom("moov", mvhd(0, 600, 900)) + atom("mdat", QByteArray(100, 'x'));
    }

private Q_SLOTS:
    void onlyAChainEndingAtTheEndOfTheFileGivesTheDuration()
    {
        QCOMPARE(durationOf(complete()), 1.5);
        // The moov may come last, as a plain export writes it.
        QCOMPARE(
            durationOf(ftyp() + atom("mdat", QByteArray(9, 'x')) + atom("moov", mvhd(0, 25, 50))),
            2.0);
        // Other children before mvhd are stepped over.
        QCOMPARE(durationOf(atom("moov", atom("udta", QByteArray(20, 'u')) + mvhd(0, 1000, 2500))),
                 2.5);

        const QByteArray movie = complete();
        QCOMPARE(durationOf(movie + QByteArray(1, '\0')), std::nullopt); // a byte appended
        QCOMPARE(durationOf(movie.chopped(1)), std::nullopt);            // cut short
        // The last atom announces more than the file holds: an export still being written.
        QCOMPARE(
            durationOf(QByteArray(movie).replace(movie.lastIndexOf("mdat") - 4, 4, be32(5000))),
            std::nullopt);
    }

    void largeOpenEndedAndAtMostSixtyFourAtomsAreWalked()
    {
        const QByteArray moov = atom("moov", mvhd(0, 600, 300));
        QCOMPARE(durationOf(ftyp() + moov + atom64("mdat", QByteArray(40, 'x'))), 0.5);
        // Size 0: the last atom runs to the end of the file.
        QCOMPARE(durationOf(ftyp() + moov + be32(0) + "mdat" + QByteArray(40, 'x')), 0.5);
        // A 64-bit size needs its sixteen-byte header.
        QCOMPARE(durationOf(ftyp() + moov + be32(1) + "mdat" + QByteArray(4, '\0')), std::nullopt);
        // Sizes below the header, and 64-bit sizes beyond any file, are impossible.
        QCOMPARE(durationOf(ftyp() + moov + be32(7) + "mdat"), std::nullopt);
        QCOMPARE(durationOf(ftyp() + moov + be32(1) + "mdat" + be64(~quint64(0)) + "xxxx"),
                 std::nullopt);
        QCOMPARE(durationOf(ftyp() + moov + be32(1) + "mdat" + be64(quint64(1) << 63)),
                 std::nullopt);

        const QByteArray sixtyFour =
            ftyp() + atom("moov", mvhd(0, 600, 600)) + atom("free").repeated(62);
        QCOMPARE(durationOf(sixtyFour), 1.0);
        QCOMPARE(durationOf(sixtyFour + atom("free")), std::nullopt);
    }

    void theMovieHeaderMustBeReadable()
    {
        QCOMPARE(durationOf(ftyp() + atom("moov", atom("trak", QByteArray(16, 't')))),
                 std::nullopt);
        QCOMPARE(durationOf(ftyp() + atom("moov", mvhd(0, 0, 900))), std::nullopt); // time scale 0
        // Version 1: a 64-bit duration beyond 32 bits.
        const quint64 units = (quint64(1) << 33) + 300;
        QCOMPARE(durationOf(ftyp() + atom("moov", mvhd(1, 600, units))), double(units) / 600);
        // A child of moov with a size below its header ends the search.
        QCOMPARE(durationOf(atom("moov", be32(4) + "udta" + mvhd(0, 600, 600))), std::nullopt);
        // mvhd is read for its 32 bytes even when it claims to be smaller, but a version 1
        // header cut off at the end of the file is not read.
        const QByteArray shortV1 =
            atom("moov", be32(8 + 24) + "mvhd" + be32(1 << 24) + QByteArray(20, '\0'));
        QCOMPARE(durationOf(shortV1), std::nullopt);
        const QByteArray shortV0 =
            atom("moov", be32(8 + 20) + "mvhd" + be32(0) + be32(0) + be32(0) + be32(10) + be32(40));
        QCOMPARE(durationOf(shortV0), 4.0);
        // The last moov decides, even when it has no header.
        QCOMPARE(durationOf(atom("moov", mvhd(0, 1, 3)) + atom("moov", mvhd(0, 1, 5))), 5.0);
        QCOMPARE(durationOf(atom("moov", mvhd(0, 1, 3)) + atom("moov")), std::nullopt);
    }

    void otherKindsOfFileAndMediaSegmentsAreNotMovies()
    {
        const Outline notAMovie{Outline::Shape::notAMovie, 0, false, {}};
        const QByteArray segment = moof(1, 0, 1, 512) + atom("mdat", QByteArray(16, 'f'));
        for (const QByteArray &bytes : {be32(20) + "xy", be32(4) + "ftyp", atom("styp") + segment,
                                        ftyp() + segment + atom("moov")})
            QCOMPARE(outlineOf(bytes), notAMovie);
        // Too little written to tell, space set aside but not written yet, or no movie box yet:
        // still exporting.
        const QByteArray started = be32(20) + "ft";
        for (const QByteArray &bytes :
             {QByteArray(), started, QByteArray(4096, '\0'), ftyp() + atom("mdat", "x")})
            QCOMPARE(outlineOf(bytes), Outline{});
    }

    void fragmentedMoviesEndThroughTheirIndex()
    {
        // Fewer atoms than the walk takes: every fragment is walked.
        const QByteArray few = fragmentedMovie(10, false);
        const Outline walked = outlineOf(few);
        QCOMPARE(walked.shape, Outline::Shape::movie);
        QCOMPARE(walked.fragments.size(), 10);
        QCOMPARE(walked.fragments.first(), few.indexOf("moof") - 4);

        // Far more: only the index at the end and the last fragment it lists are read.
        const QByteArray many = fragmentedMovie(200, true);
        const qint64 last = many.lastIndexOf("moof") - 4;
        MemorySource source(many);
        QCOMPARE(QuickTimeAtoms::outline(source),
                 (Outline{Outline::Shape::movie, 0, true, {last}}));
        QVERIFY(source.bytesRead() < 1024);

        // Without an index, or with one that does not fit, every fragment is walked, however
        // many; cut short, such a movie is not known to be finished.
        const qsizetype mfro = many.size() - 16;
        QByteArray wrongOffset = many; // the last entry's offset, just before mfro
        wrongOffset.replace(mfro - 11, 8, be64(quint64(last) + 8));
        for (const QByteArray &bytes : {fragmentedMovie(200, false), wrongOffset}) {
            const Outline all = outlineOf(bytes);
            QCOMPARE(all.fragments.size(), 200);
            QCOMPARE(all.fragments.last(), last);
            QCOMPARE(all.shape, Outline::Shape::movie);
        }
        for (const QByteArray &bytes :
             {many.chopped(1), fragmentedMovie(200, false).chopped(20), many + "junk"})
            QCOMPARE(outlineOf(bytes), Outline{});
    }

    // Bytes after the last box leave a complete movie box standing, for its samples to decide;
    // a complete movie box without a readable header, or a box of a size none can have, is
    // damaged rather than unfinished.
    void strayBytesAndDamage()
    {
        const QByteArray movie = complete();
        const Outline stray{Outline::Shape::movie, 1.5, false, {}, true};
        for (const QByteArray &bytes :
             {movie + QByteArray(4, '\0'), movie.chopped(1), movie + atom("free").repeated(62)})
            QCOMPARE(outlineOf(bytes), stray);

        const Outline damaged{Outline::Shape::damaged, 0, false, {}};
        QByteArray badHeader = movie;
        badHeader.replace(movie.indexOf("mvhd"), 4, "mv\0d");
        for (const QByteArray &bytes :
             {badHeader + "junk", ftyp() + atom("moov", mvhd(0, 0, 900)),
              ftyp() + be32(3) + "free" + atom("moov", mvhd(0, 600, 900))})
            QCOMPARE(outlineOf(bytes), damaged);
        // Cut short before the movie box is complete: still unfinished.
        QCOMPARE(outlineOf(ftyp() + atom("mdat", "x") + atom("moov", mvhd(0, 600, 900)).chopped(1)),
                 Outline{});
    }
};

QTEST_GUILESS_MAIN(QuickTimeAtomsTest)
#include "QuickTimeAtomsTest.moc"
