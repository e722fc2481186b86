// velmorvr-server [--home DIR] [--pc-folder DIR]: the server without a window.
#include <string>
#include <vector>

#include "headless/headless_host.h"
#include "platform/console_program.h"

namespace {

constexpr char kUsage[] =
    "usage: velmorvr-server [--home DIR] [--pc-folder DIR]\n"
    "  --home DIR       the program folder: settings, data table, lists,\n"
    "                   thumbnails, log (default: the folder of this program)\n"
    "  --pc-folder DIR  serve DIR as channel 1 (PC folder) and keep it\n"
    "SIGINT or SIGTERM stops the server; SIGHUP reloads the settings file.\n";

}  // namespace

int main(int argc, char** argv) {
  using velmor::platform::ConsoleStream;
  using velmor::platform::WriteConsoleText;
  const std::vector<std::string> arguments = velmor::platform::ProgramArguments(argc, argv);
  const velmor::HeadlessOptions options = velmor::ParseHeadlessArguments(arguments);
  if (options.show_help || !options.error.empty()) {
    if (!options.error.empty()) WriteConsoleText(ConsoleStream::kError, options.error + "\n");
    WriteConsoleText(ConsoleStream::kError, kUsage);
    return options.show_help && options.error.empty() ? 0 : 2;
  }
  return velmor::RunHeadlessHost(options);
}
