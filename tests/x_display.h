// An X server of the test's own (Xvfb) that DISPLAY names while the object
// lives, and xdotool to drive its pointer and keyboard like a user.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "test_support.h"

namespace velmor::test {

class XDisplay {
 public:
  static constexpr char kXvfb[] = "/usr/bin/Xvfb";
  static constexpr char kXdotool[] = "/usr/bin/xdotool";

  static bool ToolsInstalled() {
    return std::filesystem::exists(kXvfb) && std::filesystem::exists(kXdotool);
  }

  ~XDisplay() {
    if (xvfb_.IsRunning()) xvfb_.Kill();
  }

  // Starts Xvfb with one screen ("640x480x24"); false when it did not
  // start. Xvfb picks a free display and writes its number to our pipe once
  // it accepts clients.
  bool Start(const std::string& screen) {
    if (!xvfb_.Start(
            {kXvfb, "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", screen})) {
      return false;
    }
    std::string number;
    char byte = 0;
    while (byte != '\n' && xvfb_.ReadOutput(&byte, 1, 10000) == 1) number += byte;
    if (number.empty()) return false;
    name_ = ":" + number.substr(0, number.find('\n'));
    environment_ = std::make_unique<ScopedEnvironment>("DISPLAY", name_.c_str());
    return true;
  }

  // Ends the X server, as when a user logs out.
  bool End() {
    if (!xvfb_.IsRunning()) return true;
    xvfb_.Kill();
    int exit_code = 0;
    return xvfb_.Wait(10000, &exit_code);
  }

  // Runs xdotool on this display; its output.
  std::string Xdotool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), kXdotool);
    platform::ChildProcess xdotool;
    std::string output;
    int exit_code = -1;
    EXPECT_TRUE(xdotool.Start(arguments));
    EXPECT_TRUE(xdotool.ReadAllOutput(&output, 10000));
    EXPECT_TRUE(xdotool.Wait(10000, &exit_code));
    EXPECT_EQ(exit_code, 0) << arguments[1];
    return output;
  }

  // "x:100 y:100"
  std::string PointerLocation() {
    std::string location = Xdotool({"getmouselocation"});  // "x:100 y:100 screen:0 window:..."
    return location.substr(0, location.find(" screen"));
  }

  const std::string& name() const { return name_; }

 private:
  platform::ChildProcess xvfb_;
  std::string name_;
  std::unique_ptr<ScopedEnvironment> environment_;
};

}  // namespace velmor::test
