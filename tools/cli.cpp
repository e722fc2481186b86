#include "cli.h"

#include <limits>

#include "http_get.h"
#include "number_text.h"
#include "player_client.h"
#include "reply_printer.h"
#include "search_run.h"
#include "thumbnail_cli.h"
#include "thumbnail_wait.h"

namespace velmor::player {
namespace {

// "-x" and "--name"; "-1" is a (negative) number, not an option.
bool IsOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-' && (argument[1] < '0' || argument[1] > '9');
}

// Walks the arguments, handing out option values.
class Arguments {
 public:
  explicit Arguments(const std::vector<std::string>& list) : list_(list) {}
  bool AtEnd() const { return index_ >= list_.size(); }
  // The next argument without taking it; nullptr at the end.
  const std::string* Peek() const { return AtEnd() ? nullptr : &list_[index_]; }
  const std::string& Next() { return list_[index_++]; }
  std::vector<std::string> Rest() {
    std::vector<std::string> rest(list_.begin() + static_cast<std::ptrdiff_t>(index_), list_.end());
    index_ = list_.size();
    return rest;
  }

  // The value of option `name` as a number within [min, max].
  bool Number(const std::string& name, int64_t min, int64_t max, int64_t* value,
              std::string* error) {
    std::string text;
    if (!Text(name, &text, error)) return false;
    const auto number = ParseInteger(text, min, max);
    if (!number) {
      *error = name + " needs a number from " + std::to_string(min) + " to " + std::to_string(max) +
               ", not \"" + text + "\"";
      return false;
    }
    *value = *number;
    return true;
  }

  bool Text(const std::string& name, std::string* value, std::string* error) {
    if (AtEnd()) {
      *error = name + " needs a value";
      return false;
    }
    *value = Next();
    return true;
  }

 private:
  const std::vector<std::string>& list_;
  size_t index_ = 0;
};

constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();

template <typename T>
bool NumberInto(Arguments* args, const std::string& name, int64_t min, int64_t max, T* target,
                std::string* error) {
  int64_t value = 0;
  if (!args->Number(name, min, max, &value, error)) return false;
  *target = static_cast<T>(value);
  return true;
}

// An option every command takes. Returns false when `name` is not one;
// sets *error when its value is bad.
bool GlobalOption(const std::string& name, Arguments* args, CliOptions* options,
                  std::string* error) {
  if (name == "--password") {
    std::string value;
    if (args->Text(name, &value, error)) options->password = value;
    return true;
  }
  if (name == "--protocol") {
    NumberInto(args, name, kIntMin, kIntMax, &options->protocol_ver, error);
  } else if (name == "--copyright") {
    args->Text(name, &options->copyright, error);
  } else if (name == "--timeout") {
    NumberInto(args, name, 1, kIntMax, &options->timeout_ms, error);
  } else {
    return false;
  }
  return true;
}

bool ParseEndpoint(std::string_view text, CliOptions* options, std::string* error) {
  const size_t colon = text.rfind(':');
  options->host = std::string(text.substr(0, colon));
  if (colon != std::string_view::npos) {
    const auto port = ParseInteger(text.substr(colon + 1), 1, 65535);
    if (!port) {
      *error = "bad port in \"" + std::string(text) + "\"";
      return false;
    }
    options->port = static_cast<uint16_t>(*port);
  }
  if (options->host.empty()) *error = "missing host in \"" + std::string(text) + "\"";
  return error->empty();
}

bool ChannelOption(const std::string& name, Arguments* args, CliOptions* options,
                   std::string* error) {
  int* target = nullptr;
  if (name == "--sort") target = &options->sort_name;
  if (name == "--mode") target = &options->sort_mode;
  if (name == "--mode2") target = &options->sort_mode_2nd;
  if (name == "--media") target = &options->flag_media;
  if (target == nullptr) return false;
  NumberInto(args, name, kIntMin, kIntMax, target, error);
  return true;
}

bool GetOption(const std::string& name, Arguments* args, CliOptions* options, std::string* error) {
  if (name == "--range") {
    int64_t start = 0;
    const int64_t max = std::numeric_limits<int64_t>::max();
    if (args->Number(name, 0, max, &start, error)) options->range_start = start;
  } else if (name == "--stream") {
    int stream = 0;
    if (NumberInto(args, name, 0, kIntMax, &stream, error)) options->stream = stream;
  } else if (name == "-o") {
    args->Text(name, &options->output, error);
  } else {
    return false;
  }
  return true;
}

// --wait [SECONDS]: a number below the smallest record id that follows is
// the seconds, anything else is left for the command.
void WaitOption(Arguments* args, CliOptions* options, std::string* error) {
  options->wait_seconds = kDefaultThumbnailWaitSeconds;
  const std::string* next = args->Peek();
  if (next == nullptr || IsOption(*next)) return;
  const auto seconds = ParseInteger(*next, 0, kSmallestRecordId - 1);
  if (!seconds) return;
  args->Next();
  if (*seconds > kMaxThumbnailWaitSeconds) {
    *error = "--wait takes at most " + std::to_string(kMaxThumbnailWaitSeconds) + " seconds";
    return;
  }
  options->wait_seconds = static_cast<uint32_t>(*seconds);
}

// An option of the current command; false when `name` is not one.
bool CommandOption(const std::string& name, Arguments* args, CliOptions* options,
                   std::string* error) {
  if (options->command == CliCommand::kChannel) return ChannelOption(name, args, options, error);
  if (options->command == CliCommand::kThumb && name == "--wait") {
    WaitOption(args, options, error);
    return true;
  }
  if (options->command == CliCommand::kGet) return GetOption(name, args, options, error);
  if (IsThumbnailCommand(options->command)) {
    if (!IsThumbnailOption(options->command, name)) return false;
    std::string value;
    if (args->Text(name, &value, error)) SetThumbnailOption(name, value, options, error);
    return true;
  }
  const bool has_mode =
      options->command == CliCommand::kSearch || options->command == CliCommand::kGetDir;
  if (has_mode && name == "--mode") {
    NumberInto(args, name, kIntMin, kIntMax, &options->search_mode, error);
    return true;
  }
  return false;
}

// The positional arguments of the search commands: words, a path, a size.
bool SearchPositional(const std::string& value, CliOptions* options, int seen, std::string* error) {
  switch (options->command) {
    case CliCommand::kSearch:
      options->query += (seen == 1 ? "" : " ") + value;
      return true;
    case CliCommand::kGetDir:
      if (seen > 1) break;
      options->path = value;
      return true;
    case CliCommand::kFind:
      if (seen == 1) {
        options->path = value;
        return true;
      }
      if (seen == 2) {
        const auto size = ParseInteger(value, std::numeric_limits<int64_t>::min() + 1,
                                       std::numeric_limits<int64_t>::max());
        if (!size) {
          *error = "find needs a size in bytes (-1 any, -2 a folder), not \"" + value + "\"";
          return false;
        }
        options->find_size = *size;
        return true;
      }
      break;
    default:
      break;
  }
  *error = "unexpected argument \"" + value + "\"";
  return false;
}

bool IsSearchCommand(CliCommand command) {
  return command == CliCommand::kSearch || command == CliCommand::kFind ||
         command == CliCommand::kGetDir;
}

// What a command lacks when too few positional arguments came.
std::string MissingArgument(CliCommand command, int seen) {
  switch (command) {
    case CliCommand::kSetup:
    case CliCommand::kCmd:
      return "";
    case CliCommand::kChannel:
      return seen == 0 ? "channel needs a number" : "";
    case CliCommand::kGet:
      return seen == 0 ? "get needs a path" : "";
    case CliCommand::kSearch:
      return seen == 0 ? "search needs words" : "";
    case CliCommand::kGetDir:
      return seen == 0 ? "getdir needs a path" : "";
    case CliCommand::kFind:
      return seen < 2 ? "find needs a path and a size" : "";
    case CliCommand::kThumb:
    case CliCommand::kThumbPath:
    case CliCommand::kUpload:
      return ThumbnailMissingArgument(command, seen);
    case CliCommand::kSaveChannel:
    case CliCommand::kMarker:
      return "";
  }
  return "";
}

// The one positional argument of a command (channel number or path).
bool Positional(const std::string& value, CliOptions* options, int* seen, std::string* error) {
  ++*seen;
  if (IsSearchCommand(options->command)) return SearchPositional(value, options, *seen, error);
  if (IsThumbnailCommand(options->command)) {
    return ThumbnailPositional(value, *seen, options, error);
  }
  if (*seen > 1 || options->command == CliCommand::kSetup) {
    *error = "unexpected argument \"" + value + "\"";
    return false;
  }
  if (options->command == CliCommand::kGet) {
    options->path = value;
    return true;
  }
  const auto channel = ParseInteger(value, kIntMin, kIntMax);
  if (!channel) *error = "channel needs a number, not \"" + value + "\"";
  if (channel) options->channel = static_cast<int>(*channel);
  return channel.has_value();
}

// save-channel N [PATH...]: the paths as the player uploads them.
bool ParseSaveChannel(Arguments* args, CliOptions* options, std::string* error) {
  const auto channel = args->AtEnd() ? std::nullopt : ParseInteger(args->Next(), kIntMin, kIntMax);
  if (!channel) {
    *error = "save-channel needs a channel number";
    return false;
  }
  options->channel = static_cast<int>(*channel);
  options->items = args->Rest();
  for (const std::string& item : options->items) {
    if (item.find('"') != std::string::npos) *error = "a path cannot hold a double quote";
  }
  return error->empty();
}

// marker get ID | marker set ID SEGMENT_TEXT POINT_TEXT
bool ParseMarker(Arguments* args, CliOptions* options, std::string* error) {
  const std::vector<std::string> rest = args->Rest();
  if (rest.size() == 2 && rest[0] == "get") {
    options->command_name = "CM_LOAD_MARKER";
    options->fields = {rest[1]};
    return true;
  }
  if (rest.size() == 4 && rest[0] == "set") {
    options->command_name = "CM_SAVE_MARKER";
    options->fields = {rest[1], rest[2], rest[3]};
    return true;
  }
  *error = "marker needs \"get ID\" or \"set ID SEGMENT_TEXT POINT_TEXT\"";
  return false;
}

bool ParseCommandArguments(Arguments* args, CliOptions* options, std::string* error) {
  if (options->command == CliCommand::kSaveChannel) return ParseSaveChannel(args, options, error);
  if (options->command == CliCommand::kMarker) return ParseMarker(args, options, error);
  if (options->command == CliCommand::kCmd) {
    if (args->AtEnd()) {
      *error = "cmd needs a command name";
      return false;
    }
    options->command_name = args->Next();
    options->fields = args->Rest();
    if (options->fields.size() > 4) *error = "a command carries at most 4 fields";
    return error->empty();
  }
  int positionals = 0;
  while (!args->AtEnd()) {
    const std::string& argument = args->Next();
    if (IsOption(argument)) {
      if (!GlobalOption(argument, args, options, error) &&
          !CommandOption(argument, args, options, error)) {
        *error = "unknown option \"" + argument + "\"";
      }
      if (!error->empty()) return false;
      continue;
    }
    if (!Positional(argument, options, &positionals, error)) return false;
  }
  *error = MissingArgument(options->command, positionals);
  return error->empty();
}

std::optional<CliCommand> CommandByName(std::string_view name) {
  if (name == "setup") return CliCommand::kSetup;
  if (name == "channel") return CliCommand::kChannel;
  if (name == "cmd") return CliCommand::kCmd;
  if (name == "get") return CliCommand::kGet;
  if (name == "search") return CliCommand::kSearch;
  if (name == "find") return CliCommand::kFind;
  if (name == "getdir") return CliCommand::kGetDir;
  if (name == "thumb") return CliCommand::kThumb;
  if (name == "thumb-path") return CliCommand::kThumbPath;
  if (name == "upload") return CliCommand::kUpload;
  if (name == "save-channel") return CliCommand::kSaveChannel;
  if (name == "marker") return CliCommand::kMarker;
  return std::nullopt;
}

// ----- running -----

std::string DescribeResult(const ResultLine& result) {
  if (result.ok) return "#RET_OK()";
  return "#RET_ERR code " + std::to_string(result.code) + ": " + result.message;
}

std::string LastResult(const Reply& reply) {
  return reply.results.empty() ? "no result line" : DescribeResult(reply.results.back());
}

void PrintChunks(const Reply& reply, ReplyPrinter* printer, std::ostream& out) {
  for (const Chunk& chunk : reply.chunks) {
    for (const std::string& line : printer->Lines(chunk)) out << line << '\n';
  }
}

int ReplyExitCode(const Reply& reply, std::ostream& err) {
  if (!reply.complete()) {
    err << "error: " << reply.error << '\n';
    return kExitFailure;
  }
  return reply.LastOk() ? kExitOk : kExitRefused;
}

int RunSetup(const CliOptions& options, const HandshakeReply& handshake, std::ostream& out,
             std::ostream& err) {
  ReplyPrinter printer;
  PrintChunks(handshake.setup, &printer, out);
  if (handshake.password) PrintChunks(*handshake.password, &printer, out);
  if (!handshake.error.empty()) {
    err << "error: " << handshake.error << '\n';
    return kExitFailure;
  }
  if (handshake.password_requested && !options.password) {
    err << "note: the server asks for a password; give --password to log in\n";
  }
  return handshake.Last().LastOk() ? kExitOk : kExitRefused;
}

// Checks that the handshake admitted the session; an exit code when not.
std::optional<int> RequireAdmission(const CliOptions& options, const HandshakeReply& handshake,
                                    std::ostream& err) {
  if (!handshake.error.empty()) {
    err << "handshake failed: " << handshake.error << '\n';
    return kExitFailure;
  }
  if (!handshake.setup.LastOk()) {
    err << "handshake refused: " << LastResult(handshake.setup) << '\n';
    return kExitRefused;
  }
  if (handshake.password_requested && !options.password) {
    err << "the server asks for a password: give --password\n";
    return kExitFailure;
  }
  if (!handshake.Admitted()) {
    err << "password refused: " << LastResult(handshake.Last()) << '\n';
    return kExitRefused;
  }
  return std::nullopt;
}

int RunExchange(const Reply& reply, std::ostream& out, std::ostream& err) {
  ReplyPrinter printer;
  PrintChunks(reply, &printer, out);
  return ReplyExitCode(reply, err);
}

int RunGet(const CliOptions& options, const PlayerClient& client, const HandshakeReply& handshake,
           std::ostream& out, std::ostream& err) {
  if (!handshake.http_port) {
    err << "the server announced no HTTP port (#RET_USE_HTTP)\n";
    return kExitFailure;
  }
  const HttpGetRequest request{options.path, options.range_start, options.stream};
  const std::string output =
      options.output.empty() ? DefaultOutputName(options.path) : options.output;
  const HttpGetResult result =
      HttpGet(client.address(), *handshake.http_port, request, output, options.timeout_ms);
  if (!result.head.status_line.empty()) out << result.head.status_line << '\n';
  for (const auto& [name, value] : result.head.headers) out << name << ": " << value << '\n';
  if (!result.error.empty()) {
    err << "error: " << result.error << '\n';
    return kExitFailure;
  }
  const bool success = result.head.status >= 200 && result.head.status <= 299;
  if (success) out << "saved " << result.body_bytes << " bytes to " << output << '\n';
  const std::vector<std::string> problems = CheckHttpAnswer(result.head, request);
  for (const std::string& problem : problems) err << "wrong answer: " << problem << '\n';
  return success && problems.empty() ? kExitOk : kExitRefused;
}

SearchRun SearchRunFor(const CliOptions& options) {
  SearchRun run;
  run.poll_ms = options.poll_ms;
  run.fetch_command = "CM_SEARCH_GETPATH";
  if (options.command == CliCommand::kSearch) {
    run.start = {"CM_SEARCH_FILE", {options.query, std::to_string(options.search_mode)}};
  } else if (options.command == CliCommand::kFind) {
    run.start = {"CM_FIND_FILE", {options.path, std::to_string(options.find_size)}};
  } else {
    run.start = {"CM_GETDIR", {options.path, std::to_string(options.search_mode)}};
    run.fetch_command = "CM_SEARCH_GETDIR";
  }
  return run;
}

int RunThumbnail(const CliOptions& options, PlayerClient* client, std::ostream& out,
                 std::ostream& err) {
  std::string error;
  const auto packets = ThumbnailPackets(options, &error);
  if (!packets) {
    err << "error: " << error << '\n';
    return kExitFailure;
  }
  const Reply reply = client->ExchangePackets(*packets);
  const int code = RunExchange(reply, out, err);
  if (code == kExitOk && !SaveThumbnails(options, reply, out, err)) return kExitFailure;
  if (code != kExitOk || !options.wait_seconds || options.command != CliCommand::kThumb) {
    return code;
  }
  return WaitForThumbnails(options, reply, client, out, err);
}

int RunAdmitted(const CliOptions& options, PlayerClient* client, const HandshakeReply& handshake,
                std::ostream& out, std::ostream& err) {
  switch (options.command) {
    case CliCommand::kChannel:
      return RunExchange(client->ExchangeText(ChannelCommandText(options)), out, err);
    case CliCommand::kCmd:
    case CliCommand::kMarker:
      return RunExchange(client->ExchangeCommand({options.command_name, options.fields}), out, err);
    case CliCommand::kSaveChannel:
      return RunExchange(client->Exchange(SaveChannelChunks(options)), out, err);
    case CliCommand::kGet:
      return RunGet(options, *client, handshake, out, err);
    case CliCommand::kSearch:
    case CliCommand::kFind:
    case CliCommand::kGetDir:
      return RunSearch(client, SearchRunFor(options), out, err);
    case CliCommand::kThumb:
    case CliCommand::kThumbPath:
    case CliCommand::kUpload:
      return RunThumbnail(options, client, out, err);
    case CliCommand::kSetup:
      break;
  }
  return kExitFailure;
}

}  // namespace

CliParse ParseCommandLine(const std::vector<std::string>& arguments) {
  CliParse parse;
  CliOptions options;
  Arguments args(arguments);
  bool have_command = false;
  while (!args.AtEnd() && !have_command && parse.error.empty()) {
    const std::string& argument = args.Next();
    if (argument == "-h" || argument == "--help") {
      parse.help = true;
      return parse;
    }
    if (IsOption(argument)) {
      if (!GlobalOption(argument, &args, &options, &parse.error)) {
        parse.error = "unknown option \"" + argument + "\"";
      }
    } else if (options.host.empty()) {
      ParseEndpoint(argument, &options, &parse.error);
    } else if (const auto command = CommandByName(argument)) {
      options.command = *command;
      have_command = true;
    } else {
      parse.error = "unknown command \"" + argument + "\"";
    }
  }
  if (parse.error.empty() && !have_command) {
    parse.error = options.host.empty() ? "missing HOST" : "missing COMMAND";
  }
  if (parse.error.empty()) ParseCommandArguments(&args, &options, &parse.error);
  if (parse.error.empty()) parse.options = std::move(options);
  return parse;
}

std::string UsageText() {
  return "usage: velmorvr-player HOST[:PORT] [--password P] [--protocol N] [--copyright TEXT]\n"
         "                       [--timeout MS] COMMAND ...\n"
         "commands:\n"
         "  setup                       print every handshake reply and the result line\n"
         "  channel N [--sort K] [--mode M] [--mode2 M2] [--media MASK]\n"
         "                              list channel N (lines and decoded records)\n"
         "  cmd NAME [FIELDS...]        send one binary command (at most 4 fields, taken\n"
         "                              verbatim) and print its result slots\n"
         "  get PATH [--range START] [--stream N] [-o FILE]\n"
         "                              download a file over the announced HTTP port\n"
         "  search WORDS... [--mode M]  search the PC's search folders (M: 1 video, 2 audio,\n"
         "                              4 image, 8 chapter folders; default 1)\n"
         "  find PATH SIZE              find a moved file again (SIZE -1 any, -2 a folder)\n"
         "  getdir PATH [--mode M]      the folder browser: PATH or \"(Computer)\"\n"
         "                              (M 1 subfolders, 2 media tree; default 1)\n"
         "  thumb ID... [--kind K] [--flags F] [-o DIR] [--wait [SECONDS]]\n"
         "                              fetch record thumbnails (K 1, 2 with priority when\n"
         "                              F has bit 0, 4 without a request); saved as DIR/ID.jpg\n"
         "                              (DIR is made when missing); --wait: wait up to\n"
         "                              SECONDS (default 60) for the missing ones the server\n"
         "                              makes, then fetch them too (exit 1 if any is missing)\n"
         "  thumb-path PATH [-o FILE]   fetch a picture file by its path\n"
         "  upload ID FILE [--info TEXT]\n"
         "                              upload FILE as the record's thumbnail (TEXT: its info,\n"
         "                              such as \"<make>3\"; an empty FILE: the placeholder)\n"
         "  save-channel N [PATH[?<fs>SIZE]...]\n"
         "                              upload the favourites or search list of channel N\n"
         "  marker get ID               a record's markers (segment and point texts)\n"
         "  marker set ID SEGMENTS POINTS\n"
         "                              store them, e.g. \"<en.3>1,<a.3>100,<b.3>200,\" \"\"\n"
         "The search commands print one result text a line, progress on stderr.\n"
         "PORT defaults to 11922, --timeout to 10000 ms. Exit code: 0 when the last result\n"
         "line was #RET_OK(), 1 for #RET_ERR (or a refused download), 2 for usage or\n"
         "connection errors.\n";
}

std::vector<Chunk> SaveChannelChunks(const CliOptions& options) {
  std::vector<Chunk> chunks = {
      MakeTextChunk("#CMD_SAVE_CHANNEL(<ch>" + std::to_string(options.channel) + ")")};
  for (const std::string& item : options.items) {
    const ListItemArgument parsed = SplitListItemArgument(item);
    chunks.push_back(MakeTextChunk("#DAT_SAVE_CHANNEL(<fs>" + std::to_string(parsed.size) +
                                   ",<path>\"" + parsed.path + "\")"));
  }
  chunks.push_back(MakeTextChunk("#DAT_END(<no>" + std::to_string(options.items.size()) + ")"));
  return chunks;
}

ListItemArgument SplitListItemArgument(const std::string& item) {
  ListItemArgument parsed;
  const size_t question = item.find('?');
  parsed.path = item.substr(0, question);
  if (question != std::string::npos) {
    const std::optional<int64_t> size = FlatNumber(item.substr(question + 1), "<fs>");
    if (size) parsed.size = *size;
  }
  return parsed;
}

std::string ChannelCommandText(const CliOptions& options) {
  return "#CMD_GET_CHANNEL(<ch>" + std::to_string(options.channel) + ",<sort_name>" +
         std::to_string(options.sort_name) + ",<sort_mode>" + std::to_string(options.sort_mode) +
         ",<sort_mode_2nd>" + std::to_string(options.sort_mode_2nd) + ",<flag_media>" +
         std::to_string(options.flag_media) + ")";
}

std::string DefaultOutputName(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  return name.empty() ? "download" : std::string(name);
}

int RunCli(const CliOptions& options, std::ostream& out, std::ostream& err) {
  const std::string target = options.host + ":" + std::to_string(options.port);
  const auto address = ParseIpv4(options.host);
  if (!address) {
    err << "cannot connect to " << target << ": the host must be an IPv4 address or localhost\n";
    return kExitFailure;
  }
  PlayerClient client;
  client.set_timeout_ms(options.timeout_ms);
  std::string error;
  if (!client.Connect(*address, options.port, options.timeout_ms, &error)) {
    err << "cannot connect to " << target << ": " << error << '\n';
    return kExitFailure;
  }
  const HandshakeReply handshake =
      client.Handshake({options.protocol_ver, options.copyright, options.password});
  if (options.command == CliCommand::kSetup) return RunSetup(options, handshake, out, err);
  if (const auto refused = RequireAdmission(options, handshake, err)) return *refused;
  return RunAdmitted(options, &client, handshake, out, err);
}

}  // namespace velmor::player
