#include "thumbnail_wait.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "search_run.h"
#include "thumbnail_cli.h"
#include "thumbnails.h"

namespace velmor::player {
namespace {

// The asked ids still without a picture after the first fetch: those the
// server's worker was asked to make, those nobody is making, and the
// ids below the record range (temporary ids of listings), which no
// thumbnail can ever have.
struct Missing {
  std::vector<int64_t> requested;
  std::vector<int64_t> not_requested;
  std::vector<int64_t> temporary;

  bool AnyNeverMade() const { return !not_requested.empty() || !temporary.empty(); }
};

Missing MissingAfter(const CliOptions& options, const std::vector<FetchedThumbnail>& answers) {
  Missing missing;
  for (const FetchedThumbnail& thumbnail : answers) {
    // An answer for an item not asked for was reported when saving.
    if (thumbnail.answer.index >= options.record_ids.size()) continue;
    if (thumbnail.answer.status == kThumbnailLoaded) continue;
    const int64_t id = options.record_ids[thumbnail.answer.index];
    if (id < kSmallestRecordId) {
      missing.temporary.push_back(id);
    } else if (thumbnail.answer.status == kThumbnailRequested) {
      missing.requested.push_back(id);
    } else {
      missing.not_requested.push_back(id);
    }
  }
  return missing;
}

// The number of thumbnails the server's worker has still to take.
std::optional<int64_t> RequestCount(PlayerClient* client, std::ostream& err) {
  const Reply reply = client->ExchangeCommand({"CM_GET_THUMBNAIL_REQUEST_NUM", {}});
  if (!reply.complete()) {
    err << "error: CM_GET_THUMBNAIL_REQUEST_NUM: " << reply.error << '\n';
    return std::nullopt;
  }
  const std::vector<ResultSlot> slots = ReplySlots(reply);
  if (!reply.LastOk() || slots.empty()) {
    err << "error: CM_GET_THUMBNAIL_REQUEST_NUM answered no count\n";
    return std::nullopt;
  }
  return slots[0].value;
}

// Fetches the pending ids again, without asking for them to be made once
// more; prints and saves those that are there now and keeps the others.
bool FetchAgain(const CliOptions& options, PlayerClient* client, std::vector<int64_t>* pending,
                std::ostream& out, std::ostream& err) {
  CliOptions again = options;
  again.record_ids = *pending;
  again.thumbnail_kind = kThumbnailWithoutRequest;
  std::string error;
  const auto packets = ThumbnailPackets(again, &error);
  if (!packets) {
    err << "error: " << error << '\n';
    return false;
  }
  const Reply reply = client->ExchangePackets(*packets);
  if (!reply.LastOk()) {
    err << "error: fetching again: " << (reply.complete() ? "refused" : reply.error) << '\n';
    return false;
  }
  const auto answers = CollectThumbnails(reply.chunks, &error);
  if (!answers) {
    err << "error: " << error << '\n';
    return false;
  }
  std::vector<int64_t> still_missing;
  for (const FetchedThumbnail& thumbnail : *answers) {
    if (thumbnail.answer.index >= again.record_ids.size()) continue;
    const int64_t id = again.record_ids[thumbnail.answer.index];
    if (thumbnail.answer.status != kThumbnailLoaded) {
      still_missing.push_back(id);
      continue;
    }
    out << "thumbnail " << id << ": made while waiting, info \"" << thumbnail.answer.info
        << "\" image " << thumbnail.image.size() << " bytes\n";
  }
  if (!SaveThumbnails(again, reply, out, err)) return false;
  *pending = std::move(still_missing);
  return true;
}

bool TimeIsUp(uint32_t start, uint32_t wait_ms) {
  return platform::TickDiff(platform::TickCount(), start) >= static_cast<int32_t>(wait_ms);
}

}  // namespace

int WaitForThumbnails(const CliOptions& options, const Reply& first, PlayerClient* client,
                      std::ostream& out, std::ostream& err) {
  std::string error;
  const auto answers = CollectThumbnails(first.chunks, &error);
  if (!answers) {
    err << "error: " << error << '\n';
    return kExitFailure;
  }
  const Missing missing = MissingAfter(options, *answers);
  for (const int64_t id : missing.not_requested) {
    err << "no thumbnail for " << id << ", and the server is not making one\n";
  }
  if (!missing.not_requested.empty()) {
    err << "note: the server makes thumbnails only with rw.iUseFFMpeg=1 in its settings, and only"
           " for records it knows\n";
  }
  for (const int64_t id : missing.temporary) {
    err << id
        << " is no record id (a listing's temporary id?): ask for the record's id with"
           " \"cmd CM_GET_FILE_ID PATH\"\n";
  }
  std::vector<int64_t> pending = missing.requested;
  const uint32_t seconds = options.wait_seconds.value_or(0);
  if (!pending.empty()) {
    err << "waiting up to " << seconds << " s for " << pending.size() << " thumbnail"
        << (pending.size() == 1 ? "" : "s") << " the server is making\n";
  }
  const uint32_t start = platform::TickCount();
  int64_t shown_count = -1;
  while (!pending.empty()) {
    const std::optional<int64_t> count = RequestCount(client, err);
    if (!count) return kExitFailure;
    if (*count != shown_count) err << "requests left on the server: " << *count << '\n';
    shown_count = *count;
    // The worker takes a request before it makes the picture: an empty list
    // may still mean one in the making, so the fetch repeats until the time
    // is up.
    if (*count == 0 && !FetchAgain(options, client, &pending, out, err)) return kExitFailure;
    if (pending.empty() || TimeIsUp(start, seconds * 1000)) break;
    platform::SleepMs(options.poll_ms);
  }
  for (const int64_t id : pending) {
    err << "no thumbnail for " << id << " after " << seconds << " s\n";
  }
  return pending.empty() && !missing.AnyNeverMade() ? kExitOk : kExitRefused;
}

}  // namespace velmor::player
