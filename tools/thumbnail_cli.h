// The thumbnail commands of the command-line player:
//   thumb ID... [--kind K] [--flags F] [-o DIR]   fetch record thumbnails
//   thumb-path PATH [-o FILE]                      fetch a picture by path
//   upload ID FILE [--info TEXT]                   upload FILE as a thumbnail
// Parsing of their arguments, the packets they send and the pictures they
// save; cli.cpp runs them like the other commands.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli.h"
#include "player_client.h"

namespace velmor::player {

bool IsThumbnailCommand(CliCommand command);
// Whether `name` is an option (with a value) of the thumbnail command.
bool IsThumbnailOption(CliCommand command, const std::string& name);
bool SetThumbnailOption(const std::string& name, const std::string& value, CliOptions* options,
                        std::string* error);
// The seen-th positional argument (counted from 1).
bool ThumbnailPositional(const std::string& value, int seen, CliOptions* options,
                         std::string* error);
// What the command lacks after `seen` positional arguments; empty when
// nothing.
std::string ThumbnailMissingArgument(CliCommand command, int seen);

// The packets the command sends; the upload reads its file here.
std::optional<std::vector<std::vector<Chunk>>> ThumbnailPackets(const CliOptions& options,
                                                                std::string* error);
// Saves the fetched pictures where the options say: "thumb" with -o into
// DIR/ID.jpg, "thumb-path" into -o FILE or the path's file name. False
// (with the reason on err) when the answers do not add up or a file cannot
// be written.
bool SaveThumbnails(const CliOptions& options, const Reply& reply, std::ostream& out,
                    std::ostream& err);

}  // namespace velmor::player
