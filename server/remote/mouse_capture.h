// The capture library's calls: the remote takes the PC mouse through it,
// so the mouse no longer moves the PC's own pointer while capture is on.
// The six calls mirror the library's exports one to one.
#pragma once

#include <memory>

namespace velmor {

class MouseCapture {
 public:
  using Handle = void*;

  // What GetState reads from a snapshot.
  enum State : int {
    kStateMoveX = 0,  // horizontal movement since the previous snapshot
    kStateMoveY = 1,  // vertical movement
    kStateWheel = 2,  // wheel movement
    kStateButton1 = 3,
    kStateButton2 = 4,
    kStateButton3 = 5,  // buttons: 1 while pressed
  };

  virtual ~MouseCapture() = default;
  // A handle, or null when the library cannot work here.
  virtual Handle Create() = 0;
  // From now on the mouse input goes to the library instead of the pointer.
  virtual void Start(Handle handle) = 0;
  // The mouse works normally again.
  virtual void Stop(Handle handle) = 0;
  // Takes one snapshot of the input since the previous snapshot.
  virtual void Get(Handle handle) = 0;
  virtual int GetState(Handle handle, int index) = 0;
  virtual void Release(Handle handle) = 0;
};

// The capture library of this build, or null when it has none (the remote
// then never starts).
std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary();

}  // namespace velmor
