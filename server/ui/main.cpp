// VelmorVRServer.exe: the server with its main window and tray icon.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "core/paths.h"
#include "core/settings.h"
#include "platform/file_system.h"
#include "platform/user_notice.h"
#include "runtime/server_runtime.h"
#include "thumbnail/plugin_binding.h"
#include "ui/main_window.h"

namespace {

// Exit codes: 0 when the settings file or the main window cannot be made,
// 1 after a normal quit.
constexpr int kExitNotStarted = 0;
constexpr int kExitQuit = 1;

int RunWindowProgram(HINSTANCE instance) {
  // The rich-edit control class, for the dialogs that show rich text.
  LoadLibraryW(L"RICHED32.DLL");
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  velmor::SetProgramFolder(velmor::platform::ExecutableFolder());
  velmor::ServerRuntime runtime;
  if (!runtime.settings().Load()) {
    runtime.settings().Save();
    return kExitNotStarted;
  }

  // The single-threaded apartment of the window thread: the pickers and the
  // player plug-in need it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  // The player plug-in (Tarnwick.dll), before the window: on failure the
  // user gets "Tarnwick.dll の読み込みに失敗しました。" ("DLL エラー") once and
  // the server starts without it.
  std::unique_ptr<velmor::PluginBinding> plugin = velmor::BindPlayerPlugin(
      velmor::platform::ExecutableFolder(), &velmor::platform::ShowMessageBox);

  velmor::ui::MainWindow main_window(instance, &runtime);
  if (!main_window.Create()) {
    plugin.reset();
    runtime.settings().Save();
    if (SUCCEEDED(com)) CoUninitialize();
    return kExitNotStarted;
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  if (main_window.window() != nullptr) DestroyWindow(main_window.window());
  runtime.Shutdown();  // nothing left to do unless the window never shut it down
  plugin.reset();      // its player is closed and released, the library unloaded
  runtime.settings().Save();
  if (SUCCEEDED(com)) CoUninitialize();
  return kExitQuit;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return RunWindowProgram(instance);
}
