// The search commands: start a word search, the re-finding of a file or the
// folder browser, then poll for the end, the progress and the results. Each
// answers as the command set expects (command_set.h). The polling commands
// give result 0 before the first start has created the search manager.
#pragma once

#include "command/command_set.h"

namespace velmor {

int CommandSearchFile(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandFindFile(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandGetDir(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandSearchIsFinished(CommandContext& context, const CommandRequest& request,
                            CommandReply* reply);
int CommandSearchRequestCancel(CommandContext& context, const CommandRequest& request,
                               CommandReply* reply);
int CommandSearchGetNum(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply);
int CommandSearchGetPath(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply);
int CommandSearchGetDir(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply);
int CommandSearchGetProgress(CommandContext& context, const CommandRequest& request,
                             CommandReply* reply);

// The start and count of a range request (fields 1 and 2), the count cut to
// the 32 result slots and 0 for a count of 0 or less. False when a field is
// missing or the start is negative.
bool ReadResultRange(const CommandRequest& request, size_t* start, size_t* count);

}  // namespace velmor
