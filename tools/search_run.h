// The player's side of a search job: start it, poll its progress until it
// has finished, then fetch every result in blocks of 32, the way the player
// does it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "player_client.h"

namespace velmor::player {

struct SearchRun {
  Command start;              // CM_SEARCH_FILE, CM_FIND_FILE or CM_GETDIR
  std::string fetch_command;  // CM_SEARCH_GETPATH or CM_SEARCH_GETDIR
  uint32_t poll_ms = 100;     // pause between two progress polls
};

// Writes every result text to `out` (a line each) and each new progress
// text ("searching FOLDER") and the count to `err`. Exit codes as RunCli's.
int RunSearch(PlayerClient* client, const SearchRun& run, std::ostream& out, std::ostream& err);

// The slots of a reply's "RTMS" chunks, in order.
std::vector<ResultSlot> ReplySlots(const Reply& reply);

}  // namespace velmor::player
