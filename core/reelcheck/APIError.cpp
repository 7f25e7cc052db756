#include "core/reelcheck/APIError.h"

namespace tessera {

QString APIError::description() const
{
    struct Sentence
    {
        QString operator()(const Unreachable &) const
        {
            return QStringLiteral(
                "Can't reach the reel check on VX9. Are you on the Kestrel network?");
        }
        QString operator()(const Uncertain &) const
        {
            return QStringLiteral("Tessera couldn't confirm that VX9 got the submission.");
        }
        QString operator()(const Rejected &c) const
        {
            return QStringLiteral("The reel check refused this: ") + c.message;
        }
        QString operator()(const Airtable &) const
        {
            return QStringLiteral(
                "The reel check couldn't save to Airtable. Try again in a minute.");
        }
        QString operator()(const Http &c) const
        {
            // An empty message leaves the sentence ending in ". " on purpose: it is the fixed form.
            return QStringLiteral("The reel check answered with an error (") +
                   QString::number(c.statusCode) + QStringLiteral("). ") + c.message;
        }
        QString operator()(const NotAllowed &) const
        {
            return QStringLiteral("VX9 didn't accept this copy of Tessera. Check for updates "
                                  "(Tessera menu), or tell Vesko.");
        }
        QString operator()(const RateLimited &) const
        {
            return QStringLiteral("VX9 is getting a lot of submissions right now. Wait a minute, "
                                  "then press Try again.");
        }
        QString operator()(const NotSetUp &) const
        {
            return QStringLiteral("Submitting from Tessera isn't set up on VX9 yet. Tell Vesko.");
        }
        QString operator()(const BadResponse &) const
        {
            return QStringLiteral("The reel check sent an answer Tessera doesn't understand.");
        }
    };
    return std::visit(Sentence{}, value);
}

} // namespace tessera
