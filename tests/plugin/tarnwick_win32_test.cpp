// Tarnwick.dll as a host uses it: loaded by name, its exports found by
// name, with real media decoded by DirectShow (under Wine through its
// GStreamer bridge).
#include <windows.h>
// after windows.h
#include <d3d11.h>
#include <objbase.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "engine_host.h"
#include "plugin_media.h"

namespace {

using tarnwick::test::Media;
using tarnwick::test::WideMedia;

// The engine's interface registry as an engine hands it to the plug-in: it
// knows only the Direct3D 11 interface, whose device is made here.
struct EngineId {
  unsigned long long high, low;
};
ID3D11Device* g_device = nullptr;
ID3D11Device* __stdcall EngineDevice() { return g_device; }
struct {
  ID3D11Device*(__stdcall* GetDevice)();
} g_graphics = {EngineDevice};
int g_interface_asks = 0;
void* __stdcall GetInterface(EngineId id) {
  ++g_interface_asks;
  const bool d3d11 = id.high == 0xAAB37EF87A87D748ULL && id.low == 0xBF76967F07EFB177ULL;
  return d3d11 ? &g_graphics : nullptr;
}
struct {
  void*(__stdcall* GetInterface)(EngineId);
  void* others[3];
} g_registry = {GetInterface, {}};

struct Exports {
  int (*GetVersion)();
  void* (*Create)();
  void* (*CreateNoUnity)();
  void (*Release)(void*);
  bool (*Open)(void*, const wchar_t*);
  bool (*OpenInfoA)(void*, const char*);
  bool (*OpenInfo)(void*, const wchar_t*);
  void (*Close)(void*);
  bool (*OpenDevice)(void*);
  int (*GetVideoW)(void*);
  int (*GetVideoH)(void*);
  float (*GetFps)(void*);
  int (*GetDurationSec)(void*);
  int (*GetFramNum)(void*);
  void (*Play)(void*);
  void (*SetVolume)(void*, int);
  int (*GetVolume)(void*);
  int (*GetState)(void*);
  long long (*GetValue)(void*, int);
  bool (*SetAudioDeviceNameA)(void*, const char*);
  const char* (*GetAudioDeviceNameA)(void*, int);
  const char* (*GetFilterListNameA)(void*, int);
  void (*EnableErrorLogA)(void*, const char*);
  void (*LogStart)(void*);
  void(__stdcall* PluginLoad)(void*);
  void(__stdcall* PluginUnload)();
  void(__stdcall* (*__stdcall RenderEventFunc)())(int);
  bool (*Update)(void*);
  void (*SetTexturePtr)(void*, void*);
};

class TarnwickTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    library_ = LoadLibraryW(L"Tarnwick.dll");
    ASSERT_NE(library_, nullptr);
    Find(&x_.GetVersion, "Tarn_GetVersion");
    Find(&x_.Create, "Tarn_Create");
    Find(&x_.CreateNoUnity, "Tarn_CreateNoUnity");
    Find(&x_.Release, "Tarn_Release");
    Find(&x_.Open, "Tarn_Open");
    Find(&x_.OpenInfoA, "Tarn_OpenInfoA");
    Find(&x_.OpenInfo, "Tarn_OpenInfo");
    Find(&x_.Close, "Tarn_Close");
    Find(&x_.OpenDevice, "Tarn_OpenDevice");
    Find(&x_.GetVideoW, "Tarn_GetVideoW");
    Find(&x_.GetVideoH, "Tarn_GetVideoH");
    Find(&x_.GetFps, "Tarn_GetFps");
    Find(&x_.GetDurationSec, "Tarn_GetDurationSec");
    Find(&x_.GetFramNum, "Tarn_GetFramNum");
    Find(&x_.Play, "Tarn_Play");
    Find(&x_.SetVolume, "Tarn_SetVolume");
    Find(&x_.GetVolume, "Tarn_GetVolume");
    Find(&x_.GetState, "Tarn_GetState");
    Find(&x_.GetValue, "Tarn_GetValue");
    Find(&x_.SetAudioDeviceNameA, "Tarn_SetAudioDeviceNameA");
    Find(&x_.GetAudioDeviceNameA, "Tarn_GetAudioDeviceNameA");
    Find(&x_.GetFilterListNameA, "Tarn_GetFilterListNameA");
    Find(&x_.EnableErrorLogA, "Tarn_EnableErrorLogA");
    Find(&x_.LogStart, "Tarn_LogStart");
    Find(&x_.PluginLoad, "UnityPluginLoad");
    Find(&x_.PluginUnload, "UnityPluginUnload");
    Find(&x_.RenderEventFunc, "GetRenderEventFunc");
    Find(&x_.Update, "Tarn_Update");
    Find(&x_.SetTexturePtr, "Tarn_SetTexturePtr");
  }
  static void TearDownTestSuite() {
    FreeLibrary(library_);
    CoUninitialize();
  }

  template <typename Function>
  static void Find(Function* function, const char* name) {
    // Through a plain function pointer type: FARPROC has no real signature.
    *function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library_, name)));
    ASSERT_NE(*function, nullptr) << name;
  }

  void SetUp() override { player_ = x_.CreateNoUnity(); }
  void TearDown() override {
    x_.Close(player_);
    x_.Release(player_);
  }

  static inline HMODULE library_ = nullptr;
  static inline Exports x_ = {};
  void* player_ = nullptr;
};

TEST_F(TarnwickTest, EveryExportUnderItsPlainName) {
  for (const char* name : {"UnityPluginLoad",
                           "UnityPluginUnload",
                           "GetRenderEventFunc",
                           "Tarn_GetVersion",
                           "Tarn_Create",
                           "Tarn_CreateNoUnity",
                           "Tarn_Release",
                           "Tarn_Open",
                           "Tarn_OpenA",
                           "Tarn_OpenInfo",
                           "Tarn_OpenInfoA",
                           "Tarn_Close",
                           "Tarn_OpenDevice",
                           "Tarn_CloseDevice",
                           "Tarn_GetVideoW",
                           "Tarn_GetVideoH",
                           "Tarn_GetAspectW",
                           "Tarn_GetAspectH",
                           "Tarn_GetFps",
                           "Tarn_GetDurationSec",
                           "Tarn_GetFramNum",
                           "Tarn_Play",
                           "Tarn_Stop",
                           "Tarn_Pause",
                           "Tarn_SetVolume",
                           "Tarn_GetVolume",
                           "Tarn_SetMute",
                           "Tarn_IsMute",
                           "Tarn_GetState",
                           "Tarn_GetCurrentTimeSec",
                           "Tarn_SetCurrentTimeSec",
                           "Tarn_GetValue",
                           "Tarn_LogStart",
                           "Tarn_GetFrameBuff",
                           "Tarn_GetTexturePtr",
                           "Tarn_SetTexturePtr",
                           "Tarn_Update",
                           "Tarn_SetFilterMode",
                           "Tarn_SetAudioDeviceName",
                           "Tarn_SetAudioDeviceNameA",
                           "Tarn_GetAudioDeviceNameA",
                           "Tarn_GetFilterListNameA",
                           "Tarn_EnableErrorLog",
                           "Tarn_EnableErrorLogA"}) {
    EXPECT_NE(GetProcAddress(library_, name), nullptr) << name;
  }
}

TEST_F(TarnwickTest, InterfaceRulesAndTheEnginesPlayer) {
  EXPECT_EQ(x_.GetVersion(), 122);
  EXPECT_EQ(x_.Create(), nullptr);  // the engine has not loaded the plug-in
  ASSERT_NE(player_, nullptr);
  // A null handle: the opens report success, the rest nothing.
  EXPECT_TRUE(x_.Open(nullptr, L"x.mp4"));
  EXPECT_TRUE(x_.OpenInfoA(nullptr, "x.mp4"));
  EXPECT_FALSE(x_.OpenDevice(nullptr));
  EXPECT_EQ(x_.GetState(nullptr), 0);
  EXPECT_EQ(x_.GetAudioDeviceNameA(nullptr, -1), nullptr);
  EXPECT_STREQ(x_.GetAudioDeviceNameA(player_, -1), "(Default)");
  EXPECT_STREQ(x_.GetAudioDeviceNameA(player_, -2), "(Not Use)");
  EXPECT_EQ(x_.GetAudioDeviceNameA(player_, 1000), nullptr);
  EXPECT_FALSE(x_.SetAudioDeviceNameA(player_, "(Default)"));
  EXPECT_EQ(x_.GetVolume(player_), 100);
  EXPECT_EQ(x_.GetFps(player_), 0.0f);

  // Once the engine has loaded the plug-in, its player gets its device.
  ASSERT_TRUE(SUCCEEDED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, nullptr, 0,
                                          D3D11_SDK_VERSION, &g_device, nullptr, nullptr)));
  x_.PluginLoad(&g_registry);
  void* engine_player = x_.Create();
  ASSERT_NE(engine_player, nullptr);
  EXPECT_EQ(g_interface_asks, 1);
  // The render event updates the engine's player: nothing to show yet.
  x_.RenderEventFunc()(7);
  EXPECT_FALSE(x_.Update(engine_player));
  x_.Release(engine_player);
  x_.RenderEventFunc()(7);  // no player registered any more
  x_.PluginUnload();
  g_device->Release();
}

TEST_F(TarnwickTest, InfoOpensGiveTheFactsAtOnceAndRefuseWhatHasNoVideo) {
  ASSERT_TRUE(x_.OpenInfoA(player_, Media("v720.mp4").c_str()));
  EXPECT_EQ(x_.GetVideoW(player_), 1280);
  EXPECT_EQ(x_.GetVideoH(player_), 720);
  EXPECT_FLOAT_EQ(x_.GetFps(player_), 30000.0f / 1001.0f);
  EXPECT_EQ(x_.GetDurationSec(player_), 3);
  EXPECT_NEAR(x_.GetFramNum(player_), 90, 1);
  EXPECT_EQ(x_.GetState(player_), 0);
  std::string filters;
  for (int i = 0; x_.GetFilterListNameA(player_, i) != nullptr; ++i) {
    filters += std::string(x_.GetFilterListNameA(player_, i)) + ";";
  }
  EXPECT_NE(filters.find("pBFSample;"), std::string::npos) << filters;
  EXPECT_NE(filters.find("pVideoRenderer;"), std::string::npos) << filters;
  EXPECT_EQ(filters.find("pAudioRenderer;"), std::string::npos) << filters;
  EXPECT_GT(x_.GetValue(player_, 1), 0);          // bits per second
  EXPECT_GT(x_.GetValue(player_, 10), 20000101);  // the file's date

  // The timing log is named after the file and the time it started.
  WIN32_FIND_DATAA found;
  const std::string pattern = Media("v720(*).txt");
  for (HANDLE old; (old = FindFirstFileA(pattern.c_str(), &found)) != INVALID_HANDLE_VALUE;) {
    FindClose(old);
    ASSERT_TRUE(DeleteFileA(Media(found.cFileName).c_str()));
  }
  x_.LogStart(player_);
  HANDLE log = FindFirstFileA(pattern.c_str(), &found);
  ASSERT_NE(log, INVALID_HANDLE_VALUE);
  FindClose(log);

  ASSERT_TRUE(x_.OpenInfo(player_, WideMedia("v1080.mp4").c_str()));
  EXPECT_EQ(x_.GetVideoW(player_), 1920);
  EXPECT_FLOAT_EQ(x_.GetFps(player_), 24.0f);

  // A playback open through the first listed audio device, when there is
  // one. (A window open needs an Enhanced Video Renderer that takes YUY2,
  // which Wine's does not.)
  const char* device = x_.GetAudioDeviceNameA(player_, 0);
  if (device != nullptr) {
    EXPECT_TRUE(x_.SetAudioDeviceNameA(player_, device)) << device;
    EXPECT_TRUE(x_.Open(player_, WideMedia("v720.mp4").c_str())) << device;
    std::string names;
    for (int i = 0; x_.GetFilterListNameA(player_, i) != nullptr; ++i) {
      names += std::string(x_.GetFilterListNameA(player_, i)) + ";";
    }
    EXPECT_NE(names.find("pAudioRenderer;"), std::string::npos) << names;
  }

  EXPECT_TRUE(x_.Open(player_, WideMedia("still.mp4").c_str())) << "video without sound";
  for (const char* name : {"audio.mp4", "text.mp4", "missing.mp4"}) {
    EXPECT_FALSE(x_.OpenInfoA(player_, Media(name).c_str())) << name;
    EXPECT_EQ(x_.GetVideoW(player_), 0) << name;
    EXPECT_EQ(x_.GetFilterListNameA(player_, 0), nullptr) << name;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(TarnwickTest, PlaybackWithoutTheEngineDropsEveryFrameIntoTheErrorLog) {
  const std::string folder = Media("");
  DeleteFileA((folder + "TarnwickErrorLog.txt").c_str());
  x_.EnableErrorLogA(player_, folder.c_str());
  ASSERT_TRUE(x_.Open(player_, WideMedia("v720.mp4").c_str()));
  // Not ready before the device: no facts, no transport.
  EXPECT_EQ(x_.GetVideoW(player_), 0);
  x_.Play(player_);
  EXPECT_EQ(x_.GetState(player_), 0);
  x_.SetVolume(player_, 55);
  EXPECT_EQ(x_.GetVolume(player_), 100);  // ignored while not ready

  ASSERT_TRUE(x_.OpenDevice(player_));
  x_.SetVolume(player_, 150);
  EXPECT_EQ(x_.GetVolume(player_), 100);
  x_.SetVolume(player_, 55);
  EXPECT_EQ(x_.GetVolume(player_), 55);
  x_.Play(player_);
  EXPECT_EQ(x_.GetState(player_), 1);
  const DWORD start = GetTickCount();
  while (x_.GetState(player_) != 4 && GetTickCount() - start < 30000) Sleep(20);
  ASSERT_EQ(x_.GetState(player_), 4);
  EXPECT_EQ(x_.GetState(player_), 4);  // until the next open

  const long long dropped = x_.GetValue(player_, 20);
  EXPECT_NEAR(dropped, 90, 2);
  const std::string log = ReadAll(folder + "TarnwickErrorLog.txt");
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
  std::string expected = stamp + R"( : \[)" +
                         std::regex_replace(Media("v720.mp4"), std::regex(R"([\\.])"), R"(\$&)") +
                         "\\]\r\n";
  for (long long count = 1; count <= dropped; ++count) {
    char line[32];
    snprintf(line, sizeof(line), " :   count=%2lld, \r\n", count);
    expected += stamp + line;
  }
  EXPECT_TRUE(std::regex_match(log, std::regex(expected))) << log.substr(0, 300);

  ASSERT_TRUE(x_.OpenInfoA(player_, Media("v720.mp4").c_str()));
  EXPECT_EQ(x_.GetState(player_), 0);  // a new open clears the end
  EXPECT_EQ(x_.GetValue(player_, 20), 0);
}

}  // namespace

namespace {

// Runs the engine's render loop: the render event every period_ms, for
// duration_ms.
void RenderLoop(void(__stdcall* render)(int), DWORD period_ms, DWORD duration_ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < duration_ms) {
    render(0);
    Sleep(period_ms);
  }
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof(counters));
  return counters.PrivateUsage;
}

double Psnr(const std::vector<uint8_t>& picture, const std::string& reference, int width,
            int height) {
  double squares = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        // The texture holds the picture bottom row first.
        const double ours = picture[((height - 1 - y) * width + x) * 4 + c];
        const double theirs = static_cast<uint8_t>(reference[(y * width + x) * 4 + c]);
        squares += (ours - theirs) * (ours - theirs);
      }
    }
  }
  const double mean = squares / (width * height * 3.0);
  return mean == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mean);
}

}  // namespace

TEST_F(TarnwickTest, TheEnginesRenderLoopPresentsTheVideo) {
  tarnwick::test::EngineHost host(1280, 720);
  ASSERT_TRUE(host.ok());
  x_.PluginLoad(host.registry());
  void* player = x_.Create();
  ASSERT_NE(player, nullptr);
  ASSERT_TRUE(x_.Open(player, WideMedia("still.mp4").c_str()));
  ASSERT_TRUE(x_.OpenDevice(player));
  // The engine makes its texture once it knows the video's size.
  x_.SetTexturePtr(player, host.target());
  const std::string timing_pattern = Media("still(*).txt");
  WIN32_FIND_DATAA found;
  for (HANDLE old;
       (old = FindFirstFileA(timing_pattern.c_str(), &found)) != INVALID_HANDLE_VALUE;) {
    FindClose(old);
    ASSERT_TRUE(DeleteFileA(Media(found.cFileName).c_str()));
  }
  x_.LogStart(player);
  x_.Play(player);
  auto render = x_.RenderEventFunc();

  // The loop at up to 60 updates a second: frames are handed over and
  // shown (how many a second depends on the machine: printed, not judged).
  RenderLoop(render, 16, 2500);
  std::printf("frames handed over per second %lld, updates per second %lld, skipped %lld\n",
              x_.GetValue(player, 110), x_.GetValue(player, 111), x_.GetValue(player, 101));
  EXPECT_GT(x_.GetValue(player, 110), 0);
  EXPECT_GT(x_.GetValue(player, 111), 0);
  EXPECT_EQ(x_.GetValue(player, 20), 0);  // nothing refused
  const long long skipped_at_60 = x_.GetValue(player, 101);
  const std::vector<uint8_t> picture = host.Read();
  const std::string reference = ReadAll(Media("still.bgra"));
  ASSERT_EQ(reference.size(), 1280u * 720u * 4u);
  const double psnr = Psnr(picture, reference, 1280, 720);
  std::printf("picture against ffmpeg's decode: PSNR %.1f dB\n", psnr);
  EXPECT_GT(psnr, 35.0);

  // At 10 updates a second the frames in between are skipped, not queued:
  // the process does not grow by the frames it could not show.
  const size_t memory_at_60 = PrivateBytes();
  RenderLoop(render, 100, 1500);
  const long long skipped_at_10 = x_.GetValue(player, 101);
  EXPECT_GT(skipped_at_10 - skipped_at_60, 10);
  const size_t growth = PrivateBytes() - std::min(PrivateBytes(), memory_at_60);
  EXPECT_LT(growth, 8u * 1280 * 720 * 4) << "grew by " << growth << " bytes";

  // Without a target nothing is shown and every frame is skipped.
  x_.SetTexturePtr(player, nullptr);
  EXPECT_FALSE(x_.Update(player));
  RenderLoop(render, 16, 500);
  EXPECT_GT(x_.GetValue(player, 101) - skipped_at_10, 10);
  EXPECT_FALSE(x_.Update(player));

  x_.Close(player);
  x_.Release(player);  // closes the timing log

  // The timing log: which exchange, then producer and consumer lines.
  HANDLE timing = FindFirstFileA(timing_pattern.c_str(), &found);
  ASSERT_NE(timing, INVALID_HANDLE_VALUE);
  FindClose(timing);
  const std::string lines = ReadAll(Media(found.cFileName));
  const std::string number = R"( *-?\d+)";
  const std::regex producer(std::string(33, ' ') + number + "ms\\(" + number +
                            "\\) : frame_time = " + number + "ms,  pt=" + number + "-" + number +
                            "\\(" + number + "\\),  mt=" + number + "-" + number + "\\(" + number +
                            "\\)");
  const std::regex consumer(number + "ms\\(" + number + "\\) : llPresentTime = " + number +
                            "ms, now = " + number + "ms [o.]");
  size_t producers = 0;
  size_t consumers = 0;
  size_t at = lines.find("\r\n");
  EXPECT_TRUE(lines.rfind("exchange: ", 0) == 0) << lines.substr(0, 80);
  for (size_t start = at + 2; (at = lines.find("\r\n", start)) != std::string::npos;
       start = at + 2) {
    const std::string line = lines.substr(start, at - start);
    if (std::regex_match(line, producer)) {
      ++producers;
    } else if (std::regex_match(line, consumer)) {
      ++consumers;
    } else {
      ADD_FAILURE() << "not a timing line: [" << line << "]";
      break;
    }
  }
  EXPECT_GT(producers, 30u);
  EXPECT_GT(consumers, 30u);
  EXPECT_EQ(lines.substr(lines.size() - 2), "\r\n");
}
