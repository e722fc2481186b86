#include "library/get_dir_job.h"

#include <algorithm>

#include "core/paths.h"
#include "library/data_table_record.h"
#include "library/folder_entries.h"
#include "library/natural_order.h"

namespace velmor {
namespace {

enum FolderRecordType : int {
  kSubfolder = 0,
  kDrive = 1,
  kListPath = 2,
  kSpecial = 3,
  kCommand = 4
};
enum MediaRecordType : int { kMediaFolder = 0, kMediaFile = 5 };
// A folder whose record has this state bit carries it as its flag.
constexpr int64_t kFolderMark = 8;
constexpr int kWholeMediaMask = kMaskVideo | kMaskAudio | kMaskImage;

// The media type a folder's own files give it: video before audio before
// image, as the mask allows.
int FolderMediaType(const std::vector<platform::FileInfo>& entries, const MediaSets& media,
                    int mask) {
  bool audio = false;
  bool image = false;
  for (const platform::FileInfo& entry : entries) {
    if (entry.is_folder) continue;
    const MediaType type = media.TypeOf(entry.name);
    if (type == kMediaVideo && (mask & kMaskVideo) != 0) return kMediaVideo;
    audio |= type == kMediaAudio && (mask & kMaskAudio) != 0;
    image |= type == kMediaImage && (mask & kMaskImage) != 0;
  }
  if (audio) return kMediaAudio;
  return image ? kMediaImage : kMediaNone;
}

const CExt& SetOf(int media_type, const MediaSets& media) {
  if (media_type == kMediaAudio) return media.audio;
  if (media_type == kMediaImage) return media.image;
  return media.video;
}

std::string LastComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && IsSeparator(trimmed.back())) trimmed.pop_back();
  return trimmed.substr(NamePosition(trimmed));
}

}  // namespace

std::string FolderRecordText(int flag, int type, const std::string& dir_name,
                             const std::string& disp_name) {
  return "<flag>" + std::to_string(flag) + "<type>" + std::to_string(type) + "<dir_name>\"" +
         dir_name + "\"<disp_name>\"" + disp_name + "\")";
}

std::string MediaRecordText(int flag, int type, int64_t id, int media_type,
                            const std::string& full_path, int64_t file_size, int chapter_num) {
  return "<flag>" + std::to_string(flag) + "<type>" + std::to_string(type) + "<id_int>" +
         std::to_string(id) + "<media_type>" + std::to_string(media_type) + "<full_path>\"" +
         full_path + "\"<file_size>" + std::to_string(file_size) + "<chapter_num>" +
         std::to_string(chapter_num) + ")";
}

std::string DriveDisplayName(const platform::Drive& drive) {
  std::string name = drive.root;
  if (name.size() > 1 && IsSeparator(name.back())) name.pop_back();
  std::string label = drive.label;
  // The label is only shown; a quote would end the field early.
  label.erase(std::remove(label.begin(), label.end(), '"'), label.end());
  return label.empty() ? name : name + "[" + label + "]";
}

void GetDirJob::Start(const SearchSettings& settings, std::string path, int mode) {
  mode_ = mode & 0xF;
  Prepare(settings, std::move(path));
}

int GetDirJob::Run() {
  if (input() == kComputer) return ListComputer();
  if (mode_ == kModeMediaTree) return ListMediaTree(input(), 0);
  return ListSubfolders();
}

int GetDirJob::ListComputer() {
  ignore_rules_.clear();
  PcFolderList list;
  if (!ReadPcFolderList(settings().pc_folder_list, &list)) return 1;
  ignore_rules_ = std::move(list.ignore_rules);
  for (const PcFolderEntry& entry : list.entries) {
    switch (entry.kind) {
      case PcFolderEntry::kPath:
        AppendRecord(FolderRecordText(1, kListPath, entry.text, entry.text), entry.text,
                     kSizeFolder);
        break;
      case PcFolderEntry::kCommand:
        AppendRecord(FolderRecordText(0, kCommand, entry.text, entry.text), entry.text,
                     kSizeFolder);
        break;
      case PcFolderEntry::kSpecial:
        AppendRecord(FolderRecordText(1, kSpecial, entry.text, entry.text), entry.text,
                     kSizeFolder);
        break;
      case PcFolderEntry::kDrives:
        for (const platform::Drive& drive : platform::ListDrives()) {
          if (!IsQuotable(drive.root)) continue;
          AppendRecord(FolderRecordText(1, kDrive, drive.root, DriveDisplayName(drive)), drive.root,
                       kSizeFolder);
        }
        break;
    }
  }
  return 1;
}

// Mode 1 leaves chapter folders (and what is inside them) out.
bool GetDirJob::Passes(const std::string& path, const platform::FileInfo& folder) const {
  if (!folder.is_folder || IsIgnoredFolder(ignore_rules_, folder)) return false;
  if (mode_ != kModeSubfoldersWithoutChapters || table() == nullptr) return true;
  return table()->Lock().FindChapterFolder(path) == nullptr;
}

int GetDirJob::ProbeSubfolders(const std::string& folder) {
  if (!EnterFolder(folder)) return -1;
  for (const platform::FileInfo& entry : ReadFolderNames(folder)) {
    if (Passes(JoinPath(folder, entry.name), entry)) return 1;
  }
  return 0;
}

// The subfolders gathered so far stay in the list when the job is
// cancelled.
int GetDirJob::ListSubfolders() {
  const std::string& path = input();
  if (!EnterFolder(path)) return 0;
  std::vector<S_PATH> found;
  int result = 1;
  for (const platform::FileInfo& entry : ReadFolderNames(path)) {
    const std::string subfolder = JoinPath(path, entry.name);
    if (!IsQuotable(entry.name) || !Passes(subfolder, entry)) continue;
    const int flag = ProbeSubfolders(subfolder);
    if (flag < 0) {
      result = 0;
      break;
    }
    found.push_back(
        {FolderRecordText(flag, kSubfolder, entry.name, entry.name), entry.name, kSizeFolder});
  }
  SortByNaturalName(&found, [](const S_PATH& entry) -> const std::string& { return entry.name; });
  for (S_PATH& entry : found)
    AppendRecord(std::move(entry.text), std::move(entry.name), entry.value);
  return result;
}

// Depth first: a folder's subfolders (in name order) before the folder's
// own entry and files.
int GetDirJob::ListMediaTree(const std::string& folder, int depth) {
  if (!EnterFolder(folder)) return 0;
  const MediaSets media_sets = media();
  // Names tell the browser the folders and the media type; of the files it
  // sends only media files, with their sizes.
  const std::vector<platform::FileInfo> entries = ReadFolderMediaDetails(folder, media_sets);
  std::vector<platform::FileInfo> subfolders;
  for (const platform::FileInfo& entry : entries) {
    if (entry.is_folder) subfolders.push_back(entry);
  }
  SortByNaturalName(&subfolders, [](const platform::FileInfo& entry) -> const std::string& {
    return entry.name;
  });
  if (depth < kMaxTreeDepth) {
    for (const platform::FileInfo& subfolder : subfolders) {
      if (ListMediaTree(JoinPath(folder, subfolder.name), depth + 1) == 0) return 0;
    }
  }
  const int media_type = FolderMediaType(entries, media_sets, kWholeMediaMask);
  if (media_type == kMediaNone || !IsQuotable(folder)) return 1;
  const CExt& wanted = SetOf(media_type, media_sets);
  std::vector<platform::FileInfo> files;
  for (const platform::FileInfo& entry : entries) {
    if (entry.is_folder || !IsQuotable(entry.name)) continue;
    if (wanted.Contains(SplitPath(entry.name).extension)) files.push_back(entry);
  }
  SortByNaturalName(
      &files, [](const platform::FileInfo& entry) -> const std::string& { return entry.name; });
  if (!files.empty()) AppendMediaFolder(folder, media_type, files);
  return 1;
}

void GetDirJob::AppendMediaFolder(const std::string& folder, int media_type,
                                  const std::vector<platform::FileInfo>& files) {
  int64_t flags = 0;
  const int64_t folder_id = Lookup(folder, {}, kSizeFolder, &flags);
  const int folder_flag = (flags & kFolderMark) != 0 ? static_cast<int>(kFolderMark) : 0;
  AppendRecord(MediaRecordText(folder_flag, kMediaFolder, folder_id, media_type, folder,
                               kSizeFolder, static_cast<int>(files.size())),
               LastComponent(folder), kSizeFolder);
  int position = 0;
  for (const platform::FileInfo& file : files) {
    const int64_t id = Lookup(folder, file.name, file.size, &flags);
    AppendRecord(MediaRecordText(0, kMediaFile, id, media_type, JoinPath(folder, file.name),
                                 file.size, position++),
                 file.name, file.size);
  }
}

int64_t GetDirJob::Lookup(const std::string& folder, const std::string& name, int64_t size,
                          int64_t* flags) const {
  *flags = 0;
  if (table() == nullptr) return 0;
  DataTable::Locked locked = table()->Lock();
  const S_DATATABLE* record =
      name.empty() ? locked.Find(folder, size) : locked.FindByFolderName(folder, name, size);
  if (record == nullptr) return locked.NewTemporaryId();
  *flags = record->flags;
  return record->id_int;
}

}  // namespace velmor
