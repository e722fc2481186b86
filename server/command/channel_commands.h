// The two channel commands: "#CMD_GET_CHANNEL" lists a channel's folder or
// list file, "#CMD_SAVE_CHANNEL" takes the player's upload of the search or
// favourites list and writes it.
#pragma once

#include <string>

namespace velmor {

struct CommandContext;

inline constexpr char kSaveChannelMismatch[] =
    "エラー： CommandSaveChannel 受け取ったデータの数が合わない";

int CommandGetChannel(CommandContext& context, const std::string& text);
int CommandSaveChannel(CommandContext& context, const std::string& text);

}  // namespace velmor
