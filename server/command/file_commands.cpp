#include "command/file_commands.h"

#include "command/command_context.h"
#include "core/paths.h"
#include "core/server_log.h"
#include "library/data_table.h"
#include "library/data_table_record.h"
#include "library/list_file.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

std::string Quoted(std::string_view name, std::string_view value) {
  return std::string(name) + "=\"" + std::string(value) + "\"";
}

void Log(CommandContext& context, std::string_view tag, const std::string& fields) {
  context.log.WriteLine(ServerLog::Tagged(tag, fields));
}

// A chapter folder moved onto the name of another chapter folder would make
// the two one (chapter folders are known by their names).
bool CollidesWithChapterFolder(CommandContext& context, const std::string& from,
                               const std::string& to) {
  DataTable* table = context.library.data_table();
  if (table == nullptr) return false;
  DataTable::Locked locked = table->Lock();
  const S_DATATABLE* moved = locked.Find(WithForwardSlashes(from), kSizeFolder);
  if (moved == nullptr || (moved->flags & kFlagChapterFolder) == 0) return false;
  const S_DATATABLE* target = locked.FindChapterFolder(WithForwardSlashes(to));
  return target != nullptr && target != moved;
}

void RecordMoved(CommandContext& context, int64_t id, const std::string& to,
                 const std::string& from) {
  if (DataTable* table = context.library.data_table()) {
    table->Lock().UpdatePathAfterMove(id, WithForwardSlashes(to), WithForwardSlashes(from));
  }
}

}  // namespace

int CommandPlay(CommandContext& context, const CommandRequest& request, CommandReply*) {
  const std::string& path = request.Text(1);
  const bool no_check = request.Int(2) == 1;
  const bool log = request.Int(3) == 1;
  if (!no_check && (!IsAbsoluteFilePath(path) || PathKind(path) != kPathFile)) {
    Log(context, "PLAY_FILE:ERROR", Quoted("path", path));
    return 0;
  }
  if (log) Log(context, "PLAY_FILE", Quoted("path", path));
  return 1;
}

int CommandIsFindPath(CommandContext&, const CommandRequest& request, CommandReply* reply) {
  reply->Set(0, PathKind(request.Text(1)));
  return 1;
}

int CommandMakeDir(CommandContext& context, const CommandRequest& request, CommandReply*) {
  const std::string& folder = request.Text(1);
  // Only absolute folders: a relative one would land wherever the server
  // happens to run.
  if (platform::IsAbsolutePath(folder) && EnsureFolder(folder)) {
    Log(context, "MAKE_DIR", Quoted("dir", folder));
    return 1;
  }
  Log(context, "ERROR:MAKE_DIR", Quoted("msg", "***") + ", " + Quoted("dir", folder));
  return 0;
}

int CommandMoveFile(CommandContext& context, const CommandRequest& request, CommandReply*) {
  const std::string& to = request.Text(1);
  const std::string& from = request.Text(2);
  const int64_t id = request.Int64(3);
  const char* message = nullptr;
  if (!SameRoot(to, from) || !SameExtension(to, from)) {
    message = kMoveDriveOrExtension;
  } else if (CollidesWithChapterFolder(context, from, to)) {
    message = kMoveChapterCollision;
  } else {
    if (IsAbsoluteFilePath(from) && PathKind(from) == kPathFile &&
        !EnsureFolder(SplitPath(to).folder)) {
      return 0;
    }
    if (platform::IsAbsolutePath(to) && platform::MovePath(from, to)) {
      RecordMoved(context, id, to, from);
      Log(context, "MOVE_FILE", Quoted("to", to) + ", " + Quoted("from", from));
      return 1;
    }
    message = kMoveFailed;
  }
  Log(context, "ERROR:MOVE_FILE",
      Quoted("msg", message) + ", " + Quoted("to", to) + ", " + Quoted("from", from));
  return 0;
}

int CommandCopyTimestamp(CommandContext&, const CommandRequest& request, CommandReply*) {
  platform::FileInfo target;
  platform::FileInfo source;
  if (!platform::GetFileInfo(request.Text(1), &target) ||
      !platform::GetFileInfo(request.Text(2), &source)) {
    return 0;
  }
  // POSIX cannot set a creation time: there only the access and write
  // times are copied.
  const platform::FileTimes times{source.creation_time, source.access_time, source.write_time};
  return platform::SetFileTimes(request.Text(1), times) ? 1 : 0;
}

}  // namespace velmor
