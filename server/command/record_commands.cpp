#include "command/record_commands.h"

#include <climits>

#include "command/command_context.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "library/data_table.h"
#include "library/data_table_record.h"
#include "library/folder_listing.h"
#include "library/list_file.h"
#include "library/markers.h"
#include "library/tag_text.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

constexpr char kMarkKey[] = "<mark>";

// The paths of fields 1 to 4, up to the first empty one.
int PathFieldCount(const CommandRequest& request) {
  int count = 0;
  while (count < 4 && request.Has(count + 1) && !request.Text(count + 1).empty()) ++count;
  return count;
}

int64_t SizeOnDisk(const std::string& path) {
  const std::string host_path = ToHostSeparators(path);
  if (PathKind(host_path) == kPathFolder) return kSizeFolder;
  return GetFileSize64(host_path);
}

}  // namespace

int GroupNumberOfName(std::string_view name, std::string_view group_text) {
  if (group_text.empty()) return -1;
  const size_t at = name.find(group_text);
  if (at == std::string_view::npos) return -1;
  size_t pos = at + group_text.size();
  if (pos >= name.size() || name[pos] < '0' || name[pos] > '9') return -1;
  long long number = 0;
  for (; pos < name.size() && name[pos] >= '0' && name[pos] <= '9'; ++pos) {
    number = std::min<long long>(number * 10 + (name[pos] - '0'), INT_MAX);
  }
  return static_cast<int>(number);
}

int CommandSaveMarker(CommandContext& context, const CommandRequest& request, CommandReply*) {
  const MarkerSet markers = MarkerSet::FromWire(request.Text(2), request.Text(3));
  DataTable* table = context.library.data_table();
  bool stored = false;
  if (table != nullptr) {
    DataTable::Locked locked = table->Lock();
    if (S_DATATABLE* record = locked.FindById(request.Int64(1))) {
      const std::string value = markers.StoredText();
      if (markers.Any()) {
        stored = SetTagValue(&record->tags, kMarkKey, &value);
        if (stored) record->flags |= kFlagHasMarkers;
      } else {
        stored = SetTagValue(&record->tags, kMarkKey, nullptr);
        if (stored) record->flags &= ~kFlagHasMarkers;
      }
      if (stored) locked.Touch(record);
    }
  }
  if (!stored) context.status.Post(kStatusFatal, kTextError, "SaveMarker()");
  return stored ? 1 : 0;
}

int CommandLoadMarker(CommandContext& context, const CommandRequest& request, CommandReply* reply) {
  reply->Set(0, 0);
  reply->Set(1, 0);
  DataTable* table = context.library.data_table();
  if (table == nullptr) return 1;
  DataTable::Locked locked = table->Lock();
  const S_DATATABLE* record = locked.FindById(request.Int64(1));
  std::string stored;
  if (record == nullptr || (record->flags & kFlagHasMarkers) == 0 ||
      GetTagValue(record->tags, kMarkKey, &stored) < 0) {
    return 1;
  }
  const MarkerSet markers = MarkerSet::FromStored(stored);
  reply->Set(0, 1, markers.SegmentWireText());
  reply->Set(1, 1, markers.PointWireText());
  return 1;
}

int CommandGetFileData(CommandContext& context, const CommandRequest& request,
                       CommandReply* reply) {
  const int count = PathFieldCount(request);
  const MediaSets media = context.library.media_sets();
  const S_CONFIG config = context.settings.Copy();
  for (int k = 0; k < count; ++k) {
    const std::string path = request.Text(k + 1);
    platform::FileInfo info;
    if (!platform::GetFileInfo(ToHostSeparators(path), &info)) {
      reply->Set(k, 0);
      continue;
    }
    int media_type = media.TypeOf(path);
    if (media_type == kMediaNone && info.is_folder) {
      FolderListing folders(nullptr, nullptr, media, ListingRequest{}, config);
      media_type = folders.FolderMediaType(WithForwardSlashes(path), 7, true);
    }
    bool chapter = false;
    if (DataTable* table = context.library.data_table()) {
      chapter = table->Lock().FindChapterFolder(WithForwardSlashes(path)) != nullptr;
    }
    const std::string text =
        "<date>" + std::to_string(LocalDateOf(info.write_time)) + "<file_size>" +
        std::to_string(info.is_folder ? 0 : info.size) + "<group_no>" +
        std::to_string(GroupNumberOfName(SplitPath(path).file_name, config.pcFileGroup)) +
        "<chapter>" + std::to_string(chapter ? 1 : 0) + "<system_folder>" +
        std::to_string(info.is_folder ? 1 : 0) + "<media_type>" + std::to_string(media_type);
    reply->Set(k, 1, text);
  }
  return 1;
}

int CommandGetFileId(CommandContext& context, const CommandRequest& request, CommandReply* reply) {
  DataTable* table = context.library.data_table();
  if (table == nullptr) return 0;
  const int count = PathFieldCount(request);
  for (int k = 0; k < count; ++k) {
    const ListPathLine entry = ParseListPathLine(request.Text(k + 1));
    const int64_t size = entry.has_size ? entry.size : SizeOnDisk(entry.path);
    DataTable::Locked locked = table->Lock();
    S_DATATABLE* record = locked.Find(entry.path, size);
    if (record == nullptr) record = locked.CreateRecord(entry.path, size);
    reply->Set(k, record != nullptr ? record->id_int : -1);
  }
  return 1;
}

int CommandSetChapterFolder(CommandContext& context, const CommandRequest& request, CommandReply*) {
  DataTable* table = context.library.data_table();
  if (table == nullptr) return 0;
  DataTable::Locked locked = table->Lock();
  S_DATATABLE* record = locked.FindById(request.Int64(1));
  if (record == nullptr) return 0;
  const bool on = request.Int(2) == 1;
  if (on) {
    record->flags |= kFlagChapterFolder;
  } else {
    record->flags &= ~kFlagChapterFolder;
  }
  locked.Touch(record);
  locked.SetChapterFlagByName(*record, on);
  return 1;
}

int CommandBitsetState(CommandContext& context, const CommandRequest& request, CommandReply*) {
  DataTable* table = context.library.data_table();
  if (table == nullptr) return 0;
  DataTable::Locked locked = table->Lock();
  S_DATATABLE* record = locked.FindById(request.Int64(1));
  if (record == nullptr) return 0;
  const int64_t bits = request.Int64(2);
  record->flags = (request.Int(3) == 1 ? bits : 0) | (record->flags & ~bits);
  locked.Touch(record);
  return 1;
}

int CommandGetChapterPath(CommandContext& context, const CommandRequest& request,
                          CommandReply* reply) {
  const std::string& path = request.Text(1);
  if (path.empty()) return 0;
  std::string relative;
  bool inside = false;
  if (DataTable* table = context.library.data_table()) {
    inside = table->Lock().FindChapterFolder(WithForwardSlashes(path), &relative) != nullptr;
  }
  reply->Set(0, inside ? 1 : 0, inside ? relative : std::string());
  return 1;
}

}  // namespace velmor
