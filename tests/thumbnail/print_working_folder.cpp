// A stand-in for ffmpeg and ffprobe: whatever its arguments, it writes the
// folder it runs in to its standard output, so a test can see where the
// thumbnail maker starts its children.
#include <cstdio>
#include <filesystem>
#include <string>

int main() {
  const std::u8string folder = std::filesystem::current_path().u8string();
  const std::string text(folder.begin(), folder.end());
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
