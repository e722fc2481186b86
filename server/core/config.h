// The settings record and its INI file: every key, default and the file's
// layout. The record's one owner is Settings (core/settings.h); the
// functions here work on records they are given.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace velmor {

// Channel types.
enum ChannelType : int {
  kChannelPcFolder = 0,
  kChannelVrDevice = 1,
  kChannelSearchList = 2,
  kChannelFavourites = 3,
  kChannelPlaylist = 4,
};

inline constexpr int kChannelCount = 8;
// Text settings hold at most this many UTF-16 characters; longer values are
// cut when read.
inline constexpr size_t kConfigTextMax = 259;

struct S_CONFIG_CH {
  int iType = 0;
  std::string pcPath;

  bool operator==(const S_CONFIG_CH&) const = default;
};

using ChannelTable = std::array<S_CONFIG_CH, kChannelCount>;

struct S_CONFIG {
  ChannelTable channel;
  // [File]
  std::string pcExt;
  std::string pcAudioExt;
  std::string pcImageExt;
  int iUseFileGroup = 0;
  std::string pcFileGroup;
  std::string pcSearchFolder1;
  std::string pcTrimPath;
  std::string pcWordListPath;
  std::string pcPCFolderListPath;
  std::string pcDataTablePath;
  int iDataTableDeviceID = 0;
  // [Config]
  int iUsePassword = 0;
  std::string pcPassword;
  int iUseMouse = 0;
  int iUseMouseGetKeybordFocus = 0;
  int iUseMouseScale = 0;
  int iPortServer = 0;
  int iPortHttp = 0;
  int iPortMouse = 0;
  int iServerAcceptNum = 0;
  int iServerAcceptFullNum = 0;
  int iServerCacheBuffSizeMB = 0;
  int iServerCacheBuffNum = 0;
  int iServerCacheBuffProtectNum = 0;
  int iLiveTimeOutSec = 0;
  int iServerLog = 0;
  int iUseFFMpeg = 0;
  std::string pcFFMpegPath;
  std::string pcThumbnailPath;
  std::string pcThumbnailPath220;

  bool operator==(const S_CONFIG&) const = default;
};

// Every field at its default.
S_CONFIG DefaultConfig();

// The settings file: the program folder and "VelmorVRServer.ini".
std::string ConfigFilePath();

// Fills the record with defaults, reads the settings file and writes the
// defaults of missing keys back into it. False only when the file can
// neither be found nor created.
bool ReadConfigFile(S_CONFIG* config);
// Writes to the settings file the key of every field of config that differs
// from synced (the values of the last read or write); the others are left
// as they are in the file. False when a key could not be written.
bool WriteChangedConfigKeys(const S_CONFIG& config, const S_CONFIG& synced);

// The settings by name, "section.key" as in the file ("Config.iPortServer",
// "ch.3.pcPath"), for tools that edit them without the dialog.
std::vector<std::string> ConfigKeyNames();  // in file order
// The value as the file holds it; false for an unknown name.
bool GetConfigValue(const S_CONFIG& config, const std::string& name, std::string* value);
// Checks and sets one value (numbers must be numbers; ports 1-65535; a
// channel type 0-4); false with the reason in *error.
bool SetConfigValue(S_CONFIG* config, const std::string& name, const std::string& value,
                    std::string* error);
// Ports, the stream count and the cache sizes are used at the next start.
bool ConfigTakesEffectAtNextStart(const std::string& name);

}  // namespace velmor
