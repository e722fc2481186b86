// Commands on the PC's files: play check, path kinds, folders, moves and
// time stamps. Each answers as the command set expects (command_set.h).
#pragma once

#include "command/command_set.h"

namespace velmor {

int CommandPlay(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandIsFindPath(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandMakeDir(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandMoveFile(CommandContext& context, const CommandRequest& request, CommandReply* reply);
int CommandCopyTimestamp(CommandContext& context, const CommandRequest& request,
                         CommandReply* reply);

// Log messages of a refused move.
inline constexpr char kMoveDriveOrExtension[] = "ドライブまたは拡張子が異なる";
inline constexpr char kMoveChapterCollision[] = "チャプタフォルダー重複";
inline constexpr char kMoveFailed[] = "同じファイルが存在する、アクセス権が無い等";

}  // namespace velmor
