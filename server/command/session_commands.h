// Commands about the session and the server itself: channel types, the
// liveness check, the mouse remote, the player's settings values, log lines
// and the stream slot count.
#pragma once

#include "command/command_set.h"

namespace velmor {

int CommandSetChannelType(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);
int CommandGetChannelType(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);
int CommandSetFavorite(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandGetMarkerList(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply);
int CommandLiveTime(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandSetMouseEnable(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);
int CommandGetMouseEnable(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);
int CommandIniWriteInt64(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply);
int CommandIniReadInt64(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply);
int CommandIniWriteString(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply);
int CommandIniReadString(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply);
int CommandClientLog(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandGetHttpStream(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply);

}  // namespace velmor
