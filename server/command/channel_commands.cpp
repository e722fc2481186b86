#include "command/channel_commands.h"

#include "base/tagged_fields.h"
#include "base/utf.h"
#include "command/command_context.h"
#include "command/listing_writer.h"
#include "core/paths.h"
#include "core/settings.h"
#include "library/channel_list.h"
#include "library/channel_root.h"
#include "library/data_table_record.h"
#include "library/folder_listing.h"
#include "library/list_file.h"

namespace velmor {
namespace {

// The list bound to a channel, or null when the channel is neither the
// search nor the favourites list's.
CChannelList* ListOfChannel(CommandContext& context, int channel) {
  for (CChannelList* list : {context.library.search_results(), context.library.favourites()}) {
    if (list != nullptr && list->channel() == channel) return list;
  }
  return nullptr;
}

enum class UploadItem { kItem, kEnd, kOther };

UploadItem KindOf(const Chunk& chunk, std::string* text) {
  if (chunk.code != kCodeStrg) return UploadItem::kOther;
  *text = ChunkText(chunk);
  if (text->find("#DAT_SAVE_CHANNEL") != std::string::npos) return UploadItem::kItem;
  if (text->find("#DAT_END") != std::string::npos) return UploadItem::kEnd;
  return UploadItem::kOther;
}

// Which list a list channel's file is: the favourites (1), the search
// results (2), or a playlist (0).
enum ListKind { kPlaylist = 0, kFavouritesList = 1, kSearchList = 2 };

ListingRequest ReadListingRequest(const std::string& text) {
  ListingRequest request;
  FindNumber(text, "<sort_name>", &request.sort_name);
  FindNumber(text, "<sort_mode>", &request.sort_mode);
  FindNumber(text, "<sort_mode_2nd>", &request.sort_mode_2nd);
  FindNumber(text, "<flag_media>", &request.media_mask);
  return request;
}

// The size of a list line without a stored one: -2 for a folder, else the
// file's size (-1 when it cannot be read).
int64_t SizeOnDisk(const std::string& path) {
  const std::string host_path = ToHostSeparators(path);
  if (PathKind(host_path) == kPathFolder) return kSizeFolder;
  return GetFileSize64(host_path);
}

S_LIST_RECORD ListItemRecord(CommandContext& context, const ListPathLine& line, int64_t size,
                             ListKind kind) {
  S_LIST_RECORD record;
  const size_t slash = line.path.find_last_of('/');
  record.folder = slash == std::string::npos ? std::string() : line.path.substr(0, slash);
  record.name = slash == std::string::npos ? line.path : line.path.substr(slash + 1);
  record.file_size = size;
  const MediaSets media = context.library.media_sets();
  uint64_t flags = 0;
  if (DataTable* table = context.library.data_table()) {
    DataTable::Locked locked = table->Lock();
    S_DATATABLE* found = locked.Find(line.path, size);
    // Every favourite keeps a permanent id.
    if (found == nullptr && kind == kFavouritesList) found = locked.CreateRecord(line.path, size);
    if (found != nullptr) {
      flags = static_cast<uint64_t>(found->flags);
      record.id_int = found->id_int;
    }
  }
  uint32_t bits = 0;
  if (size == -1) bits = kItemNotFound;
  if (size == kSizeFolder) bits = kItemFolder;
  record.word = ListItemWord(flags, bits, media.TypeOf(line.path), kKindFile);
  return record;
}

int ListChannelFile(CommandContext& context, const std::string& path, ListKind kind,
                    FolderListing* folders, ListingWriter* records) {
  records->Begin();
  bool update = false;
  const int result = ReadListFileLines(ToHostSeparators(path), [&](const std::string& text) {
    if (kind == kPlaylist) {
      // Playlists list their folder lines with every subfolder.
      if (PathKind(ToHostSeparators(text)) != kPathFolder) return 1;
      records->Flush();
      const int listed = folders->ListFolder(text, 0, true);
      records->Begin();
      return listed;
    }
    const ListPathLine line = ParseListPathLine(text);
    int64_t size = line.size;
    if (!line.has_size) {
      size = SizeOnDisk(line.path);
      update = true;
    }
    records->Append(ListItemRecord(context, line, size, kind));
    return 1;
  });
  records->Flush();
  if (update) context.session.QueueText("#RET_UPDATE()");
  return result;
}

}  // namespace

int CommandGetChannel(CommandContext& context, const std::string& text) {
  int channel = -1;
  if (!FindNumber(text, "<ch>", &channel) || channel < 0) return 0;
  const ListingRequest request = ReadListingRequest(text);
  const S_CONFIG config = context.settings.Copy();
  ChannelRoot root;
  if (!ResolveChannelRoot(config.channel, channel, &root)) return 0;
  context.session.QueueText("#RET_ROOT(<path>\"" + root.path + "\")");
  PacketWriter* out = context.session.send_buffer();
  if (out == nullptr) return 0;
  ListingWriter records(out);
  const MediaSets media = context.library.media_sets();
  FolderListing folders(&records, context.library.data_table(), media, request, config);
  int result = 0;
  if (root.kind == kPathFolder) {
    result = folders.ListFolder(root.path, 0, root.recursive);
  } else if (root.kind == kPathFile) {
    ListKind kind = kPlaylist;
    if (CChannelList* list = ListOfChannel(context, channel)) {
      list->RememberFileTime();
      kind = list->kind() == CChannelList::kFavourites ? kFavouritesList : kSearchList;
    }
    result = ListChannelFile(context, root.path, kind, &folders, &records);
  }
  if (result != 1) return 0;
  context.session.QueueText("#RET_END(<no>" + std::to_string(records.count()) + ")");
  return 1;
}

int CommandSaveChannel(CommandContext& context, const std::string& text) {
  int channel = 0;
  if (!FindNumber(text, "<ch>", &channel)) return 0;
  CChannelList* list = ListOfChannel(context, channel);
  if (list == nullptr) return 0;
  list->Clear();
  if (list->ChangedOnDisk()) {
    // Items edited on disk since the player fetched the list come first.
    list->Read();
    context.session.QueueText("#RET_RELOAD(<ch>" + std::to_string(channel) + ")");
  }
  int received = 0;
  Chunk chunk;
  std::string item;
  for (;;) {
    // An upload cut off by the end of the session writes nothing.
    if (!context.session.TakeFollowingChunk(&chunk)) return 0;
    const UploadItem kind = KindOf(chunk, &item);
    if (kind == UploadItem::kOther) return 0;
    if (kind == UploadItem::kEnd) break;
    ++received;
    int64_t size = CChannelList::kSizeUnknown;
    FindNumber(item, "<fs>", &size);
    std::string path;
    if (FindString(item, "<path>", &path)) list->Add(path, size);
  }
  int announced = 0;
  if (FindNumber(item, "<no>", &announced) && announced != received) {
    context.status.Post(kStatusChannelSaveMismatch, kTextError, kSaveChannelMismatch);
    return 0;
  }
  return list->Write() ? 1 : 0;
}

}  // namespace velmor
