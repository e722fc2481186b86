// velmorvr-player: a diagnostic player for the command and stream ports.
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  using namespace velmor::player;
  const CliParse parse = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (parse.help) {
    std::cout << UsageText();
    return kExitOk;
  }
  if (!parse.options) {
    std::cerr << "velmorvr-player: " << parse.error << '\n' << UsageText();
    return kExitFailure;
  }
  return RunCli(*parse.options, std::cout, std::cerr);
}
