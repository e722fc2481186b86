#include "command/command_set.h"

#include <iterator>

#include "base/decimal_text.h"
#include "command/file_commands.h"
#include "command/record_commands.h"
#include "command/search_commands.h"
#include "command/session_commands.h"
#include "command/thumbnail_commands.h"
#include "command/word_list_commands.h"
#include "core/config.h"

namespace velmor {
namespace {

// Every command the player can send, by name.
constexpr CommandEntry kCommands[] = {
    {"CM_PLAY", &CommandPlay},
    {"CM_IS_FIND_PATH", &CommandIsFindPath},
    {"CM_MAKE_DIR", &CommandMakeDir},
    {"CM_MOVE_FILE", &CommandMoveFile},
    {"CM_COPYTIMESTAMP", &CommandCopyTimestamp},
    {"CM_SET_CHANNEL_TYPE", &CommandSetChannelType},
    {"CM_GET_CHANNEL_TYPE", &CommandGetChannelType},
    {"CM_SET_FAVORITE", &CommandSetFavorite},
    {"CM_GET_MARKER_LIST", &CommandGetMarkerList},
    {"CM_LIVE_TIME", &CommandLiveTime},
    {"CM_SET_MOUSE_ENABLE", &CommandSetMouseEnable},
    {"CM_GET_MOUSE_ENABLE", &CommandGetMouseEnable},
    {"CM_INI_WRITE_INT64", &CommandIniWriteInt64},
    {"CM_INI_READ_INT64", &CommandIniReadInt64},
    {"CM_INI_WRITE_STRING", &CommandIniWriteString},
    {"CM_INI_READ_STRING", &CommandIniReadString},
    {"CM_FIND_FILE", &CommandFindFile},
    {"CM_SEARCH_FILE", &CommandSearchFile},
    {"CM_GETDIR", &CommandGetDir},
    {"CM_SEARCH_ISFINISHED", &CommandSearchIsFinished},
    {"CM_SEARCH_REQUESTCANCEL", &CommandSearchRequestCancel},
    {"CM_SEARCH_GETNUM", &CommandSearchGetNum},
    {"CM_SEARCH_GETPATH", &CommandSearchGetPath},
    {"CM_SEARCH_GETDIR", &CommandSearchGetDir},
    {"CM_SEARCH_GETPROGRESS", &CommandSearchGetProgress},
    {"CM_CLIENT_LOG", &CommandClientLog},
    {"CM_WORDLIST_GETNUM", &CommandWordListGetNum},
    {"CM_WORDLIST_GETITEMN", &CommandWordListGetItemN},
    {"CM_WORDLIST_ADD", &CommandWordListAdd},
    {"CM_WORDLIST_DEL", &CommandWordListDel},
    {"CM_WORDLIST_SAVE", &CommandWordListSave},
    {"CM_WORDLIST_LOAD", &CommandWordListLoad},
    {"CM_WORDLIST_ISUPDATE", &CommandWordListIsUpdate},
    {"CM_GET_HTTP_STREAM", &CommandGetHttpStream},
    {"CM_SAVE_MARKER", &CommandSaveMarker},
    {"CM_LOAD_MARKER", &CommandLoadMarker},
    {"CM_GET_FILE_DATA", &CommandGetFileData},
    {"CM_GET_FILE_ID", &CommandGetFileId},
    {"CM_SET_CHAPTER_FOLDER", &CommandSetChapterFolder},
    {"CM_DATATABLE_BITSET_STATE", &CommandBitsetState},
    {"CM_GET_CHAPTER_PATH", &CommandGetChapterPath},
    {"CM_MAKE_THUMBNAIL_REQUEST", &CommandMakeThumbnailRequest},
    {"CM_GET_THUMBNAIL_REQUEST_NUM", &CommandGetThumbnailRequestNum},
    {"CM_DEL_THUMBNAIL", &CommandDelThumbnail},
};

}  // namespace

void CommandReply::Set(int k, int64_t value, std::string text) {
  if (k < 0 || k >= kMaxResultSlots) return;
  slots[k].value = value;
  slots[k].text = std::move(text);
  if (count < k + 1) count = k + 1;
}

int CommandRequest::Int(int number) const {
  int value = 0;
  ParseDecimalInt(Text(number), &value);
  return value;
}

int64_t CommandRequest::Int64(int number) const {
  long long value = 0;
  ParseDecimalInt64(Text(number), &value);
  return value;
}

CommandHandler FindCommand(std::string_view name) {
  for (const CommandEntry& entry : kCommands) {
    if (name == entry.name) return entry.handler;
  }
  return nullptr;
}

int RunCommand(CommandContext& context, const BinaryCommand& command, CommandReply* reply) {
  const CommandHandler handler = FindCommand(command.name);
  if (handler == nullptr) return 0;
  return handler(context, CommandRequest{command}, reply);
}

}  // namespace velmor
