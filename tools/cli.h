// The command-line player: its arguments and the run of one command against
// a server, writing what it received to `out` and problems to `err`.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "wire.h"

namespace velmor::player {

// Exit codes: the last result line was "#RET_OK()", it was "#RET_ERR(...)"
// (or the download was refused), usage or connection errors.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitFailure = 2;

enum class CliCommand {
  kSetup,
  kChannel,
  kCmd,
  kGet,
  kSearch,
  kFind,
  kGetDir,
  kThumb,
  kThumbPath,
  kUpload,
  kSaveChannel,
  kMarker,
};

struct CliOptions {
  std::string host;
  uint16_t port = 11922;
  std::optional<std::string> password;
  int protocol_ver = 220;
  std::string copyright = "Copyright (C) VelmorVR";
  uint32_t timeout_ms = 10000;
  CliCommand command = CliCommand::kSetup;

  // channel N [--sort K --mode M --mode2 M2 --media MASK]
  int channel = 0;
  int sort_name = 0;
  int sort_mode = 1;
  int sort_mode_2nd = 1;
  int flag_media = 1;

  // cmd NAME [FIELDS...]
  std::string command_name;
  std::vector<std::string> fields;

  // save-channel N [PATH[?<fs>SIZE]...]   (the channel number is `channel`)
  std::vector<std::string> items;
  // marker get ID | marker set ID SEGMENT_TEXT POINT_TEXT  (as command_name
  // CM_LOAD_MARKER / CM_SAVE_MARKER with its fields)

  // get PATH [--range START] [--stream N] [-o FILE]
  std::string path;
  std::optional<int64_t> range_start;
  std::optional<int> stream;
  std::string output;  // empty: the path's file name

  // search WORDS... [--mode M]   (the words joined by blanks)
  // find PATH SIZE               (SIZE -1 any, -2 a folder)
  // getdir PATH [--mode M]       (PATH may be "(Computer)"; uses `path`)
  std::string query;
  int search_mode = 1;
  int64_t find_size = -1;
  uint32_t poll_ms = 100;

  // thumb ID... [--kind K] [--flags F] [-o DIR] [--wait [SECONDS]]
  //                                                (-o uses `output`)
  // thumb-path PATH [-o FILE]                      (uses `path` and `output`)
  // upload ID FILE [--info TEXT]
  std::vector<int64_t> record_ids;
  int thumbnail_kind = 1;
  int thumbnail_flags = 0;
  std::string upload_file;
  std::string info_text;
  // --wait: the thumbnails the server is asked to make are waited for this
  // long in the same session, then fetched again.
  std::optional<uint32_t> wait_seconds;
};

// Record ids are (date x 100 + device) x 100,000,000 + counter; listings
// give items without a record a smaller, temporary id.
inline constexpr int64_t kSmallestRecordId = 100000000;

inline constexpr uint32_t kDefaultThumbnailWaitSeconds = 60;
inline constexpr uint32_t kMaxThumbnailWaitSeconds = 86400;

struct CliParse {
  std::optional<CliOptions> options;
  bool help = false;
  std::string error;
};

CliParse ParseCommandLine(const std::vector<std::string>& arguments);
std::string UsageText();

// "#CMD_GET_CHANNEL(<ch>%d,<sort_name>%d,<sort_mode>%d,<sort_mode_2nd>%d,<flag_media>%d)"
std::string ChannelCommandText(const CliOptions& options);

// A save-channel item "PATH" or "PATH?<fs>SIZE" (size -10, unknown, when
// absent), and the chunks of the whole upload.
struct ListItemArgument {
  std::string path;
  int64_t size = -10;
};
ListItemArgument SplitListItemArgument(const std::string& item);
std::vector<Chunk> SaveChannelChunks(const CliOptions& options);
// The last component of a path ("/" or "\" separated); "download" when empty.
std::string DefaultOutputName(std::string_view path);

int RunCli(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velmor::player
