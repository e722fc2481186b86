// The thumbnail side of the command set: the "THUM" fetch and the "MKTH"
// upload chunks, and the request commands of the thumbnail manager.
#pragma once

#include "command/command_set.h"
#include "command/packet_reader.h"

namespace velmor {

struct CommandContext;

// Answers each item with an "RTDT" chunk and, when there is one, its image
// in "RTDA" pieces (64 KiB below protocol 220, 1 MiB from it). Result 0 for
// a payload shorter than its counts.
int HandleThumbnailFetch(CommandContext& context, const Chunk& chunk);

// Collects the announced bytes from the "DATA" chunks that follow, also in
// later packets, and stores them as the record's thumbnail. Result 0, with
// nothing stored, when the session ends first, another chunk comes between,
// or the "DATA" chunks bring more than announced.
int HandleThumbnailUpload(CommandContext& context, const Chunk& chunk);

// CM_MAKE_THUMBNAIL_REQUEST: up to four record ids, each whose thumbnail
// file is missing gets a request; the first empty field or id below the
// record id range ends the list.
int CommandMakeThumbnailRequest(CommandContext& context, const CommandRequest& request,
                                CommandReply* reply);
// CM_GET_THUMBNAIL_REQUEST_NUM: slot 0 holds the number of waiting requests.
int CommandGetThumbnailRequestNum(CommandContext& context, const CommandRequest& request,
                                  CommandReply* reply);
// CM_DEL_THUMBNAIL: record id and the record's current path.
int CommandDelThumbnail(CommandContext& context, const CommandRequest& request,
                        CommandReply* reply);

}  // namespace velmor
