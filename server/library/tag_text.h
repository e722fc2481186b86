// The nested tag text stored with each data table record (8-bit text): a run
// of elements, each a key in angle brackets followed directly by its value in
// angle brackets, e.g. "<mark><t0>10,20<p1>5><thum><ver>3<make>1>". A value
// may hold further brackets; it ends at its matching '>'.
//
// Both functions read the text as elements at depth 0 (depth: '<' +1,
// '>' -1), so a key is only recognised at the top level, never inside a value
// and never as another element's value. Damaged texts:
// - characters at depth 0 outside any element, a stray '>' among them, are
//   skipped (and dropped by SetTagValue);
// - a key not directly followed by '<' has no value: GetTagValue looks on
//   for a later element with the key, SetTagValue drops it (or gives it the
//   new value when its key matches);
// - an element cut by the end of the text (unbalanced '<') ends the text:
//   GetTagValue gives -1 for it, SetTagValue drops it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmor {

// The text is rebuilt in a work copy of 528 bytes with its terminating zero.
inline constexpr size_t kTagTextMaxSize = 527;

// The value of the first top-level element whose key (given with its
// brackets, e.g. "<thum>") matches exactly: everything inside the value's
// outer brackets. Returns its length, or -1 when there is no such element
// or the text ends inside its value. `value` may be null.
int GetTagValue(std::string_view text, std::string_view key, std::string* value);

// Rebuilds the text element by element: every top-level element with the key
// gets the value, or is removed when `value` is null; when none has the key
// and a value is given, the element is appended. False, with the text left
// as it was, when the key is not one bracketed group ("<name>"), when the
// value's brackets do not balance (it would break the text's structure), or
// when the result would exceed max_size bytes.
bool SetTagValue(std::string* text, std::string_view key, const std::string* value,
                 size_t max_size = kTagTextMaxSize);

}  // namespace velmor
