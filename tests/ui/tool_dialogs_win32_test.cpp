// The two batch tools as the user meets them: the dialog opened over a
// running server, a folder dropped on it (the WM_DROPFILES a drop from
// Explorer makes) or its start button pressed, the progress window's
// title, text and button read while the run goes and when it is done.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/paths.h"
#include "library/list_file.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "platform/win32/wide.h"
#include "runtime/server_runtime.h"
#include "test_support.h"
#include "ui/tool_dialogs.h"

namespace velmor {
namespace {

using platform::Narrow;
using platform::Widen;

constexpr uint32_t kWaitMs = 60000;

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// This process's visible top-level window whose title starts so.
HWND WaitForWindow(const std::wstring& title_start) {
  HWND found = nullptr;
  WaitUntil([&] {
    for (HWND window = GetTopWindow(nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
          TextOf(window).rfind(title_start, 0) == 0) {
        found = window;
        return true;
      }
    }
    return false;
  });
  return found;
}

// What Explorer hands a window when files are dropped on it.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class ToolDialogsTest : public testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(runtime_.settings().Load());
    runtime_.AllowAnyFreePort();
    runtime_.settings().Update([](S_CONFIG& config) {
      config.iPortServer = 0;
      config.iPortHttp = 0;
    });
    runtime_.Start();
  }
  void TearDown() override {
    if (tool_.joinable()) tool_.join();  // the tool has ended (or never opened)
    runtime_.Shutdown();
  }

  // Opens a tool on a thread of its own (its dialog is modal) and returns
  // its window.
  HWND Open(void (*show)(HINSTANCE, HWND, ServerRuntime*), const wchar_t* title) {
    tool_ = std::thread([this, show] { show(GetModuleHandleW(nullptr), nullptr, &runtime_); });
    return WaitForWindow(title);
  }

  // The progress window's title once its run is done ("完了しました。" and
  // the button "OK"); then presses "OK", which ends the window.
  std::wstring FinishedTitle() {
    HWND progress = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
      for (HWND window = GetTopWindow(nullptr); window != nullptr;
           window = GetWindow(window, GW_HWNDNEXT)) {
        if (TextOf(GetDlgItem(window, 1146)) == L"完了しました。" &&
            TextOf(GetDlgItem(window, 1002)) == L"OK") {
          progress = window;
          return true;
        }
      }
      return false;
    }));
    if (progress == nullptr) return {};
    const std::wstring title = TextOf(progress);
    PostMessageW(progress, WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(progress); }));
    return title;
  }

  void Close(HWND tool) {
    PostMessageW(tool, WM_COMMAND, MAKEWPARAM(1049, BN_CLICKED), 0);
    tool_.join();
  }

  test::TempFolder home_;
  ServerRuntime runtime_;
  std::thread tool_;
};

TEST_F(ToolDialogsTest, ThumbnailToolCountsTheMediaOfADroppedFolderAndIgnoresADroppedFile) {
  const std::string media = home_.Join("media");
  ASSERT_TRUE(platform::CreateFolder(media));
  ASSERT_TRUE(platform::CreateFolder(media + "\\sub"));
  for (const char* name : {"a.mp4", "b.wav", "sub\\c.jpg", "notes.txt"}) {
    test::WriteFileOrFail(media + "\\" + name, "x");
  }
  HWND tool = Open(&ui::ShowThumbnailBatchDialog, L"サムネイル 作成");
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(Narrow(TextOf(GetDlgItem(tool, 1019))),
            WithForwardSlashes(home_.Join("SearchFolder1.vrl")));

  // A single file dropped: nothing to walk.
  PostMessageW(tool, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({media + "\\a.mp4"})), 0);
  EXPECT_EQ(FinishedTitle(), L"サムネイル作成中・・・(作成:0  チェック:0)");
  // Its folder: the three media files, the subfolder's too.
  PostMessageW(tool, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({media})), 0);
  const std::wstring title = FinishedTitle();
  EXPECT_NE(title.find(L"チェック:3)"), std::wstring::npos) << Narrow(title);
  Close(tool);
  EXPECT_NE(platform::ReadIniString(home_.Join("VelmorVRServer.ini"), "cdlgConvertThumbnail",
                                    "mrcWnd.rcRight", "0"),
            "0");
}

TEST_F(ToolDialogsTest, ConverterRunsItsBatchFromTheStartButton) {
  HWND tool = Open(&ui::ShowConverterDialog, L"変換");
  ASSERT_NE(tool, nullptr);
  PostMessageW(tool, WM_COMMAND, MAKEWPARAM(1050, BN_CLICKED), 0);
  EXPECT_EQ(FinishedTitle(), L"変換中・・・(サムネイル:0  マーカー:0  空:0  チェック:0)");
  Close(tool);
}

}  // namespace
}  // namespace velmor
