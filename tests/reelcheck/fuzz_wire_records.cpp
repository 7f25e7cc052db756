// Feeds arbitrary bytes to every reader of the service's records. A read must never crash, and a
// record that reads must read back equal after it is written.

#include "core/reelcheck/HelpReport.h"
#include "core/reelcheck/ReelCheckAPI.h"
#include "core/reelcheck/SlackUser.h"
#include "core/reelcheck/WireRecords.h"

#include <cstdlib>

using namespace tessera;

namespace {

template<typename T, typename Write, typename Read>
void roundTrip(const std::optional<T> &record, Write write, Read read)
{
    if (record && read(write(*record)) != record)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const auto write = [](const auto &record) { return Wire::write(record); };
    roundTrip(Wire::readSubmissionStatus(bytes), write, &Wire::readSubmissionStatus);
    roundTrip(Wire::readSubmissionCreated(bytes), write, &Wire::readSubmissionCreated);
    roundTrip(Wire::readSubmissionRequest(bytes), write, &Wire::readSubmissionRequest);
    roundTrip(Wire::readHealth(bytes), write, &Wire::readHealth);
    roundTrip(Wire::readReel(bytes), write, &Wire::readReel);
    roundTrip(Wire::readReelList(bytes), &Wire::writeReelList, &Wire::readReelList);
    roundTrip(Wire::readSlackUsers(bytes), &Wire::writeSlackUsers, &Wire::readSlackUsers);
    roundTrip(Wire::readHelpRequest(bytes), write, &Wire::readHelpRequest);
    roundTrip(Wire::readErrorReply(bytes), &Wire::writeErrorReply, &Wire::readErrorReply);
    Wire::readHelpAccepted(bytes);

    // The message shown for a refused request: at most 200 bytes' worth of text.
    const APIError error = ReelCheckAPI::statusError(500, bytes);
    if (error.description().isEmpty())
        std::abort();
    if (const auto *http = error.as<APIError::Http>();
        http && !Wire::readErrorReply(bytes) && http->message.size() > 200)
        std::abort();
    return 0;
}
