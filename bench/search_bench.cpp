// Times the search jobs on a generated media tree (FOLDERS folders of 50
// files each, in a temporary folder): the word search over the tree, the
// re-finding of a file in the last search target, the media tree listing,
// and the word list's save and load with 10,000 pairs.
//   build/bin/bench_search [FOLDERS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/find_file_job.h"
#include "library/get_dir_job.h"
#include "library/list_file.h"
#include "library/search_file_job.h"
#include "library/word_list.h"
#include "platform/file_system.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void RemoveTree(const std::string& path) {
  if (velmor::platform::GetPathType(path) == velmor::platform::PathType::kFolder) {
    std::vector<velmor::platform::FileInfo> entries;
    velmor::platform::ListFolder(path, &entries);
    for (const auto& entry : entries) RemoveTree(path + "/" + entry.name);
    velmor::platform::RemoveFolder(path);
  } else {
    velmor::platform::DeleteFile(path);
  }
}

// FOLDERS folders under root/shows, two levels deep, 50 files each: 40
// videos, 5 songs, 5 other files.
void MakeTree(const std::string& root, int folders) {
  for (int f = 0; f < folders; ++f) {
    const std::string folder =
        root + "/shows/group " + std::to_string(f / 20) + "/Season " + std::to_string(f);
    velmor::EnsureFolder(folder);
    for (int i = 0; i < 50; ++i) {
      const char* extension = i < 40 ? ".mp4" : i < 45 ? ".mp3" : ".txt";
      velmor::platform::WriteFileAtomically(
          folder + "/Episode-" + std::to_string(f) + " Part " + std::to_string(i) + extension, "x");
    }
  }
}

template <class Job, class StartFn>
double Time(Job* job, StartFn start) {
  start(job);
  const Clock::time_point begin = Clock::now();
  job->Execute();
  return Milliseconds(begin, Clock::now());
}

}  // namespace

int main(int argc, char** argv) {
  const int folders = argc > 1 ? std::atoi(argv[1]) : 400;
  const std::string root = velmor::WithForwardSlashes(velmor::platform::TemporaryFolder()) +
                           "/velmor-search-bench-" + std::to_string(std::rand());
  velmor::EnsureFolder(root);
  velmor::SetProgramFolder(root);
  MakeTree(root, folders);
  velmor::platform::WriteFileAtomically(root + "/targets.vrl", root + "/shows\r\n");

  velmor::SearchSettings settings;
  settings.video.Parse("mp4");
  settings.audio.Parse("mp3");
  settings.image.Parse("jpg");
  settings.search_targets = root + "/targets.vrl";
  velmor::DataTable table;
  table.Open({1, root + "/data.txt", root + "/thumbnails"});
  velmor::SearchResults results;
  const int files = folders * 50;

  velmor::SearchFileJob search(&table, &results);
  const double search_ms =
      Time(&search, [&](velmor::SearchFileJob* job) { job->Start(settings, "part 7", 1 | 2 | 8); });
  std::printf("word search:   %6d files in %4d folders %8.1f ms (%zu results)\n", files, folders,
              search_ms, results.size());

  results.Clear();
  velmor::FindFileJob find(&table, &results);
  const std::string last = "Episode-" + std::to_string(folders - 1) + " Part 3.mp4";
  const double find_ms = Time(
      &find, [&](velmor::FindFileJob* job) { job->Start(settings, root + "/gone/" + last, 1); });
  std::printf("find file:     last of %6d files      %8.1f ms (%zu result)\n", files, find_ms,
              results.size());

  results.Clear();
  velmor::GetDirJob tree(&table, &results);
  const double tree_ms =
      Time(&tree, [&](velmor::GetDirJob* job) { job->Start(settings, root + "/shows", 2); });
  std::printf("media tree:    %6d files               %8.1f ms (%zu records)\n", files, tree_ms,
              results.size());

  velmor::WordList words;
  words.SetFile(root + "/WordList.txt");
  for (int i = 0; i < 10000; ++i) {
    words.Add("id " + std::to_string(i % 500), "word number " + std::to_string(i));
  }
  const Clock::time_point save_start = Clock::now();
  words.Save();
  const Clock::time_point saved = Clock::now();
  velmor::WordList loaded;
  loaded.SetFile(root + "/WordList.txt");
  loaded.Load();
  const Clock::time_point load_end = Clock::now();
  std::printf("word list:     10000 pairs: save %8.1f ms, load %8.1f ms (%zu pairs)\n",
              Milliseconds(save_start, saved), Milliseconds(saved, load_end),
              loaded.words().size());
  RemoveTree(root);
  return 0;
}
