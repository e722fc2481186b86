#include "library/channel_root.h"

#include "core/config.h"
#include "core/paths.h"
#include "library/list_file.h"
#include "platform/file_system.h"

namespace velmor {

bool ResolveChannelRoot(const ChannelTable& channels, int channel, ChannelRoot* root) {
  if (channel < 0 || channel >= kChannelCount) return false;
  const S_CONFIG_CH& entry = channels[channel];
  root->type = entry.iType;
  root->recursive = entry.iType != kChannelPcFolder;
  const std::string& path = entry.pcPath;
  if (path == "(Computer)" || path == "(DeviceVide)") return false;
  if (path == "(PCVideo)") {
    root->path = WithForwardSlashes(platform::UserVideosFolder());
    root->kind = kPathFolder;
    return true;
  }
  const std::string host_path = ToHostSeparators(path);
  root->kind = PathKind(host_path);
  if (root->kind == kPathFolder || root->kind == kPathFile) {
    root->path = WithForwardSlashes(host_path);
    return true;
  }
  if (entry.iType == kChannelPcFolder) return false;
  const std::string beside = JoinPath(ProgramFolder(), host_path);
  root->kind = PathKind(beside);
  root->path = WithForwardSlashes(beside);
  return root->kind != kPathAbsent;
}

}  // namespace velmor
