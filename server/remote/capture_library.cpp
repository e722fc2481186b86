// This build's capture library: where the build has one (Pivra.dll on
// Windows, X11 on Linux), the remote takes the mouse through it; without
// one the mouse remote never starts and CM_GET_MOUSE_ENABLE answers 2.
#include "remote/mouse_capture.h"

#ifdef VELMOR_HAVE_PIVRA
#include "pivra/pivra.h"
#endif

namespace velmor {

#ifdef VELMOR_HAVE_PIVRA
namespace {

class PivraCapture : public MouseCapture {
 public:
  Handle Create() override { return Pivra_Create(); }
  void Start(Handle handle) override { Pivra_Start(handle); }
  void Stop(Handle handle) override { Pivra_Stop(handle); }
  void Get(Handle handle) override { Pivra_Get(handle); }
  int GetState(Handle handle, int index) override { return Pivra_GetState(handle, index); }
  void Release(Handle handle) override { Pivra_Release(handle); }
};

}  // namespace

std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return std::make_shared<PivraCapture>(); }
#else
std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return nullptr; }
#endif

}  // namespace velmor
