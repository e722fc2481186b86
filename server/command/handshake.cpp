#include "command/handshake.h"

#include "base/tagged_fields.h"
#include "command/status_event.h"
#include "command/tag_list.h"
#include "core/paths.h"
#include "core/version.h"
#include "library/list_file.h"

namespace velmor {
namespace {

HandshakeOutcome Refusal(int code, std::string text) {
  HandshakeOutcome outcome;
  outcome.status_code = code;
  outcome.status_text = std::move(text);
  return outcome;
}

std::string VersionReply() {
  return std::string("#RET_VERSION(<protocol_ver>") + std::to_string(kProtocolVersion) +
         ",<app_ver>\"" + kAppVersion + "\",<app_build_date>\"" + kBuildDate + "\",<copyright>\"" +
         kServerCopyright + "\")";
}

std::string MouseReply(const S_CONFIG& config) {
  return "#RET_USE_MOUSE(<on>" + std::to_string(config.iUseMouse) + ",<scale>" +
         std::to_string(config.iUseMouseScale) + ",<port>" + std::to_string(config.iPortMouse) +
         ")";
}

std::string HttpReply(const S_CONFIG& config) {
  return "#RET_USE_HTTP(<port>" + std::to_string(config.iPortHttp) + ")";
}

// The lock-out ends at a point of the wrapping millisecond clock: locked
// while the end is at most 30 s ahead, so neither a wrap of the clock nor an
// old lock-out ever locks a player out for longer.
bool LockedOut(uint32_t now_ms, uint32_t until_ms) {
  const uint32_t remaining = until_ms - now_ms;
  return until_ms != 0 && remaining != 0 && remaining <= kPasswordLockoutMs;
}

uint32_t LockoutEnd(uint32_t now_ms) {
  const uint32_t end = now_ms + kPasswordLockoutMs;
  return end == 0 ? 1 : end;  // 0 means "never locked"
}

}  // namespace

std::string ChannelName(const S_CONFIG_CH& channel) {
  switch (channel.iType) {
    case kChannelPcFolder:
      return "PCフォルダ";
    case kChannelVrDevice:
      return "VRデバイス";
    case kChannelSearchList:
      return "検索";
    case kChannelFavourites:
      return "お気に入り";
    case kChannelPlaylist: {
      std::string path = ToHostSeparators(channel.pcPath);
      if (PathKind(path) != kPathFile) path = JoinPath(ProgramFolder(), path);
      std::string name;
      ReadListName(path, &name);
      return name;
    }
    default:
      return "";
  }
}

std::string ChannelNamesReply(const S_CONFIG& config) {
  std::string reply = "#RET_CH_NAME(";
  for (int j = 0; j < kChannelCount; ++j) {
    if (j > 0) reply += ",";
    const S_CONFIG_CH& channel = config.channel[j];
    reply += "<type." + std::to_string(j) + ">" + std::to_string(channel.iType) + ",<name." +
             std::to_string(j) + ">\"" + ChannelName(channel) + "\"";
  }
  return reply + ")";
}

HandshakeOutcome HandleSetup(std::string_view text, const S_CONFIG& config,
                             const std::string& tag_list_path, HandshakeState* state) {
  int64_t version = 0;
  if (FindNumber(text, "<protocol_ver>", &version)) {
    state->protocol_version = static_cast<int>(version);
  }
  if (state->protocol_version < kMinimumPlayerProtocol) {
    return Refusal(kStatusProtocolTooOld,
                   "クライアント側（アプリケーション）の通信バージョンが古い(" +
                       std::to_string(state->protocol_version) + ")");
  }
  std::string copyright;
  if (!FindString(text, "<copyright>", &copyright) || copyright != kPlayerCopyright) {
    return Refusal(kStatusCopyrightMismatch,
                   "クライアント側（アプリケーション）のコピーライトが合わない");
  }
  HandshakeOutcome outcome;
  outcome.ok = true;
  outcome.replies = {VersionReply(), ChannelNamesReply(config), MouseReply(config),
                     HttpReply(config)};
  if (config.iUsePassword == 0) state->authenticated = true;
  if (!state->authenticated) outcome.replies.push_back("#RET_REQUEST_PASSWORD()");
  std::vector<std::string> tags;
  ReadTagList(tag_list_path, &tags);
  outcome.replies.insert(outcome.replies.end(), tags.begin(), tags.end());
  outcome.authenticated = state->authenticated;
  return outcome;
}

HandshakeOutcome HandlePassword(std::string_view text, const S_CONFIG& config, uint32_t now_ms,
                                HandshakeState* state) {
  if (LockedOut(now_ms, state->lockout_until_ms)) {
    return Refusal(kStatusPasswordLocked, "パスワードタイム");
  }
  std::string password;
  if (!FindString(text, "<pass>", &password)) {
    state->lockout_until_ms = LockoutEnd(now_ms);
    return Refusal(kStatusPasswordMissing, "パスワードが見つからない");
  }
  if (password != config.pcPassword) {
    state->lockout_until_ms = LockoutEnd(now_ms);
    return Refusal(kStatusPasswordWrong, "パスワードが一致しません");
  }
  state->authenticated = true;
  HandshakeOutcome outcome;
  outcome.ok = true;
  outcome.authenticated = true;
  return outcome;
}

}  // namespace velmor
