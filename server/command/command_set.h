// The binary command set: "MSGE" chunks name a command ("CM_...") and carry
// up to four text fields; the handler answers with up to 32 result slots and
// a result (1 or 0). Adding a command is one table entry and one handler.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "command/binary_command.h"

namespace velmor {

struct CommandContext;

inline constexpr int kMaxResultSlots = 32;

struct CommandReply {
  struct Slot {
    int64_t value = 0;
    std::string text;
  };
  Slot slots[kMaxResultSlots];
  int count = 0;  // slots 0 to count - 1 are sent

  // Sets slot k and makes sure the count covers it; k outside 0-31 is
  // ignored.
  void Set(int k, int64_t value, std::string text = {});
};

// The request as the handlers read it: fields 1 to 4 as text, or as numbers
// the way the C library's decimal conversion reads them (0 for no digits).
struct CommandRequest {
  const BinaryCommand& command;

  const std::string& Text(int number) const { return command.Field(static_cast<size_t>(number)); }
  bool Has(int number) const { return static_cast<size_t>(number) <= command.fields.size(); }
  int Int(int number) const;
  int64_t Int64(int number) const;
};

using CommandHandler = int (*)(CommandContext& context, const CommandRequest& request,
                               CommandReply* reply);

struct CommandEntry {
  const char* name;
  CommandHandler handler;
};

// The handler of a command name (whole name, case-sensitive), or null.
CommandHandler FindCommand(std::string_view name);

// Runs the command and fills the reply; an unknown name gives result 0
// and no slots.
int RunCommand(CommandContext& context, const BinaryCommand& command, CommandReply* reply);

}  // namespace velmor
