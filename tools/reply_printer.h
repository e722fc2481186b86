// Turns received chunks into the lines the command-line player prints:
// texts as they are, result slots, listing records and thumbnail answers
// decoded, and a reason for every chunk that does not decode.
#pragma once

#include <string>
#include <vector>

#include "wire.h"

namespace velmor::player {

class ReplyPrinter {
 public:
  // The lines for one chunk. Listing records are numbered over the whole
  // listing, since their parent field counts that way.
  std::vector<std::string> Lines(const Chunk& chunk);

 private:
  int next_record_ = 0;
};

// A chunk code fit to print: non-printable bytes as \xNN.
std::string PrintableCode(const std::string& code);

}  // namespace velmor::player
