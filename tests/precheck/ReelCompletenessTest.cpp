#include "core/precheck/ReelCompleteness.h"

#include <QTest>

using namespace tessera;

class ReelCompletenessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyFewerThanSixMoviesGetANoteNamingWhatIsMissing()
    {
        QCOMPARE(ReelCompleteness::warning(1, {Surface::awall}),
                 QStringLiteral("You dropped 1 file. Most reels have 6 (A, B, C, D, Floor, "
                                "Surtitles). Missing: B, C, D, Floor, Surtitles."));
        // Five movies that between them cover every surface (a clash) miss nothing.
        QCOMPARE(ReelCompleteness::warning(5, {Surface::awall, Surface::bwall, Surface::cwall,
                                               Surface::dwall, Surface::floor, Surface::surtitles}),
                 QStringLiteral("You dropped 5 files. Most reels have 6 (A, B, C, D, Floor, "
                                "Surtitles)."));

        QCOMPARE(ReelCompleteness::warning(6, {}), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(ReelCompletenessTest)
#include "ReelCompletenessTest.moc"
