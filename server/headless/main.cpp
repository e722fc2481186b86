// velmorvr-server [--home DIR] [--pc-folder DIR]: the server without a window.
#include <cstdio>
#include <string>
#include <vector>

#include "headless/headless_host.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const velmor::HeadlessOptions options = velmor::ParseHeadlessArguments(arguments);
  if (options.show_help || !options.error.empty()) {
    if (!options.error.empty()) std::fprintf(stderr, "%s\n", options.error.c_str());
    std::fprintf(stderr,
                 "usage: velmorvr-server [--home DIR] [--pc-folder DIR]\n"
                 "  --home DIR       the program folder: settings, data table, lists,\n"
                 "                   thumbnails, log (default: the folder of this program)\n"
                 "  --pc-folder DIR  serve DIR as channel 1 (PC folder) and keep it\n"
                 "SIGINT or SIGTERM stops the server; SIGHUP reloads the settings file.\n");
    return options.show_help && options.error.empty() ? 0 : 2;
  }
  return velmor::RunHeadlessHost(options);
}
