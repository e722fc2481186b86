#include "command/session_commands.h"

#include "command/command_context.h"
#include "command/server_host.h"
#include "core/config.h"
#include "core/player_keys.h"
#include "core/server_log.h"
#include "core/settings.h"
#include "platform/file_system.h"
#include "remote/mouse_remote.h"

namespace velmor {
namespace {

bool ValidChannel(int channel) { return channel >= 0 && channel < kChannelCount; }

// Channel paths are kept with the host's own separators.
std::string HostPath(std::string path) {
  if (platform::kNativeSeparator == '\\') {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
  }
  return path;
}

}  // namespace

int CommandSetChannelType(CommandContext& context, const CommandRequest& request, CommandReply*) {
  const int channel = request.Int(1);
  const int type = request.Int(2);
  if (!ValidChannel(channel) || (type != kChannelPcFolder && type != kChannelVrDevice)) return 0;
  const std::string& path = request.Text(3);
  const bool takes_path =
      type == kChannelPcFolder && !path.empty() && path != "(PCFolder)" && path != "(DeviceVide)";
  context.settings.Update([&](S_CONFIG& config) {
    S_CONFIG_CH& entry = config.channel[channel];
    entry.iType = type;
    if (takes_path) entry.pcPath = HostPath(path);
  });
  if (context.host != nullptr) context.host->PostWindowCommand(kWindowCommandRefresh);
  return 1;
}

int CommandGetChannelType(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply) {
  const int channel = request.Int(1);
  if (!request.Has(1) || !ValidChannel(channel)) return 0;
  const S_CONFIG_CH entry = context.settings.Channel(channel);
  reply->Set(0, entry.iType, entry.pcPath);
  return 1;
}

int CommandSetFavorite(CommandContext& context, const CommandRequest& request, CommandReply*) {
  context.log.WriteLine(ServerLog::Tagged(
      "SET_FAVORITE",
      "on=" + std::to_string(request.Int(1)) + ", path=\"" + request.Text(2) + "\""));
  return 1;
}

int CommandGetMarkerList(CommandContext&, const CommandRequest& request, CommandReply* reply) {
  for (int k = 0; k < 4 && request.Has(k + 1) && !request.Text(k + 1).empty(); ++k) {
    reply->Set(k, 0, request.Text(k + 1));
  }
  return 1;
}

int CommandLiveTime(CommandContext& context, const CommandRequest& request, CommandReply*) {
  const bool suspend = request.Int(1) == 1 || request.Int(2) == 0;
  if (suspend == context.session.suspended()) return 1;
  context.session.set_suspended(suspend);
  if (suspend) {
    context.status.Post(kStatusSuspended, "中断中", context.session.peer_address());
  } else {
    context.status.Post(kStatusResumed, "中断解除", context.session.peer_address());
  }
  return 1;
}

int CommandSetMouseEnable(CommandContext& context, const CommandRequest& request, CommandReply*) {
  // Capture is switched on the host's thread, as its buttons do.
  if (context.host != nullptr) {
    context.host->PostWindowCommand(request.Int(1) == 1 ? kWindowCommandMouseOn
                                                        : kWindowCommandMouseOff);
  }
  return 1;
}

int CommandGetMouseEnable(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  MouseRemote* remote = context.host != nullptr ? context.host->mouse_remote() : nullptr;
  reply->Set(0, remote != nullptr ? remote->EnableState() : MouseRemote::kNotRunning);
  return 1;
}

int CommandIniWriteInt64(CommandContext&, const CommandRequest& request, CommandReply*) {
  if (!request.Has(2)) return 0;
  return PlayerKeyWriteInt64(request.Text(1), request.Text(2), request.Text(3), request.Text(4))
             ? 1
             : 0;
}

int CommandIniReadInt64(CommandContext&, const CommandRequest& request, CommandReply* reply) {
  if (!request.Has(2)) return 0;
  std::string value;
  if (!PlayerKeyReadInt64(request.Text(1), request.Text(2), request.Text(3), request.Text(4),
                          &value)) {
    return 0;
  }
  reply->Set(0, 0, value);
  return 1;
}

int CommandIniWriteString(CommandContext&, const CommandRequest& request, CommandReply*) {
  if (!request.Has(2)) return 0;
  return PlayerKeyWriteString(request.Text(1), request.Text(2), request.Text(3), request.Text(4))
             ? 1
             : 0;
}

int CommandIniReadString(CommandContext&, const CommandRequest& request, CommandReply* reply) {
  if (!request.Has(2)) return 0;
  std::string value;
  if (!PlayerKeyReadString(request.Text(1), request.Text(2), request.Text(3), request.Text(4),
                           &value)) {
    return 0;
  }
  reply->Set(0, 0, value);
  return 1;
}

int CommandClientLog(CommandContext& context, const CommandRequest& request, CommandReply*) {
  context.log.WriteLine(ServerLog::Tagged(request.Text(1), request.Text(2)));
  return 1;
}

int CommandGetHttpStream(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  reply->Set(0, context.settings.Get(&S_CONFIG::iServerAcceptNum));
  return 1;
}

}  // namespace velmor
