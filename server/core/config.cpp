#include "core/config.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <type_traits>

#include "base/decimal_text.h"
#include "base/utf.h"
#include "core/paths.h"
#include "core/version.h"
#include "platform/ini_store.h"

namespace velmor {
namespace {

// One key of the file and the field it fills.
struct ConfigKey {
  const char* section;
  const char* key;
  int S_CONFIG::*number;
  std::string S_CONFIG::*text;
  int default_number;
  const char* default_text;
};

#define VELMOR_INT(section, field, key, value) \
  { section, key, &S_CONFIG::field, nullptr, value, nullptr }
#define VELMOR_TEXT(section, field, key, value) \
  { section, key, nullptr, &S_CONFIG::field, 0, value }

// "File" then "Config", each in this order; the file is written in it.
constexpr ConfigKey kKeys[] = {
    VELMOR_TEXT("File", pcExt, "pcExt", "mp4"),
    VELMOR_TEXT("File", pcAudioExt, "pcAudioExt", "wav mp3"),
    VELMOR_TEXT("File", pcImageExt, "pcImageExt", "jpg jpeg png"),
    VELMOR_INT("File", iUseFileGroup, "iUseFileGroup", 1),
    VELMOR_TEXT("File", pcFileGroup, "pcFileGroup", "#"),
    VELMOR_TEXT("File", pcSearchFolder1, "pcSearchFolder1", "SearchFolder1.vrl"),
    VELMOR_TEXT("File", pcTrimPath, "pcTrimPath", "trim"),
    VELMOR_TEXT("File", pcWordListPath, "pcWordListPath", "WordList.txt"),
    VELMOR_TEXT("File", pcPCFolderListPath, "pcPCFolderListPath", "PCFolderList.vrl"),
    VELMOR_TEXT("File", pcDataTablePath, "pcDataTablePath", "data\\VelmorVRServer.txt"),
    VELMOR_INT("File", iDataTableDeviceID, "iDataTableDeviceID", 10),
    VELMOR_INT("Config", iUsePassword, "iUsePassword", 0),
    VELMOR_TEXT("Config", pcPassword, "pcPassword", ""),
    VELMOR_INT("Config", iUseMouse, "iUseMouse", 0),
    VELMOR_INT("Config", iUseMouseGetKeybordFocus, "iUseMouseGetKeybordFocus", 0),
    VELMOR_INT("Config", iUseMouseScale, "iUseMouseScale", 100),
    VELMOR_INT("Config", iPortServer, "iPortServer", 11922),
    VELMOR_INT("Config", iPortHttp, "iPortHttp", 11921),
    VELMOR_INT("Config", iPortMouse, "iPortMouse", 11923),
    VELMOR_INT("Config", iServerAcceptNum, "iServerAcceptNum.220", 5),
    VELMOR_INT("Config", iServerAcceptFullNum, "iServerAcceptFullNum.220", 3),
    VELMOR_INT("Config", iServerCacheBuffSizeMB, "iServerCacheBuffSizeMB", 1),
    VELMOR_INT("Config", iServerCacheBuffNum, "iServerCacheBuffNum", 32),
    VELMOR_INT("Config", iServerCacheBuffProtectNum, "iServerCacheBuffProtectNum", 8),
    VELMOR_INT("Config", iLiveTimeOutSec, "iLiveTimeOutSec", 120),
    VELMOR_INT("Config", iServerLog, "iServerLog", 0),
    VELMOR_INT("Config", iUseFFMpeg, "rw.iUseFFMpeg", 0),
    VELMOR_TEXT("Config", pcFFMpegPath, "pcFFMpegPath", "ffmpeg"),
    VELMOR_TEXT("Config", pcThumbnailPath, "pcThumbnailPath", "thumbnail"),
    VELMOR_TEXT("Config", pcThumbnailPath220, "pcThumbnailPath.220", "thumbnail220"),
};

#undef VELMOR_INT
#undef VELMOR_TEXT

const S_CONFIG_CH kChannelDefaults[kChannelCount] = {
    {kChannelVrDevice, ""},
    {kChannelPcFolder, ""},
    {kChannelPlaylist, "ch3.vrl"},
    {kChannelPlaylist, "ch4.vrl"},
    {kChannelPlaylist, "ch5.vrl"},
    {kChannelPlaylist, "ch6.vrl"},
    {kChannelSearchList, "search.vrl"},
    {kChannelFavourites, "favorite.vrl"},
};

// A default that tells an absent key from a present empty one.
constexpr char kAbsentMarker[] = "\x01";
constexpr size_t kTextCapacity = kConfigTextMax + 1;

std::string ChannelSection(int channel) { return "ch." + std::to_string(channel); }

// Reads or writes one integer key; the mode decides which.
class KeyIo {
 public:
  KeyIo(std::string path, bool write_all) : path_(std::move(path)), write_all_(write_all) {}

  void Number(const std::string& section, const char* key, int* value) const {
    if (!write_all_) {
      const std::string text = platform::ReadIniString(path_, section, key, "", kTextCapacity);
      if (!text.empty()) {
        ParseDecimalInt(text, value);
        return;
      }
    }
    platform::WriteIniString(path_, section, key, std::to_string(*value));
  }

  void Text(const std::string& section, const char* key, std::string* value) const {
    if (!write_all_) {
      const std::string text =
          platform::ReadIniString(path_, section, key, kAbsentMarker, kTextCapacity);
      if (text != kAbsentMarker) {
        *value = CutToUtf16Units(text, kConfigTextMax);
        return;
      }
    }
    platform::WriteIniString(path_, section, key, *value);
  }

 private:
  std::string path_;
  bool write_all_;
};

void ForEachKey(S_CONFIG& config, const KeyIo& io) {
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const std::string section = ChannelSection(channel);
    io.Number(section, "iType", &config.channel[channel].iType);
    io.Text(section, "pcPath", &config.channel[channel].pcPath);
  }
  for (const ConfigKey& key : kKeys) {
    if (key.number != nullptr) {
      io.Number(key.section, key.key, &(config.*key.number));
    } else {
      io.Text(key.section, key.key, &(config.*key.text));
    }
  }
}

// One setting by name: where its value lives in the record (a const record
// gives const places).
template <typename Config>
struct NamedField {
  using Number = std::conditional_t<std::is_const_v<Config>, const int, int>;
  using Text = std::conditional_t<std::is_const_v<Config>, const std::string, std::string>;
  std::string name;
  Number* number = nullptr;
  Text* text = nullptr;
};

// Every setting of the record, in file order, by name.
template <typename Config>
std::vector<NamedField<Config>> NamedFields(Config& config) {
  std::vector<NamedField<Config>> fields;
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const std::string section = ChannelSection(channel);
    fields.push_back({section + ".iType", &config.channel[channel].iType, nullptr});
    fields.push_back({section + ".pcPath", nullptr, &config.channel[channel].pcPath});
  }
  for (const ConfigKey& key : kKeys) {
    const std::string name = std::string(key.section) + "." + key.key;
    if (key.number != nullptr) {
      fields.push_back({name, &(config.*key.number), nullptr});
    } else {
      fields.push_back({name, nullptr, &(config.*key.text)});
    }
  }
  return fields;
}

bool IsPortName(const std::string& name) {
  return name == "Config.iPortServer" || name == "Config.iPortHttp" || name == "Config.iPortMouse";
}

bool IsChannelTypeName(const std::string& name) {
  return name.rfind("ch.", 0) == 0 && name.size() > 6 &&
         name.compare(name.size() - 6, 6, ".iType") == 0;
}

// A whole decimal number, nothing else.
bool ParseWholeNumber(const std::string& text, int* value) {
  if (text.empty() || text.size() > 11) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool sign = i == 0 && text[i] == '-' && text.size() > 1;
    if (!sign && (text[i] < '0' || text[i] > '9')) return false;
  }
  long long number = 0;
  if (!ParseDecimalInt64(text, &number) || number < INT32_MIN || number > INT32_MAX) return false;
  *value = static_cast<int>(number);
  return true;
}

}  // namespace

std::vector<std::string> ConfigKeyNames() {
  const S_CONFIG scratch;
  std::vector<std::string> names;
  for (const auto& field : NamedFields(scratch)) names.push_back(field.name);
  return names;
}

bool GetConfigValue(const S_CONFIG& config, const std::string& name, std::string* value) {
  for (const auto& field : NamedFields(config)) {
    if (field.name != name) continue;
    *value = field.number != nullptr ? std::to_string(*field.number) : *field.text;
    return true;
  }
  return false;
}

bool SetConfigValue(S_CONFIG* config, const std::string& name, const std::string& value,
                    std::string* error) {
  for (const auto& field : NamedFields(*config)) {
    if (field.name != name) continue;
    if (field.text != nullptr) {
      if (Utf16Length(value) > kConfigTextMax) {
        *error = name + ": at most " + std::to_string(kConfigTextMax) + " characters";
        return false;
      }
      *field.text = value;
      return true;
    }
    int number = 0;
    if (!ParseWholeNumber(value, &number)) {
      *error = name + ": not a number: " + value;
      return false;
    }
    if (IsPortName(name) && (number < 1 || number > 65535)) {
      *error = name + ": a port is 1 to 65535";
      return false;
    }
    if (IsChannelTypeName(name) && (number < 0 || number > 4)) {
      *error = name + ": a channel type is 0 to 4";
      return false;
    }
    *field.number = number;
    return true;
  }
  *error = "unknown setting: " + name;
  return false;
}

bool ConfigTakesEffectAtNextStart(const std::string& name) {
  return IsPortName(name) || name.rfind("Config.iServerAccept", 0) == 0 ||
         name.rfind("Config.iServerCacheBuff", 0) == 0;
}

S_CONFIG DefaultConfig() {
  S_CONFIG config;
  for (int channel = 0; channel < kChannelCount; ++channel) {
    config.channel[channel] = kChannelDefaults[channel];
  }
  for (const ConfigKey& key : kKeys) {
    if (key.number != nullptr) {
      config.*key.number = key.default_number;
    } else {
      config.*key.text = key.default_text;
    }
  }
  return config;
}

std::string ConfigFilePath() { return BesideProgram(kSettingsFileName); }

bool ReadConfigFile(S_CONFIG* config) {
  *config = DefaultConfig();
  const std::string path = ConfigFilePath();
  const bool write_all = PathKind(path) != kPathFile;
  if (write_all && !platform::CreateUtf16File(path)) return false;
  if (platform::GetPathType(path) != platform::PathType::kFile) return false;
  ForEachKey(*config, KeyIo(path, write_all));
  return true;
}

bool WriteChangedConfigKeys(const S_CONFIG& config, const S_CONFIG& synced) {
  const std::string path = ConfigFilePath();
  bool written = true;
  auto write = [&](const std::string& section, const std::string& key, const std::string& value) {
    written = platform::WriteIniString(path, section, key, value) && written;
  };
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const std::string section = ChannelSection(channel);
    const S_CONFIG_CH& now = config.channel[channel];
    const S_CONFIG_CH& then = synced.channel[channel];
    if (now.iType != then.iType) write(section, "iType", std::to_string(now.iType));
    if (now.pcPath != then.pcPath) write(section, "pcPath", now.pcPath);
  }
  for (const ConfigKey& key : kKeys) {
    if (key.number != nullptr && config.*key.number != synced.*key.number) {
      write(key.section, key.key, std::to_string(config.*key.number));
    } else if (key.text != nullptr && config.*key.text != synced.*key.text) {
      write(key.section, key.key, config.*key.text);
    }
  }
  return written;
}

}  // namespace velmor
