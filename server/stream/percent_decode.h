// The file path of a request target: percent-decoded UTF-8, checked once
// before it reaches the file system.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmor {

// Paths longer than this many UTF-16 characters after decoding are refused.
inline constexpr size_t kMaxRequestPathUnits = 291;

// Each "%" followed by two hexadecimal digits (either case) becomes that
// byte; a "%" without them and every other character are copied.
std::string PercentDecode(std::string_view encoded);

// The decoded path, or nothing when it is too long or holds a NUL byte
// ("/x/secret.txt%00.mp4" would pass the extension check and open another
// file).
std::optional<std::string> DecodeRequestPath(std::string_view encoded);

}  // namespace velmor
