// The word list commands: the player's (id, word) pairs kept in the word
// list file (library/word_list.h). Each answers as the command set expects
// (command_set.h).
#pragma once

#include "command/command_set.h"

namespace velmor {

int CommandWordListGetNum(CommandServer& server, const CommandRequest& request,
                          CommandReply* reply);
int CommandWordListGetItemN(CommandServer& server, const CommandRequest& request,
                            CommandReply* reply);
int CommandWordListAdd(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandWordListDel(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandWordListSave(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandWordListLoad(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandWordListIsUpdate(CommandServer& server, const CommandRequest& request,
                            CommandReply* reply);

}  // namespace velmor
