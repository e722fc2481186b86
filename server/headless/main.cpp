// velmorvr-server [--home DIR] [--pc-folder DIR] [config ...]: the server
// without a window, and its settings from a shell.
#include <string>
#include <vector>

#include "headless/batch_command.h"
#include "headless/config_command.h"
#include "headless/headless_host.h"
#include "platform/console_program.h"

namespace {

constexpr char kUsage[] =
    "usage: velmorvr-server [--home DIR] [--pc-folder DIR]\n"
    "       velmorvr-server [--home DIR] config ...\n"
    "       velmorvr-server [--home DIR] --make-thumbnails [FOLDER...]\n"
    "       velmorvr-server [--home DIR] --convert [PATH...]\n"
    "  --home DIR       the program folder: settings, data table, lists,\n"
    "                   thumbnails, log (default: the folder of this program)\n"
    "  --pc-folder DIR  serve DIR as channel 1 (PC folder) and keep it\n"
    "  --help           this text\n";
constexpr char kSignals[] =
    "SIGINT or SIGTERM stops the server; SIGHUP reloads the settings file.\n";

}  // namespace

int main(int argc, char** argv) {
  using velmor::platform::ConsoleStream;
  using velmor::platform::WriteConsoleText;
  const std::vector<std::string> arguments = velmor::platform::ProgramArguments(argc, argv);
  const velmor::HeadlessOptions options = velmor::ParseHeadlessArguments(arguments);
  if (options.show_help || !options.error.empty()) {
    if (!options.error.empty()) WriteConsoleText(ConsoleStream::kError, options.error + "\n");
    WriteConsoleText(ConsoleStream::kError,
                     std::string(kUsage) + velmor::kConfigUsage + velmor::kBatchUsage + kSignals);
    return options.show_help && options.error.empty() ? 0 : 2;
  }
  if (options.config) return velmor::RunHeadlessConfig(options);
  if (options.batch != velmor::BatchMode::kNone) return velmor::RunHeadlessBatch(options);
  return velmor::RunHeadlessHost(options);
}
