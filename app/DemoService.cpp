#include "app/DemoService.h"

#include "core/reelcheck/HelpReport.h"
#include "core/reelcheck/WireRecords.h"

namespace tessera {

QList<SlackUser> DemoService::users()
{
    return {{QStringLiteral("U1"), QStringLiteral("mira"), QStringLiteral("Mira Lantz")},
            {QStringLiteral("U2"), QStringLiteral("tome"), QStringLiteral("Tomé Arvel")},
            {QStringLiteral("U3"), QStringLiteral("kit"), QStringLiteral("Kit Damaso")}};
}

QList<Reel> DemoService::reels()
{
    return {{QStringLiteral("recA"), QStringLiteral("00_TST_Reel1")},
            {QStringLiteral("recB"), QStringLiteral("00_TST_Reel2")},
            {QStringLiteral("recC"), QStringLiteral("02_CAB_Reel1")}};
}

QCoro::Task<TransportOutcome> DemoService::send(HTTPRequest request)
{
    const QString path = request.url.path();
    if (path.endsWith(u"/api/slack-users"))
        co_return HTTPReply{200, Wire::writeSlackUsers(users())};
    if (path.endsWith(u"/api/reels"))
        co_return HTTPReply{200, Wire::writeReelList(reels())};
    if (path.endsWith(u"/api/health"))
        co_return HTTPReply{200, Wire::write(Health{true, true, std::nullopt, std::nullopt})};
    if (path.endsWith(u"/api/help"))
        co_return HTTPReply{200, Wire::writeHelpAccepted(true)};
    co_return HTTPReply{404, Wire::writeErrorReply(QStringLiteral("Not in the demo."))};
}

} // namespace tessera
