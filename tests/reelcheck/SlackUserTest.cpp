#include "core/reelcheck/SlackUser.h"

#include <QTest>

using namespace tessera;

namespace {

SlackUser user(const char *id, const char *name, const char *realName)
{
    return {QString::fromUtf8(id), QString::fromUtf8(name), QString::fromUtf8(realName)};
}

QStringList ids(const QList<SlackUser> &users)
{
    QStringList result;
    for (const SlackUser &u : users)
        result.append(u.id);
    return result;
}

} // namespace

class SlackUserTest : public QObject
{
    Q_OBJECT

    const QList<SlackUser> people{
        user("U1", "tome", "Tomé Arvel"),
        user("U2", "mira.lantz", "Mira Lantz"),
        user("U3", "kit", " \t "),
        user("U4", "ira_k", "Ira Kovač"),
        user("U5", "second-mira", "mira lantz"),
        user("U6", "bo", "Bo Ångström"),
    };

private Q_SLOTS:
    void searchMatchesWordBeginningsAndBlankGivesEveryoneSorted()
    {
        const auto find = [&](const char *query) {
            return ids(SlackUserSearch::filter(people, QString::fromUtf8(query)));
        };
        QCOMPARE(find("TOME"), QStringList{"U1"});
        QCOMPARE(find("  arv   tom "), QStringList{"U1"});
        QCOMPARE(find("mira lan"), QStringList({"U2", "U5"}));
        QCOMPARE(find("ira"), QStringList{"U4"}); // not inside "Mira"
        QCOMPARE(find("mira.lantz"), QStringList());
        QCOMPARE(find("kovac"), QStringList{"U4"});
        QCOMPARE(find("angst"), QStringList{"U6"});
        QCOMPARE(find("k"), QStringList({"U4", "U3"})); // Ira Kovač, kit: sorted by display
        QCOMPARE(find("mira mira"), QStringList({"U2", "U5"}));
        QCOMPARE(find("zed"), QStringList());

        // Mira Lantz and mira lantz compare equal without case: the service's order stays.
        QCOMPARE(find(" \t"), QStringList({"U6", "U4", "U3", "U2", "U5", "U1"}));
        QList<SlackUser> reversed(people.rbegin(), people.rend());
        QCOMPARE(ids(SlackUserSearch::filter(reversed, QString())),
                 QStringList({"U6", "U4", "U3", "U5", "U2", "U1"}));
    }

    void identityTakesThePickOnlyWhileTheListIsThere()
    {
        const SlackUser mira = user("U2", "mira.lantz", " Mira Lantz ");
        QCOMPARE(EditorIdentity::resolve(true, mira, QStringLiteral("typed")),
                 (EditorIdentity::Identity{QStringLiteral("Mira Lantz"), QStringLiteral("U2")}));
        QCOMPARE(EditorIdentity::resolve(false, mira, QStringLiteral(" Kit Orr\n")),
                 (EditorIdentity::Identity{QStringLiteral("Kit Orr"), std::nullopt}));
        QCOMPARE(EditorIdentity::resolve(true, std::nullopt, QStringLiteral("\tKit ")),
                 (EditorIdentity::Identity{QStringLiteral("Kit"), std::nullopt}));
        QCOMPARE(EditorIdentity::resolve(false, std::nullopt, QStringLiteral(" \n ")).editor,
                 QString());
    }

    void usersReadAsArrayOrObjectWithDefaults()
    {
        const auto bare = Wire::readSlackUsers(R"([{"id":"U1","name":null},{"id":"U2"}])");
        QCOMPARE(bare, QList<SlackUser>({user("U1", "", ""), user("U2", "", "")}));
        QCOMPARE(Wire::readSlackUsers("[]"), QList<SlackUser>());
        QVERIFY(!Wire::readSlackUsers(R"([{"name":"x"}])"));
        QVERIFY(!Wire::readSlackUsers(R"([{"id":"U1","real_name":7}])"));
        QVERIFY(!Wire::readSlackUsers(R"({"users":{"id":"U1"}})"));
        QVERIFY(!Wire::readSlackUsers(R"({"users":null})"));
        QVERIFY(!Wire::readSlackUsers(R"("U1")"));
    }
};

QTEST_GUILESS_MAIN(SlackUserTest)
#include "SlackUserTest.moc"
