#include "headless/headless_host.h"

#include <cstdio>
#include <memory>

#include "command/command_server.h"
#include "command/status_event.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/version.h"
#include "headless/config_command.h"
#include "platform/console_program.h"
#include "platform/file_system.h"
#include "platform/process_signals.h"
#include "platform/socket.h"
#include "platform/user_notice.h"
#include "runtime/server_runtime.h"
#include "stream/stream_server.h"
#include "thumbnail/plugin_binding.h"

namespace velmor {
namespace {

// The event consumer's period, as the main window's timer.
constexpr unsigned kConsumerPeriodMs = 100;

void PrintLine(const std::string& line) {
  platform::WriteConsoleText(platform::ConsoleStream::kOutput, line + "\n");
}

void PrintStatusEvent(const StatusEvent& event) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(event.code));
  std::string line = std::string("status ") + code + " " + event.first_text;
  if (!event.second_text.empty()) line += " " + event.second_text;
  PrintLine(line);
}

void PrintStartBanner(ServerRuntime& runtime) {
  const S_CONFIG config = runtime.settings().Copy();
  PrintLine(std::string(kProductName) + " Ver" + kAppVersion + " (" + kBuildDate + ")");
  PrintLine("home: " + ProgramFolder());
  for (const std::string& address : platform::LocalIpv4Addresses()) {
    PrintLine("address: " + address);
  }
  const bool command_open = runtime.command_server() && runtime.command_server()->listening();
  const bool http_open = runtime.stream_server() && runtime.stream_server()->listening();
  PrintLine("command port: " + std::to_string(config.iPortServer) +
            (command_open ? "" : " (cannot listen)"));
  PrintLine("http port: " + std::to_string(config.iPortHttp) +
            (http_open ? "" : " (cannot listen)"));
  PrintLine("mouse port: " + std::to_string(config.iPortMouse));
}

// The player plug-in beside the program, bound as the window program binds
// it; it is a Windows library, so elsewhere the server runs without it.
std::unique_ptr<PluginBinding> BindPlugin() {
#ifdef _WIN32
  std::unique_ptr<PluginBinding> binding =
      BindPlayerPlugin(platform::ExecutableFolder(), &platform::ShowMessageBox);
  PrintLine(binding ? "plug-in: bound " + binding->library_path()
                    : std::string("plug-in: none, running without it"));
  return binding;
#else
  PrintLine("plug-in: none on this system (Tarnwick.dll is a Windows library)");
  return nullptr;
#endif
}

void ReloadSettings(ServerRuntime* runtime) {
  // The record is replaced under the settings' own lock; applying it takes
  // the command lock.
  if (!runtime->settings().Load()) {
    PrintLine("settings: cannot read " + ConfigFilePath());
    return;
  }
  runtime->ApplySettings();
  PrintLine("settings: reloaded " + ConfigFilePath());
}

}  // namespace

HeadlessOptions ParseHeadlessArguments(const std::vector<std::string>& arguments) {
  HeadlessOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.show_help = true;
    } else if (argument == "--home" && i + 1 < arguments.size()) {
      options.home = arguments[++i];
    } else if (argument.rfind("--home=", 0) == 0) {
      options.home = argument.substr(7);
    } else if (argument == "--pc-folder" && i + 1 < arguments.size()) {
      options.pc_folder = arguments[++i];
    } else if (argument == "--make-thumbnails" || argument == "--convert") {
      const BatchMode mode =
          argument == "--convert" ? BatchMode::kConvert : BatchMode::kMakeThumbnails;
      if (options.batch != BatchMode::kNone && options.batch != mode) {
        options.error = "--make-thumbnails and --convert cannot be combined";
      }
      options.batch = mode;
    } else if (options.batch != BatchMode::kNone && !argument.starts_with("-")) {
      options.batch_paths.push_back(argument);
    } else if (argument == "config") {
      options.config = true;
      options.config_words.assign(arguments.begin() + static_cast<ptrdiff_t>(i) + 1,
                                  arguments.end());
      break;
    } else {
      options.error = "unknown argument: " + argument;
    }
  }
  return options;
}

namespace {

std::string AbsoluteFolder(const std::string& folder) {
  if (platform::IsAbsolutePath(folder)) return folder;
  return JoinPath(platform::CurrentFolder(), folder);
}

}  // namespace

void UseHeadlessHome(const HeadlessOptions& options) {
  const std::string home =
      options.home.empty() ? platform::ExecutableFolder() : AbsoluteFolder(options.home);
  SetProgramFolder(home);
  // A new home is made for the user; one that cannot be made fails later.
  EnsureFolder(home);
}

int RunHeadlessConfig(const HeadlessOptions& options) {
  UseHeadlessHome(options);
  return RunConfigCommand(options.config_words);
}

int RunHeadlessHost(const HeadlessOptions& options) {
  UseHeadlessHome(options);
  ServerRuntime runtime;
  Settings& settings = runtime.settings();
  if (!settings.Load()) {
    PrintLine("cannot create the settings file " + ConfigFilePath());
    settings.Save();
    return 0;
  }
  if (!options.pc_folder.empty()) {
    // As if the user had chosen the folder for channel 1 in the window.
    settings.SetChannel(1, {kChannelPcFolder, AbsoluteFolder(options.pc_folder)});
    settings.Save();
  }
  std::unique_ptr<PluginBinding> plugin = BindPlugin();
  platform::InstallProcessSignalHandlers();

  runtime.Start();
  PrintStartBanner(runtime);
  // So "config set" finds this server to apply what it changed.
  platform::WriteFileAtomically(RunningServerFile(),
                                std::to_string(platform::CurrentProcessId()) + "\n");

  for (;;) {
    const platform::ProcessSignal signal = platform::WaitProcessSignal(kConsumerPeriodMs);
    runtime.ConsumeStatusEvent(&PrintStatusEvent);
    if (signal == platform::ProcessSignal::kStop) break;
    if (signal == platform::ProcessSignal::kReload) ReloadSettings(&runtime);
  }

  PrintLine("stopping");
  platform::DeleteFile(RunningServerFile());
  plugin.reset();  // the player is released before the servers stop
  runtime.Shutdown();
  const std::vector<std::string>& unsaved = runtime.library().unsaved_at_release();
  for (const std::string& path : unsaved) {
    platform::WriteConsoleText(platform::ConsoleStream::kError,
                               "cannot save " + path + ": its last changes are lost\n");
  }
  settings.Save();
  return unsaved.empty() ? 1 : 3;
}

}  // namespace velmor
