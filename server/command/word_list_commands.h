// The word list commands: the player's (id, word) pairs kept in the word
// list file (library/word_list.h). Each answers as the command set expects
// (command_set.h).
#pragma once

#include "command/command_set.h"

namespace velmor {

int CommandWordListGetNum(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);
int CommandWordListGetItemN(CommandContext& context, const CommandRequest& request,
                            CommandReply* reply);
int CommandWordListAdd(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandWordListDel(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandWordListSave(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply);
int CommandWordListLoad(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply);
int CommandWordListIsUpdate(CommandContext& context, const CommandRequest& request,
                            CommandReply* reply);

}  // namespace velmor
