// Small media files made with the real ffmpeg, once per test program, and
// checks of the JPEGs the server makes, read back with the real ffprobe.
// Where ffmpeg cannot be started (the Windows tests run under Wine, and the
// programs here are Linux ones) the tests that need it are skipped.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/child_process.h"
#include "test_support.h"
#include "thumbnail/media_runner.h"

namespace velmor::test {

// The programs as a user has them: on PATH.
inline MediaPrograms InstalledMediaPrograms() { return {"ffmpeg", "ffprobe"}; }

inline MediaRunner::Settings RunnerFor(MediaPrograms programs,
                                       const std::atomic<int>* running = nullptr) {
  MediaRunner::Settings settings;
  settings.programs = std::move(programs);
  settings.running = running;
  return settings;
}

// Runs a program to its end; true when it ended with exit code 0.
inline bool RunProgram(const std::vector<std::string>& arguments, std::string* output = nullptr) {
  platform::ChildProcess child;
  if (!child.Start(arguments)) return false;
  std::string text;
  if (!child.ReadAllOutput(&text, 120000)) return false;
  int exit_code = -1;
  if (!child.Wait(120000, &exit_code)) return false;
  if (output != nullptr) *output = text;
  return exit_code == 0;
}

inline bool MediaToolsAvailable() {
  static const bool available = RunProgram({"ffmpeg", "-hide_banner", "-version"}) &&
                                RunProgram({"ffprobe", "-hide_banner", "-version"});
  return available;
}

#define VELMOR_REQUIRE_MEDIA_TOOLS()                                                    \
  do {                                                                                  \
    if (!::velmor::test::MediaToolsAvailable()) {                                       \
      GTEST_SKIP() << "ffmpeg and ffprobe cannot be started here (under Wine they are " \
                      "Linux programs): the tests that run them need a native build";   \
    }                                                                                   \
  } while (0)

// The generated files, each made on first use in one folder that lives as
// long as the test program.
class TestMedia {
 public:
  static TestMedia& Get() {
    static TestMedia media;
    return media;
  }

  // 320 x 180, 20 s, 5 fps, a busy noisy picture, with a 44.1 kHz sine.
  const std::string& Video20s() {
    return Make("clip.mp4",
                {"-f", "lavfi", "-i", "testsrc=size=320x180:rate=5", "-f", "lavfi", "-i",
                 "sine=frequency=440:sample_rate=44100", "-t", "20", "-vf", "noise=alls=40:allf=t",
                 "-c:v", "mpeg4", "-q:v", "5", "-c:a", "aac", "-shortest"});
  }
  // 320 x 180, 100 s at 1 fps: long enough for markers past the first minute.
  const std::string& Video100s() {
    return Make("long.mp4", {"-f", "lavfi", "-i", "testsrc=size=320x180:rate=1", "-t", "100", "-vf",
                             "noise=alls=40:allf=t", "-c:v", "mpeg4", "-q:v", "5"});
  }
  // 1440 x 1088: taller than 1080 lines.
  const std::string& TallVideo() {
    return Make("tall.mp4", {"-f", "lavfi", "-i", "testsrc=size=1440x1088:rate=2", "-t", "4", "-vf",
                             "noise=alls=40:allf=t", "-c:v", "mpeg4", "-q:v", "5"});
  }
  // 20 s of black: every frame compresses to almost nothing.
  const std::string& DarkVideo() {
    return Make("dark.mp4", {"-f", "lavfi", "-i", "color=c=black:size=320x180:rate=5", "-t", "20",
                             "-c:v", "mpeg4"});
  }
  // A 640 x 480 picture.
  const std::string& Picture640x480() {
    return Make("picture.png",
                {"-f", "lavfi", "-i", "testsrc=size=640x480", "-frames:v", "1", "-update", "1"});
  }
  // A 300 x 300 picture, as covers come.
  const std::string& SquarePicture() {
    return Make("square.png",
                {"-f", "lavfi", "-i", "testsrc=size=300x300", "-frames:v", "1", "-update", "1"});
  }
  // A wide 400 x 200 picture.
  const std::string& WidePicture() {
    return Make("wide.jpg",
                {"-f", "lavfi", "-i", "testsrc=size=400x200", "-frames:v", "1", "-update", "1"});
  }
  // 5 s of MP3 without a picture.
  const std::string& PlainMp3() {
    return Make("plain.mp3", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t",
                              "5", "-c:a", "libmp3lame"});
  }
  // 5 s of MP3 carrying the square picture as its cover.
  const std::string& Mp3WithCover() {
    const std::string cover = SquarePicture();
    return Make("cover.mp3", {"-f",
                              "lavfi",
                              "-i",
                              "sine=frequency=440:sample_rate=44100",
                              "-i",
                              cover,
                              "-t",
                              "5",
                              "-map",
                              "0:a",
                              "-map",
                              "1:v",
                              "-c:a",
                              "libmp3lame",
                              "-c:v",
                              "png",
                              "-disposition:v",
                              "attached_pic",
                              "-id3v2_version",
                              "3"});
  }

 private:
  const std::string& Make(const std::string& name, std::vector<std::string> arguments) {
    auto found = made_.find(name);
    if (found != made_.end()) return found->second;
    const std::string path = folder_.Join(name);
    arguments.insert(arguments.begin(), {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"});
    arguments.push_back(path);
    EXPECT_TRUE(RunProgram(arguments)) << "ffmpeg could not make " << name;
    return made_.emplace(name, path).first->second;
  }

  TempFolder folder_;
  std::map<std::string, std::string> made_;
};

// A copy of a generated file under another name (in another folder).
inline std::string CopyTo(const std::string& source, const std::string& target) {
  WriteFileOrFail(target, ReadFileOrEmpty(source));
  return target;
}

struct DecodedPicture {
  std::string codec;
  int width = 0;
  int height = 0;
};

// What the real ffprobe reads from a picture's bytes.
inline DecodedPicture DecodePicture(const std::string& bytes) {
  TempFolder temp;
  const std::string path = temp.Join("picture.jpg");
  WriteFileOrFail(path, bytes);
  std::string output;
  DecodedPicture picture;
  if (!RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                   "stream=codec_name,width,height", "-of", "default=noprint_wrappers=1", path},
                  &output)) {
    return picture;
  }
  for (size_t pos = 0; pos < output.size();) {
    size_t end = output.find('\n', pos);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("codec_name=", 0) == 0) picture.codec = line.substr(11);
    if (line.rfind("width=", 0) == 0) picture.width = std::stoi(line.substr(6));
    if (line.rfind("height=", 0) == 0) picture.height = std::stoi(line.substr(7));
  }
  return picture;
}

inline bool StartsLikeJpeg(const std::string& bytes) {
  return bytes.size() > 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xD8;
}

}  // namespace velmor::test
