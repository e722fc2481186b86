#include "headless/config_command.h"

#include "base/decimal_text.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/console_program.h"
#include "platform/file_system.h"
#include "platform/process_signals.h"

namespace velmor {

const char kConfigUsage[] =
    "  config list                    every setting as section.key=value, in file order\n"
    "  config get KEY                 one setting (KEY as config list names it)\n"
    "  config set KEY VALUE           changes a setting; a running server applies it\n"
    "  config channel N TYPE [PATH]   channel N (0-7): TYPE vr, folder, playlist, search,\n"
    "                                 favourites, or the names the window shows\n";

namespace {

void Print(const std::string& text) {
  platform::WriteConsoleText(platform::ConsoleStream::kOutput, text + "\n");
}

void PrintError(const std::string& text) {
  platform::WriteConsoleText(platform::ConsoleStream::kError, text + "\n");
}

// The channel type for a name the window shows or its English alias; -1
// when it is neither.
int ChannelTypeNamed(const std::string& name) {
  struct Alias {
    const char* english;
    const char* window;
    int type;
  };
  static constexpr Alias kAliases[] = {
      {"vr", "VRデバイス", kChannelVrDevice},
      {"folder", "PCフォルダ", kChannelPcFolder},
      {"playlist", "プレイリスト", kChannelPlaylist},
      {"search", "検索リスト", kChannelSearchList},
      {"favourites", "お気に入りリスト", kChannelFavourites},
  };
  for (const Alias& alias : kAliases) {
    if (name == alias.english || name == alias.window) return alias.type;
  }
  return -1;
}

// Tells a server running with this home to apply the file; what it said.
void ApplyToRunningServer(const std::vector<std::string>& changed) {
  std::string text;
  int process_id = 0;
  const bool running = platform::ReadWholeFile(RunningServerFile(), &text) &&
                       ParseDecimalInt(text, &process_id) &&
                       platform::RequestReloadOfCopy(process_id);
  for (const std::string& name : changed) {
    if (ConfigTakesEffectAtNextStart(name)) {
      Print(name + " takes effect at the server's next start");
    }
  }
  Print(running ? "the running server (process " + std::to_string(process_id) +
                      ") applies the settings now"
                : "no server is running with this home: the settings apply at its start");
}

// Sets the values in the file; false (nothing written) when one is refused.
int SetValues(const std::vector<std::pair<std::string, std::string>>& values) {
  Settings settings;
  if (!settings.Load()) {
    PrintError("cannot read or create " + ConfigFilePath());
    return 1;
  }
  S_CONFIG config = settings.Copy();
  std::vector<std::string> changed;
  for (const auto& [name, value] : values) {
    std::string error;
    if (!SetConfigValue(&config, name, value, &error)) {
      PrintError(error);
      if (error.rfind("unknown setting", 0) == 0) {
        PrintError("known settings:");
        for (const std::string& known : ConfigKeyNames()) PrintError("  " + known);
      }
      return 2;
    }
    changed.push_back(name);
  }
  settings.Update([&](S_CONFIG& record) { record = config; });
  if (!settings.Save()) {
    PrintError("cannot write " + ConfigFilePath());
    return 1;
  }
  ApplyToRunningServer(changed);
  return 0;
}

int List() {
  Settings settings;
  if (!settings.Load()) {
    PrintError("cannot read or create " + ConfigFilePath());
    return 1;
  }
  const S_CONFIG config = settings.Copy();
  for (const std::string& name : ConfigKeyNames()) {
    std::string value;
    GetConfigValue(config, name, &value);
    Print(name + "=" + value);
  }
  return 0;
}

int Get(const std::string& name) {
  Settings settings;
  if (!settings.Load()) {
    PrintError("cannot read or create " + ConfigFilePath());
    return 1;
  }
  std::string value;
  if (!GetConfigValue(settings.Copy(), name, &value)) {
    PrintError("unknown setting: " + name + " (config list names them all)");
    return 2;
  }
  Print(value);
  return 0;
}

int Channel(const std::vector<std::string>& words) {
  int channel = -1;
  if (!ParseDecimalInt(words[1], &channel) || channel < 0 || channel >= kChannelCount ||
      words[1].find_first_not_of("0123456789") != std::string::npos) {
    PrintError("a channel is 0 to " + std::to_string(kChannelCount - 1) + ": " + words[1]);
    return 2;
  }
  const int type = ChannelTypeNamed(words[2]);
  if (type < 0) {
    PrintError("unknown channel type: " + words[2] + " (vr, folder, playlist, search, favourites)");
    return 2;
  }
  const std::string section = "ch." + std::to_string(channel);
  std::vector<std::pair<std::string, std::string>> values = {
      {section + ".iType", std::to_string(type)}};
  if (words.size() == 4) {
    // A folder is kept as the absolute path the server serves.
    std::string path = words[3];
    if (type == kChannelPcFolder && !platform::IsAbsolutePath(path)) {
      path = JoinPath(platform::CurrentFolder(), path);
    }
    values.push_back({section + ".pcPath", path});
  }
  return SetValues(values);
}

}  // namespace

std::string RunningServerFile() { return BesideProgram("velmorvr-server.pid"); }

int RunningServerProcess() {
  std::string text;
  int process_id = 0;
  if (!platform::ReadWholeFile(RunningServerFile(), &text) || !ParseDecimalInt(text, &process_id)) {
    return 0;
  }
  return platform::IsCopyRunning(process_id) ? process_id : 0;
}

int RunConfigCommand(const std::vector<std::string>& words) {
  const size_t count = words.size();
  if (count == 1 && words[0] == "list") return List();
  if (count == 2 && words[0] == "get") return Get(words[1]);
  if (count == 3 && words[0] == "set") return SetValues({{words[1], words[2]}});
  if ((count == 3 || count == 4) && words[0] == "channel") return Channel(words);
  PrintError("usage: velmorvr-server [--home DIR] config ...\n" + std::string(kConfigUsage));
  return 2;
}

}  // namespace velmor
