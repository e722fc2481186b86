#include "thumbnail_cli.h"

#include <limits>

#include "number_text.h"
#include "platform/file_system.h"
#include "thumbnails.h"

namespace velmor::player {
namespace {

bool NumberOption(const std::string& name, const std::string& value, int64_t min, int64_t max,
                  int* target, std::string* error) {
  const auto number = ParseInteger(value, min, max);
  if (!number) {
    *error = name + " needs a number from " + std::to_string(min) + " to " + std::to_string(max) +
             ", not \"" + value + "\"";
    return false;
  }
  *target = static_cast<int>(*number);
  return true;
}

bool RecordId(const std::string& value, int64_t* id, std::string* error) {
  const auto number = ParseInteger(value, std::numeric_limits<int64_t>::min() + 1,
                                   std::numeric_limits<int64_t>::max());
  if (!number) {
    *error = "a record id is a number, not \"" + value + "\"";
    return false;
  }
  *id = *number;
  return true;
}

// Makes the folder and any missing parents. A drive ("C:") or the root
// counts as there.
bool MakeFolders(const std::string& folder) {
  if (folder.empty() || platform::GetPathType(folder) == platform::PathType::kFolder) return true;
  const size_t separator = folder.find_last_of("/\\");
  const std::string parent = separator == std::string::npos ? "" : folder.substr(0, separator);
  const bool parent_is_drive = parent.size() == 2 && parent[1] == ':';
  if (!parent_is_drive && !MakeFolders(parent)) return false;
  return platform::CreateFolder(folder) ||
         platform::GetPathType(folder) == platform::PathType::kFolder;
}

bool Save(const std::string& path, const std::string& bytes, std::ostream& out, std::ostream& err) {
  if (!platform::WriteFileAtomically(path, bytes)) {
    err << "error: cannot write " << path << '\n';
    return false;
  }
  out << "saved " << bytes.size() << " bytes to " << path << '\n';
  return true;
}

}  // namespace

bool IsThumbnailCommand(CliCommand command) {
  return command == CliCommand::kThumb || command == CliCommand::kThumbPath ||
         command == CliCommand::kUpload;
}

bool IsThumbnailOption(CliCommand command, const std::string& name) {
  switch (command) {
    case CliCommand::kThumb:
      return name == "--kind" || name == "--flags" || name == "-o";
    case CliCommand::kThumbPath:
      return name == "-o";
    case CliCommand::kUpload:
      return name == "--info";
    default:
      return false;
  }
}

bool SetThumbnailOption(const std::string& name, const std::string& value, CliOptions* options,
                        std::string* error) {
  if (name == "--kind") return NumberOption(name, value, 0, 65535, &options->thumbnail_kind, error);
  if (name == "--flags") {
    return NumberOption(name, value, 0, 65535, &options->thumbnail_flags, error);
  }
  if (name == "-o") options->output = value;
  if (name == "--info") options->info_text = value;
  return true;
}

bool ThumbnailPositional(const std::string& value, int seen, CliOptions* options,
                         std::string* error) {
  switch (options->command) {
    case CliCommand::kThumb: {
      int64_t id = 0;
      if (!RecordId(value, &id, error)) return false;
      options->record_ids.push_back(id);
      return true;
    }
    case CliCommand::kThumbPath:
      if (seen > 1) break;
      options->path = value;
      return true;
    case CliCommand::kUpload:
      if (seen == 1) {
        int64_t id = 0;
        if (!RecordId(value, &id, error)) return false;
        options->record_ids = {id};
        return true;
      }
      if (seen > 2) break;
      options->upload_file = value;
      return true;
    default:
      break;
  }
  *error = "unexpected argument \"" + value + "\"";
  return false;
}

std::string ThumbnailMissingArgument(CliCommand command, int seen) {
  if (command == CliCommand::kThumb && seen == 0) return "thumb needs record ids";
  if (command == CliCommand::kThumbPath && seen == 0) return "thumb-path needs a path";
  if (command == CliCommand::kUpload && seen < 2) return "upload needs a record id and a file";
  return "";
}

std::optional<std::vector<std::vector<Chunk>>> ThumbnailPackets(const CliOptions& options,
                                                                std::string* error) {
  std::optional<Chunk> chunk;
  switch (options.command) {
    case CliCommand::kThumb: {
      std::vector<ThumbnailItem> items;
      for (const int64_t id : options.record_ids) {
        items.push_back({static_cast<uint16_t>(options.thumbnail_flags), id});
      }
      chunk = MakeThumbnailFetchChunk(static_cast<uint16_t>(options.thumbnail_kind), items, error);
      break;
    }
    case CliCommand::kThumbPath:
      chunk = MakeThumbnailPathChunk(static_cast<uint16_t>(options.thumbnail_flags), options.path,
                                     error);
      break;
    case CliCommand::kUpload: {
      std::string data;
      if (!platform::ReadWholeFile(options.upload_file, &data)) {
        *error = "cannot read " + options.upload_file;
        return std::nullopt;
      }
      return MakeUploadPackets(options.record_ids.at(0), options.info_text, data, error);
    }
    default:
      *error = "not a thumbnail command";
      return std::nullopt;
  }
  if (!chunk) return std::nullopt;
  return std::vector<std::vector<Chunk>>{{*chunk}};
}

bool SaveThumbnails(const CliOptions& options, const Reply& reply, std::ostream& out,
                    std::ostream& err) {
  if (options.command == CliCommand::kUpload) return true;
  if (options.command == CliCommand::kThumb && options.output.empty()) return true;
  std::string error;
  const auto thumbnails = CollectThumbnails(reply.chunks, &error);
  if (!thumbnails) {
    err << "error: " << error << '\n';
    return false;
  }
  if (options.command == CliCommand::kThumb && !MakeFolders(options.output)) {
    err << "error: cannot make the folder " << options.output << '\n';
    return false;
  }
  bool saved = true;
  for (const FetchedThumbnail& thumbnail : *thumbnails) {
    if (thumbnail.answer.status != kThumbnailLoaded) continue;
    std::string path;
    if (options.command == CliCommand::kThumbPath) {
      path = options.output.empty() ? DefaultOutputName(options.path) : options.output;
    } else if (thumbnail.answer.index < options.record_ids.size()) {
      path = options.output + "/" + std::to_string(options.record_ids[thumbnail.answer.index]) +
             ".jpg";
    } else {
      err << "error: an answer for item " << thumbnail.answer.index << " that was not asked for\n";
      saved = false;
      continue;
    }
    saved = Save(path, thumbnail.image, out, err) && saved;
  }
  return saved;
}

}  // namespace velmor::player
