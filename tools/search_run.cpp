#include "search_run.h"

#include <string>

#include "cli.h"
#include "platform/clock.h"

namespace velmor::player {
namespace {

// The result slots a fetch asks for at once: all the server fills.
constexpr int kFetchBlock = 32;

std::string Describe(const Reply& reply) {
  if (reply.results.empty()) return "no result line";
  const ResultLine& result = reply.results.back();
  return result.ok ? "#RET_OK()"
                   : "#RET_ERR code " + std::to_string(result.code) + ": " + result.message;
}

// Sends one command; an exit code when it failed or was refused.
std::optional<int> Exchange(PlayerClient* client, const Command& command, Reply* reply,
                            std::ostream& err) {
  *reply = client->ExchangeCommand(command);
  if (!reply->complete()) {
    err << "error: " << command.name << ": " << reply->error << '\n';
    return kExitFailure;
  }
  if (!reply->LastOk()) {
    err << command.name << " refused: " << Describe(*reply) << '\n';
    return kExitRefused;
  }
  return std::nullopt;
}

// Polls until the job has finished; an exit code when a poll failed.
std::optional<int> WaitForTheJob(PlayerClient* client, uint32_t poll_ms, std::ostream& err) {
  std::string shown;
  for (;;) {
    Reply reply;
    if (const auto failed = Exchange(client, {"CM_SEARCH_GETPROGRESS", {}}, &reply, err)) {
      return failed;
    }
    const std::vector<ResultSlot> slots = ReplySlots(reply);
    if (slots.empty()) {
      err << "error: CM_SEARCH_GETPROGRESS answered no slot\n";
      return kExitFailure;
    }
    if (!slots[0].text.empty() && slots[0].text != shown) {
      shown = slots[0].text;
      err << "searching " << shown << '\n';
    }
    if (slots[0].value == 1) return std::nullopt;
    platform::SleepMs(poll_ms);
  }
}

}  // namespace

std::vector<ResultSlot> ReplySlots(const Reply& reply) {
  std::vector<ResultSlot> slots;
  for (const Chunk& chunk : reply.chunks) {
    if (chunk.code != "RTMS") continue;
    if (auto slot = DecodeResultSlot(chunk.payload, nullptr)) slots.push_back(std::move(*slot));
  }
  return slots;
}

int RunSearch(PlayerClient* client, const SearchRun& run, std::ostream& out, std::ostream& err) {
  Reply reply;
  if (const auto failed = Exchange(client, run.start, &reply, err)) return *failed;
  if (const auto failed = WaitForTheJob(client, run.poll_ms, err)) return *failed;
  if (const auto failed = Exchange(client, {"CM_SEARCH_GETNUM", {}}, &reply, err)) return *failed;
  const std::vector<ResultSlot> count_slots = ReplySlots(reply);
  const int64_t count = count_slots.empty() ? 0 : count_slots[0].value;
  int64_t fetched = 0;
  while (fetched < count) {
    const Command fetch{run.fetch_command, {std::to_string(fetched), std::to_string(kFetchBlock)}};
    if (const auto failed = Exchange(client, fetch, &reply, err)) return *failed;
    const std::vector<ResultSlot> slots = ReplySlots(reply);
    if (slots.empty()) break;  // the list ended early
    for (const ResultSlot& slot : slots) out << slot.text << '\n';
    fetched += static_cast<int64_t>(slots.size());
  }
  err << fetched << (fetched == 1 ? " result\n" : " results\n");
  return kExitOk;
}

}  // namespace velmor::player
