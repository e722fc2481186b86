// Whole numbers typed on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmor::player {

// Decimal digits (at most 19) with an optional leading '-', within
// [min, max]; nothing for anything else.
std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max);

}  // namespace velmor::player
