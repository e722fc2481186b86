// bench_command_round_trip [HOST[:PORT]] [--password P] [--count N]
// Times the command connection: after the handshake, N small binary commands
// (CM_GET_HTTP_STREAM) one at a time, each waited for up to its result line.
// Prints the median and the 90th percentile round trip in microseconds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "player_client.h"

namespace {

using velmor::player::PlayerClient;

struct BenchOptions {
  std::string host = "127.0.0.1";
  uint16_t port = velmor::player::kDefaultCommandPort;
  std::optional<std::string> password;
  int count = 1000;
};

std::optional<int> ParsePositive(const std::string& text, int max) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int value = std::stoi(text);
  if (value < 1 || value > max) return std::nullopt;
  return value;
}

bool ParseTarget(const std::string& text, BenchOptions* options) {
  const size_t colon = text.rfind(':');
  options->host = text.substr(0, colon);
  if (colon == std::string::npos) return !options->host.empty();
  const auto port = ParsePositive(text.substr(colon + 1), 65535);
  if (port) options->port = static_cast<uint16_t>(*port);
  return port.has_value() && !options->host.empty();
}

std::optional<BenchOptions> ParseArguments(int argc, char** argv) {
  BenchOptions options;
  bool have_target = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool has_value = i + 1 < argc;
    if (argument == "--password" && has_value) {
      options.password = argv[++i];
    } else if (argument == "--count" && has_value) {
      const auto count = ParsePositive(argv[++i], 10000000);
      if (!count) return std::nullopt;
      options.count = *count;
    } else if (!have_target && argument[0] != '-') {
      if (!ParseTarget(argument, &options)) return std::nullopt;
      have_target = true;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// Nearest-rank percentile of sorted values (p from 1 to 100).
int64_t Percentile(const std::vector<int64_t>& sorted, int p) {
  const size_t rank = (sorted.size() * static_cast<size_t>(p) + 99) / 100;
  return sorted[std::max<size_t>(rank, 1) - 1];
}

// Connects and logs in; an exit code when that fails.
std::optional<int> Login(const BenchOptions& options, PlayerClient* client) {
  const auto address = velmor::player::ParseIpv4(options.host);
  std::string error = "the host must be an IPv4 address or localhost";
  const std::string target = options.host + ":" + std::to_string(options.port);
  if (!address || !client->Connect(*address, options.port, 10000, &error)) {
    std::cerr << "cannot connect to " << target << ": " << error << '\n';
    return 2;
  }
  velmor::player::HandshakeOptions handshake;
  handshake.password = options.password;
  const auto reply = client->Handshake(handshake);
  if (reply.Admitted()) return std::nullopt;
  std::cerr << "handshake with " << target << " failed"
            << (reply.error.empty() ? "" : ": " + reply.error)
            << (reply.password_requested && !options.password ? " (give --password)" : "") << '\n';
  return reply.error.empty() ? 1 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    std::cerr << "usage: bench_command_round_trip [HOST[:PORT]] [--password P] [--count N]\n";
    return 2;
  }
  PlayerClient client;
  if (const auto failed = Login(*options, &client)) return *failed;

  const velmor::player::Command command{"CM_GET_HTTP_STREAM", {}};
  int refused = 0;
  std::vector<int64_t> micros;
  micros.reserve(static_cast<size_t>(options->count));
  for (int i = 0; i < options->count; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto reply = client.ExchangeCommand(command);
    const auto end = std::chrono::steady_clock::now();
    // A refused command is still one whole round trip: what is timed is the
    // way from the player's packet to its result line.
    if (!reply.complete()) {
      std::cerr << "command " << i << " got no answer: " << reply.error << '\n';
      return 2;
    }
    refused += reply.LastOk() ? 0 : 1;
    micros.push_back(std::chrono::duration_cast<std::chrono::microseconds>(end - start).count());
  }
  std::sort(micros.begin(), micros.end());
  std::cout << options->count << " round trips of " << command.name << " to " << options->host
            << ":" << options->port << "\n"
            << "median " << Percentile(micros, 50) << " us\n"
            << "p90    " << Percentile(micros, 90) << " us\n";
  if (refused > 0) std::cout << "(" << refused << " answered with #RET_ERR)\n";
  return 0;
}
