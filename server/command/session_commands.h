// Commands about the session and the server itself: channel types, the
// liveness check, the mouse remote, the player's settings values, log lines
// and the stream slot count.
#pragma once

#include "command/command_set.h"

namespace velmor {

int CommandSetChannelType(CommandServer& server, const CommandRequest& request,
                          CommandReply* reply);
int CommandGetChannelType(CommandServer& server, const CommandRequest& request,
                          CommandReply* reply);
int CommandSetFavorite(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandGetMarkerList(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandLiveTime(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandSetMouseEnable(CommandServer& server, const CommandRequest& request,
                          CommandReply* reply);
int CommandGetMouseEnable(CommandServer& server, const CommandRequest& request,
                          CommandReply* reply);
int CommandIniWriteInt64(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandIniReadInt64(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandIniWriteString(CommandServer& server, const CommandRequest& request,
                          CommandReply* reply);
int CommandIniReadString(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandClientLog(CommandServer& server, const CommandRequest& request, CommandReply* reply);
int CommandGetHttpStream(CommandServer& server, const CommandRequest& request, CommandReply* reply);

}  // namespace velmor
