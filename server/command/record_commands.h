// Commands on the data table's records: markers, file facts and ids,
// chapter folders and the player's state bits.
#pragma once

#include <string>
#include <string_view>

#include "command/command_set.h"

namespace velmor {

int CommandSaveMarker(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandLoadMarker(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandGetFileData(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandGetFileId(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandSetChapterFolder(CommandContext& context, const CommandRequest& request,
                            CommandReply* reply);
int CommandBitsetState(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandGetChapterPath(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);

// The number that follows the group text in a file name when a digit
// follows it directly, else -1.
int GroupNumberOfName(std::string_view name, std::string_view group_text);

}  // namespace velmor
