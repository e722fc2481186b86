// The ledger of acknowledged changes and the check after a kill.
#include "soak.h"

namespace velmor::soak {

void Ledger::Record(const std::string& item, const std::string& value, int64_t durable_by,
                    const std::string& baseline) {
  std::vector<Entry>& entries = items_[item];
  if (entries.empty()) entries.push_back({baseline, 0});
  if (entries.back().value == value && entries.back().durable_by <= durable_by) return;
  entries.push_back({value, durable_by});
}

void Ledger::MarkSaved(const std::string& prefix, int64_t at) {
  for (auto& [item, entries] : items_) {
    if (item.compare(0, prefix.size(), prefix) != 0) continue;
    for (Entry& entry : entries) entry.durable_by = std::min(entry.durable_by, at);
  }
}

std::optional<std::string> Ledger::Current(const std::string& item) const {
  const auto found = items_.find(item);
  if (found == items_.end() || found->second.back().value == kAny) return std::nullopt;
  return found->second.back().value;
}

std::vector<std::string> Ledger::Items() const {
  std::vector<std::string> items;
  for (const auto& [item, entries] : items_) items.push_back(item);
  return items;
}

// The server may hold the last change that had to be durable at the kill or
// any later one (a save may have caught those too), nothing older.
Ledger::Outcome Ledger::Check(int64_t kill_at, const std::map<std::string, std::string>& observed) {
  Outcome outcome;
  for (auto& [item, entries] : items_) {
    size_t must = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].durable_by <= kill_at) must = i;
    }
    const auto seen = observed.find(item);
    const std::string value = seen == observed.end() ? "(not seen)" : seen->second;
    bool acceptable = false;
    for (size_t i = must; i < entries.size(); ++i) {
      acceptable = acceptable || entries[i].value == kAny || entries[i].value == value;
    }
    if (must > 0) ++outcome.checked;
    if (!acceptable) {
      outcome.lost.push_back(item + " holds \"" + value + "\", not \"" + entries[must].value +
                             "\" (due by " + std::to_string(entries[must].durable_by) +
                             " ms, killed at " + std::to_string(kill_at) + " ms)");
    }
    entries = {{value, 0}};
  }
  return outcome;
}

}  // namespace velmor::soak
