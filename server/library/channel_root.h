// Where a channel's listing starts: its folder or list file, resolved from
// the channel table with the special paths.
#pragma once

#include <string>

#include "core/config.h"

namespace velmor {

struct ChannelRoot {
  int type = 0;
  std::string path;  // "/" separators
  bool recursive = false;
  int kind = 0;  // 1 folder, 2 file (core/paths.h PathKind)
};

// The root of channel 0-7 of the table. False for a channel outside 0-7,
// the special paths "(Computer)" and "(DeviceVide)", and a path that
// resolves to nothing usable. A relative path of a list channel lies beside
// the program.
bool ResolveChannelRoot(const ChannelTable& channels, int channel, ChannelRoot* root);

}  // namespace velmor
