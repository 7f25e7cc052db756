#include "core/naming/NameDiff.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tessera;
using Segment = NameDiff::Segment;

namespace {

QString joined(const QList<Segment> &segments)
{
    QString text;
    for (const Segment &segment : segments)
        text += segment.text;
    return text;
}

} // namespace

class NameDiffTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void marksWhatTheNewNameChangedTokenByToken()
    {
        QCOMPARE(NameDiff::tokens(QStringLiteral("00_TST_Reel1_awall_v2412051430.mov")),
                 (QList<QString>{"00", "_", "TST", "_", "Reel1", "_", "awall", "_", "v2412051430",
                                 ".", "mov"}));
        QCOMPARE(NameDiff::tokens(QStringLiteral("__a..")),
                 (QList<QString>{"_", "_", "a", ".", "."}));
        QVERIFY(NameDiff::tokens(QString()).isEmpty());

        QCOMPARE(NameDiff::segments(QStringLiteral("TST_reel1_A.mov"),
                                    QStringLiteral("00_TST_Reel1_awall_v2412051430.mov")),
                 (QList<Segment>{{"00_", true},
                                 {"TST_", false},
                                 {"Reel1", true},
                                 {"_", false},
                                 {"awall_v2412051430", true},
                                 {".mov", false}}));
        const QString name = QStringLiteral("00_TST_Reel1_awall_v2412051430.mov");
        QCOMPARE(NameDiff::segments(name, name), (QList<Segment>{{name, false}}));
        QCOMPARE(NameDiff::segments(QString(), name), (QList<Segment>{{name, true}}));
        QVERIFY(NameDiff::segments(name, QString()).isEmpty());
        // Case matters.
        QCOMPARE(NameDiff::segments(QStringLiteral("reel1"), QStringLiteral("Reel1")),
                 (QList<Segment>{{"Reel1", true}}));
    }

    void segmentsAlwaysSpellTheNewNameAndAlternate()
    {
        QRandomGenerator random(7);
        const QString alphabet = QStringLiteral("ab_.");
        const auto randomName = [&] {
            QString name;
            for (int i = random.bounded(12); i > 0; --i)
                name += alphabet.at(random.bounded(alphabet.size()));
            return name;
        };
        for (int round = 0; round < 3000; ++round) {
            const QString oldName = randomName();
            const QString newName = randomName();
            const QList<Segment> segments = NameDiff::segments(oldName, newName);
            QCOMPARE(joined(segments), newName);
            for (int i = 1; i < segments.size(); ++i)
                QVERIFY(segments[i].changed != segments[i - 1].changed);
            int unchanged = 0;
            for (const Segment &segment : segments) {
                QVERIFY(!segment.text.isEmpty());
                if (!segment.changed)
                    unchanged += NameDiff::tokens(segment.text).size();
            }
            // Unchanged tokens are a common subsequence, so never more than the old name holds.
            QVERIFY(unchanged <= NameDiff::tokens(oldName).size());
        }
    }
};

QTEST_GUILESS_MAIN(NameDiffTest)
#include "NameDiffTest.moc"
