#include "filter_list.h"

namespace tarnwick {

bool FilterList::Add(const std::string& name) {
  if (names_.size() == kMaxNames) {
    names_.back() = "Error More Data";
    return false;
  }
  names_.push_back(name.substr(0, kMaxNameBytes));
  return true;
}

void FilterList::Clear() { names_.clear(); }

const char* FilterList::Name(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return names_[static_cast<size_t>(index)].c_str();
}

}  // namespace tarnwick
