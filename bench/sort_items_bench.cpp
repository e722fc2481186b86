// Times the listing sort of large folders: the sort by date, the file-name
// grouping (with no group marks, and with one group per file, where every
// item looks for its group among all the groups before it) and the sort by
// name in natural order.
//   build/bin/bench_sort_items [ITEMS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "library/sort_items.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

std::vector<velmor::S_SORTW> Folder(int count, bool group_per_file) {
  std::mt19937 random(2022);
  std::vector<velmor::S_SORTW> items;
  for (int i = 0; i < count; ++i) {
    velmor::S_SORTW item;
    item.name = group_per_file ? "Show " + std::to_string(random() % 1000000) + "#" +
                                     std::to_string(i % 5) + ".mp4"
                               : "第" + std::to_string(random() % 100) + "話 Movie " +
                                     std::to_string(random() % 1000) + ".mp4";
    item.date_time = 20220101000000 + random() % 1000000;
    item.date = item.date_time / 1000000;
    items.push_back(item);
  }
  return items;
}

void Run(int count, bool group_per_file) {
  std::vector<velmor::S_SORTW> items = Folder(count, group_per_file);
  const Clock::time_point start = Clock::now();
  velmor::SortItems(&items, velmor::kSortByDateTime, 1, 1);
  const Clock::time_point sorted = Clock::now();
  velmor::GroupItems(&items, "#", true);
  const Clock::time_point grouped = Clock::now();
  velmor::SortItems(&items, velmor::kSortByName, 1, 1);
  const Clock::time_point by_name = Clock::now();
  std::printf("%6d items, %-15s sort by date %7.1f ms, group %7.1f ms, sort by name %7.1f ms\n",
              count,
              group_per_file ? "many groups:" : "no group marks:", Milliseconds(start, sorted),
              Milliseconds(sorted, grouped), Milliseconds(grouped, by_name));
}

}  // namespace

int main(int argc, char** argv) {
  const int largest = argc > 1 ? std::atoi(argv[1]) : 50000;
  for (int count = 1000; count < largest; count *= 10) {
    Run(count, false);
    Run(count, true);
  }
  Run(largest, false);
  Run(largest, true);
  return 0;
}
