// Help goes to the service; when it can't, the message goes on the clipboard and into Slack.

#include "tests/app/ModelFixture.h"

using namespace tessera;
using namespace tessera::testing;

class HelpDeskTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

private Q_SLOTS:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void helpIsSentOrFallsBack()
    {
        auto model = f.makeModel();
        HelpDesk &help = *model->help();
        help.openHelp();
        QVERIFY(help.isOpen());
        help.setMessage(QStringLiteral("😀").repeated(1000));
        QCOMPARE(help.messageLength(), 1000);
        QVERIFY(help.canSend() && !help.messageTooLong());
        QVERIFY(help.contextLines().contains(u"Step: Drop"));
        // The counter counts the text as typed; what may be sent is the trimmed text.
        help.setMessage(QStringLiteral("hi") + QString(999, u' '));
        QCOMPARE(help.messageLength(), 1001);
        QVERIFY(help.messageTooLong() && help.canSend());
        help.setMessage(QStringLiteral("\n  The copy stalls.  \n"));
        help.send();
        QTRY_COMPARE(help.stateKind(), HelpState::Kind::sent);
        QCOMPARE(help.message(), QString());
        QTRY_VERIFY(f.standIn->output().contains("What's going on: The copy stalls.\n"));

        f.standIn->stop();
        help.openHelp();
        QCOMPARE(help.stateKind(), HelpState::Kind::editing);
        help.setMessage(QStringLiteral("Still stuck."));
        help.send();
        QTRY_COMPARE(help.stateKind(), HelpState::Kind::fellBack);
        QCOMPARE(help.message(), u"Still stuck.");
        QCOMPARE(f.copied.size(), 1);
        QVERIFY(f.copied.first().startsWith(
            u"Tessera help request from Kit Orr\nWhat's going on: Still stuck.\n\nStep: Drop"));
        QVERIFY(!f.copied.first().contains(QLatin1StringView(accessKey)));
        QCOMPARE(f.opened, QList<QUrl>{HelpReport::slackURL()});
    }
};

QTEST_GUILESS_MAIN(HelpDeskTest)
#include "HelpDeskTest.moc"
