// Short pieces of one job run side by side on the machine's cores: loading
// a large data table parses parts of its file and sorts its indexes at
// once. For work that ends by itself within the call; long-running threads
// are WorkerThread's.
#pragma once

#include <cstddef>
#include <functional>
#include <span>

namespace velmor {

// How many pieces are worth running at once here: the cores, at most 4.
size_t ParallelWidth();

// Runs every task and returns when all have ended: the first on the calling
// thread, each other one on a thread of its own (or on the calling thread
// too when no thread can be started).
void RunTogether(std::span<const std::function<void()>> tasks);

}  // namespace velmor
