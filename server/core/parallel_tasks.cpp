#include "core/parallel_tasks.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace velmor {

size_t ParallelWidth() {
  constexpr size_t kMostPieces = 4;
  return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, kMostPieces);
}

void RunTogether(std::span<const std::function<void()>> tasks) {
  std::vector<std::thread> threads;
  std::vector<const std::function<void()>*> inline_tasks;
  for (size_t i = 1; i < tasks.size(); ++i) {
    try {
      threads.emplace_back(tasks[i]);
    } catch (const std::system_error&) {
      inline_tasks.push_back(&tasks[i]);
    }
  }
  if (!tasks.empty()) tasks[0]();
  for (const std::function<void()>* task : inline_tasks) (*task)();
  for (std::thread& thread : threads) thread.join();
}

}  // namespace velmor
