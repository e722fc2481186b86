// The soak's media folder and the server's home.
#include <string_view>
#include <utility>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "soak.h"

namespace velmor::soak {
namespace {

constexpr int kBigFiles = 3;
constexpr int64_t kMiB = 1 << 20;

bool RunFfmpeg(const std::vector<std::string>& arguments, const std::string& output) {
  std::vector<std::string> argv = {"ffmpeg", "-loglevel", "error", "-nostdin", "-y"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back(output);
  platform::ChildProcess child;
  int exit_code = -1;
  return child.Start(argv) && child.Wait(120000, &exit_code) && exit_code == 0;
}

// Random bytes under a video name: the stream server serves any file of a
// media extension, and the bytes make every misplaced block show.
bool WriteBigFile(const std::string& path, int64_t size, std::mt19937_64* random) {
  platform::File file;
  if (!file.Open(path, platform::File::Mode::kCreate)) return false;
  std::vector<uint64_t> block(kMiB / sizeof(uint64_t));
  for (int64_t written = 0; written < size;) {
    for (uint64_t& word : block) word = (*random)();
    const auto piece = static_cast<size_t>(std::min<int64_t>(kMiB, size - written));
    if (file.Write(block.data(), piece) != static_cast<int64_t>(piece)) return false;
    written += static_cast<int64_t>(piece);
  }
  return true;
}

}  // namespace

bool MakeMedia(const std::string& folder, std::mt19937_64* random, Media* media,
               std::string* error) {
  media->folder = folder;
  const std::string lavfi = "rate=25:duration=2:size=320x240";
  const std::vector<std::string> encode = {"-c:v",    "libx264", "-pix_fmt",
                                           "yuv420p", "-preset", "ultrafast"};
  const std::vector<std::pair<std::string, std::string>> videos = {{"Soak Clip#1.mp4", "testsrc"},
                                                                   {"Soak Clip#2.mp4", "smptebars"},
                                                                   {"Beach Walk.mp4", "testsrc2"}};
  for (const auto& [name, source] : videos) {
    std::vector<std::string> arguments = {"-f", "lavfi", "-i", source + "=" + lavfi};
    arguments.insert(arguments.end(), encode.begin(), encode.end());
    if (!RunFfmpeg(arguments, folder + "/" + name)) {
      *error = "ffmpeg could not make " + name;
      return false;
    }
    media->names.push_back(name);
  }
  media->picture = folder + "/Still Picture.jpg";
  if (!RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=426x240", "-frames:v", "1"}, media->picture)) {
    *error = "ffmpeg could not make a picture";
    return false;
  }
  media->names.push_back("Still Picture.jpg");
  for (int i = 1; i <= kBigFiles; ++i) {
    const std::string name = "Big Stream " + std::to_string(i) + ".mp4";
    const int64_t size = (16 + static_cast<int64_t>((*random)() % 33)) * kMiB + (*random)() % kMiB;
    if (!WriteBigFile(folder + "/" + name, size, random)) {
      *error = "cannot write " + name;
      return false;
    }
    media->names.push_back(name);
    media->big.push_back(folder + "/" + name);
  }
  return true;
}

bool PrepareHome(const std::string& home, uint16_t command_port, uint16_t http_port,
                 uint16_t mouse_port, const std::string& media_folder) {
  const std::string ini = home + "/VelmorVRServer.ini";
  const std::pair<const char*, std::string> keys[] = {{"iPortServer", std::to_string(command_port)},
                                                      {"iPortHttp", std::to_string(http_port)},
                                                      {"iPortMouse", std::to_string(mouse_port)},
                                                      {"iUseMouse", "0"},
                                                      {"rw.iUseFFMpeg", "1"}};
  if (!platform::CreateUtf16File(ini)) return false;
  for (const auto& [key, value] : keys) {
    if (!platform::WriteIniString(ini, "Config", key, value)) return false;
  }
  // The search targets: the media folder (UTF-8 with a byte-order mark, CR LF).
  const std::string targets = "\xef\xbb\xbf" + media_folder + "\r\n#end\r\n";
  return platform::WriteFileAtomically(home + "/SearchFolder1.vrl", targets);
}

}  // namespace velmor::soak
