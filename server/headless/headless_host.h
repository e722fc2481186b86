// The server without a window: start, status events printed as lines,
// settings reloaded on SIGHUP, shutdown on SIGINT or SIGTERM.
#pragma once

#include <string>
#include <vector>

namespace velmor {

enum class BatchMode { kNone, kMakeThumbnails, kConvert };

struct HeadlessOptions {
  std::string home;       // the program folder; empty: the executable's folder
  std::string pc_folder;  // when set: channel 1 becomes this PC folder
  bool show_help = false;
  bool config = false;  // the config subcommand, with its words
  std::vector<std::string> config_words;
  BatchMode batch = BatchMode::kNone;    // --make-thumbnails or --convert
  std::vector<std::string> batch_paths;  // the folders or paths after it
  std::string error;                     // set when the arguments are wrong
};

HeadlessOptions ParseHeadlessArguments(const std::vector<std::string>& arguments);

// Runs until asked to stop; returns the process exit code: 1 after a normal
// stop, 3 after a stop that could not save every change (told on stderr),
// 0 when the settings file cannot be created, 2 for bad arguments.
int RunHeadlessHost(const HeadlessOptions& options);
// The config subcommand on the home's settings (config_command.h).
int RunHeadlessConfig(const HeadlessOptions& options);
// Makes the home (--home, else the executable's folder) the program folder.
void UseHeadlessHome(const HeadlessOptions& options);

}  // namespace velmor
