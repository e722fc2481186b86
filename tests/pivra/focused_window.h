// A window of a separate X client (an X connection of its own) that has
// the keyboard focus: it stands for the program the user types into.
#pragma once

#include <memory>
#include <string>

namespace velmor::test {

class FocusedWindow {
 public:
  // On $DISPLAY; a test failure when there is none.
  FocusedWindow();
  ~FocusedWindow();
  FocusedWindow(const FocusedWindow&) = delete;
  FocusedWindow& operator=(const FocusedWindow&) = delete;

  // The letters (a to z) of the key presses received until last_letter,
  // included; what came within five seconds when it does not come.
  std::string LettersUntil(char last_letter);

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace velmor::test
