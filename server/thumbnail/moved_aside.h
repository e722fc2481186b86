// Old files that the converter has dealt with are moved aside into a folder
// beside them: "converted", "duplication" or "null".
#pragma once

#include <string>
#include <string_view>

namespace velmor {

inline constexpr char kConvertedFolder[] = "converted";
inline constexpr char kDuplicationFolder[] = "duplication";
inline constexpr char kNullFolder[] = "null";

// Moves the file into the named folder in its own folder (made when
// missing). A file of the same name there is kept: the moved one takes the
// first free "name (2).ext", "name (3).ext" ... False when the file stays
// where it is.
bool MoveAside(const std::string& file, std::string_view folder_name);

}  // namespace velmor
