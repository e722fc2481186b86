#include "command/search_commands.h"

#include <algorithm>
#include <string>

#include "command/command_context.h"
#include "command/listing_writer.h"
#include "core/settings.h"
#include "library/data_table_record.h"
#include "library/search_manager.h"

namespace velmor {
namespace {

SearchSettings CurrentSettings(const CommandContext& context) {
  return SearchSettings::From(context.library.video_extensions(),
                              context.library.audio_extensions(),
                              context.library.image_extensions(), context.settings.Copy());
}

// "<flag>%d<id_int>%I64d<path>\"%s\"<file_size>%I64d" of a found path, with
// the item word and id of its record (or a temporary id).
std::string FoundPathText(CommandContext& context, const S_PATH& result) {
  const std::string& path = result.text;
  const int64_t size = result.value;
  int64_t state_flags = 0;
  int64_t id = 0;
  if (DataTable* table = context.library.data_table()) {
    DataTable::Locked locked = table->Lock();
    if (const S_DATATABLE* record = locked.FindByPath(path, size)) {
      state_flags = record->flags;
      id = record->id_int;
    } else {
      id = locked.NewTemporaryId();
    }
  }
  const MediaType media = context.library.media_sets().TypeOf(path);
  const uint32_t word =
      ListItemWord(static_cast<uint64_t>(state_flags),
                   size == kSizeFolder ? uint32_t{kItemFolder} : 0u, media, kKindFile);
  return "<flag>" + std::to_string(static_cast<int32_t>(word)) + "<id_int>" + std::to_string(id) +
         "<path>\"" + path + "\"<file_size>" + std::to_string(size);
}

}  // namespace

bool ReadResultRange(const CommandRequest& request, size_t* start, size_t* count) {
  if (!request.Has(1) || !request.Has(2)) return false;
  const int first = request.Int(1);
  const int wanted = request.Int(2);
  if (first < 0) return false;
  *start = static_cast<size_t>(first);
  *count = wanted <= 0 ? 0 : static_cast<size_t>(std::min(wanted, kMaxResultSlots));
  return true;
}

int CommandSearchFile(CommandContext& context, const CommandRequest& request, CommandReply*) {
  if (!request.Has(2)) return 0;
  SearchManager* manager = context.library.CreateSearchManager();
  if (manager == nullptr) return 0;
  return manager->StartSearchFile(CurrentSettings(context), request.Text(1), request.Int(2)) ? 1
                                                                                             : 0;
}

int CommandFindFile(CommandContext& context, const CommandRequest& request, CommandReply*) {
  if (!request.Has(2)) return 0;
  SearchManager* manager = context.library.CreateSearchManager();
  if (manager == nullptr) return 0;
  return manager->StartFindFile(CurrentSettings(context), request.Text(1), request.Int64(2)) ? 1
                                                                                             : 0;
}

// An absent or empty mode is mode 1.
int CommandGetDir(CommandContext& context, const CommandRequest& request, CommandReply*) {
  if (!request.Has(1)) return 0;
  SearchManager* manager = context.library.CreateSearchManager();
  if (manager == nullptr) return 0;
  const int mode = request.Text(2).empty() ? 1 : request.Int(2);
  return manager->StartGetDir(CurrentSettings(context), request.Text(1), mode) ? 1 : 0;
}

int CommandSearchIsFinished(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  const SearchManager* manager = context.library.search_manager();
  if (manager == nullptr) return 0;
  reply->Set(0, manager->IsFinished() ? 1 : 0);
  return 1;
}

int CommandSearchRequestCancel(CommandContext& context, const CommandRequest&, CommandReply*) {
  SearchManager* manager = context.library.search_manager();
  if (manager == nullptr) return 0;
  manager->RequestCancel();
  return 1;
}

int CommandSearchGetNum(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  SearchManager* manager = context.library.search_manager();
  if (manager == nullptr) return 0;
  reply->Set(0, static_cast<int64_t>(manager->results().size()));
  return 1;
}

int CommandSearchGetPath(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply) {
  SearchManager* manager = context.library.search_manager();
  size_t start = 0;
  size_t count = 0;
  if (manager == nullptr || !ReadResultRange(request, &start, &count)) return 0;
  int slot = 0;
  for (const S_PATH& result : manager->results().Range(start, count)) {
    reply->Set(slot++, 0, FoundPathText(context, result));
  }
  return 1;
}

int CommandSearchGetDir(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply) {
  SearchManager* manager = context.library.search_manager();
  size_t start = 0;
  size_t count = 0;
  if (manager == nullptr || !ReadResultRange(request, &start, &count)) return 0;
  int slot = 0;
  for (const S_PATH& result : manager->results().Range(start, count)) {
    reply->Set(slot++, 0, result.text);
  }
  return 1;
}

int CommandSearchGetProgress(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  const SearchManager* manager = context.library.search_manager();
  if (manager == nullptr) return 0;
  reply->Set(0, manager->IsFinished() ? 1 : 0, manager->Progress());
  return 1;
}

}  // namespace velmor
