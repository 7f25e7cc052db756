#include "core/naming/Characters.h"

#include <QTest>

using namespace tessera;

class CharactersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countsAndCutsWholeCharacters()
    {
        // A letter with a combining accent, an emoji of one surrogate pair, a family of three
        // joined by zero-width joiners, and a flag of two regional indicators (which Qt alone
        // splits after an emoji).
        const QString accent = QStringLiteral("e\u0301");
        const QString face = QStringLiteral("\U0001F600");
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        const QString flag = QStringLiteral("\U0001F1EC\U0001F1E7");
        const QString text = u'a' + accent + face + family + flag;
        QCOMPARE(Characters::count(text), 5);
        QCOMPARE(Characters::count(QString()), 0);

        const QStringList cuts{QString(),
                               QStringLiteral("a"),
                               u'a' + accent,
                               u'a' + accent + face,
                               u'a' + accent + face + family,
                               text};
        for (qsizetype limit = 0; limit < cuts.size(); ++limit)
            QCOMPARE(Characters::cut(text, limit), cuts[limit]);
        QCOMPARE(Characters::cut(text, 60), text);
        const QString flags = face + flag + QStringLiteral("\U0001F1EB\U0001F1F7\U0001F1EA");
        QCOMPARE(Characters::count(flags), 4);
        QCOMPARE(Characters::cut(flags, 2), face + flag);
    }
};

QTEST_GUILESS_MAIN(CharactersTest)
#include "CharactersTest.moc"
