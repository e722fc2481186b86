// A program started by a test, its output read into lines as it comes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/clock.h"

namespace velmor::test {

class ProgramOutput {
 public:
  bool Start(const std::vector<std::string>& argv) { return child_.Start(argv); }

  // Reads output until a line starting with the prefix arrives (that line
  // is then used up); false when the time runs out or the program ends
  // first.
  bool WaitForLine(const std::string& prefix, uint32_t timeout_ms) {
    const uint32_t start = platform::TickCount();
    for (;;) {
      for (; checked_ < lines_.size(); ++checked_) {
        if (lines_[checked_].rfind(prefix, 0) == 0) {
          ++checked_;
          return true;
        }
      }
      const int32_t left =
          static_cast<int32_t>(timeout_ms) - platform::TickDiff(platform::TickCount(), start);
      if (left <= 0) return false;
      if (!ReadSome(std::min<uint32_t>(static_cast<uint32_t>(left), 1000)) && !child_.IsRunning()) {
        return false;
      }
    }
  }

  // Asks the program to stop; its exit code once it ended.
  int Stop(uint32_t wait_ms) {
    EXPECT_TRUE(child_.RequestStop());
    return Finish(wait_ms);
  }

  // Reads what is left; the exit code once the program ended.
  int Finish(uint32_t wait_ms) {
    while (ReadSome(wait_ms)) {
    }
    int exit_code = -1;
    EXPECT_TRUE(child_.Wait(wait_ms, &exit_code));
    return exit_code;
  }

  std::string Output() const {
    std::string all;
    for (const std::string& line : lines_) all += line + "\n";
    return all;
  }

  platform::ChildProcess& child() { return child_; }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  bool ReadSome(uint32_t timeout_ms) {
    char buffer[4096];
    const int64_t n = child_.ReadOutput(buffer, sizeof buffer, timeout_ms);
    if (n <= 0) return false;
    partial_.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = partial_.find('\n')) != std::string::npos) {
      std::string line = partial_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      partial_.erase(0, end + 1);
    }
    return true;
  }

  platform::ChildProcess child_;
  std::string partial_;
  std::vector<std::string> lines_;
  size_t checked_ = 0;
};

}  // namespace velmor::test
