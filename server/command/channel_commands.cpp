#include "command/channel_commands.h"

#include "command/command_server.h"
#include "command/tagged_fields.h"
#include "core/utf.h"
#include "library/channel_list.h"

namespace velmor {
namespace {

// The list bound to a channel, or null when the channel is neither the
// search nor the favourites list's.
CChannelList* ListOfChannel(CommandServer& server, int channel) {
  for (CChannelList* list : {server.search_results(), server.favourites()}) {
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

}  // namespace

int CommandSaveChannel(CommandServer& server, const std::string& text) {
  int channel = 0;
  if (!FindNumber(text, "<ch>", &channel)) return 0;
  CChannelList* list = ListOfChannel(server, channel);
  if (list == nullptr) return 0;
  list->Clear();
  if (list->ChangedOnDisk()) {
    // Items edited on disk since the player fetched the list come first.
    list->Read();
    server.QueueText("#RET_RELOAD(<ch>" + std::to_string(channel) + ")");
  }
  int received = 0;
  Chunk chunk;
  std::string item;
  for (;;) {
    // An upload cut off by the end of the session writes nothing.
    if (!server.TakeFollowingChunk(&chunk)) return 0;
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
    server.PostStatusEvent(kStatusChannelSaveMismatch, kTextError, kSaveChannelMismatch);
    return 0;
  }
  return list->Write() ? 1 : 0;
}

}  // namespace velmor
