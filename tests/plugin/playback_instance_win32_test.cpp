// A player on a real DirectShow graph, watched from inside: a player that
// records the samples its grabbers deliver, before and after its own
// processing.
#include "plugin/playback_instance.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <mutex>
#include <vector>

#include "plugin_media.h"

namespace tarnwick {
namespace {

class RecordingPlayer : public PlaybackInstance {
 public:
  RecordingPlayer() : PlaybackInstance(nullptr) {}

  // Mutes at the first buffer from mute_at frames on and unmutes at the
  // first from unmute_at on, so the test knows the frame where each began.
  int64_t mute_at = 0;
  int64_t unmute_at = 0;

  void OnVideoSample(IMediaSample* sample) override {
    {
      std::lock_guard<std::mutex> hold(lock);
      video_sizes.push_back(sample->GetActualDataLength());
    }
    PlaybackInstance::OnVideoSample(sample);
  }

  void OnAudioSample(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    const size_t count = static_cast<size_t>(sample->GetActualDataLength()) / 2;
    std::lock_guard<std::mutex> hold(lock);
    const int64_t frame = static_cast<int64_t>(in.size() / 2);
    if (!mute() && muted_from < 0 && frame >= mute_at) {
      set_mute(true);
      muted_from = frame;
    } else if (mute() && frame >= unmute_at) {
      set_mute(false);
      unmuted_from = frame;
    }
    in.insert(in.end(), samples, samples + count);
    PlaybackInstance::OnAudioSample(sample);
    out.insert(out.end(), samples, samples + count);
  }

  std::mutex lock;
  std::vector<long> video_sizes;
  std::vector<int16_t> in;
  std::vector<int16_t> out;
  int64_t muted_from = -1;
  int64_t unmuted_from = -1;
};

TEST(PlaybackInstanceWin32, RealFramesVolumeAndTheMuteFadeOnRealBuffers) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    RecordingPlayer player;
    player.mute_at = 24000;    // 0.5 s
    player.unmute_at = 72000;  // 1.5 s
    ASSERT_TRUE(player.Open(test::WideMedia("v720.mp4").c_str(), nullptr, false));
    ASSERT_TRUE(player.OpenDevice());
    player.SetVolume(55);
    EXPECT_EQ(player.GraphVolume(), -1500);
    player.SetVolume(150);
    EXPECT_EQ(player.GraphVolume(), 0);
    EXPECT_EQ(player.volume(), 100);
    player.Play();
    const DWORD start = GetTickCount();
    while (player.GetState() != PlaybackInstance::kEnded && GetTickCount() - start < 30000) {
      Sleep(20);
    }
    ASSERT_EQ(player.GetState(), PlaybackInstance::kEnded);
    player.Close();

    std::lock_guard<std::mutex> hold(player.lock);
    // Every frame YUY2, two bytes a pixel, and every one refused without
    // the engine's device.
    EXPECT_NEAR(static_cast<double>(player.video_sizes.size()), 90, 2);
    for (long size : player.video_sizes) ASSERT_EQ(size, 1280 * 720 * 2);
    EXPECT_EQ(player.Value(20), static_cast<int64_t>(player.video_sizes.size()));

    ASSERT_GE(player.muted_from, 24000);
    ASSERT_GE(player.unmuted_from, 72000)
        << player.in.size() / 2 << " frames, muted at " << player.muted_from;
    ASSERT_GT(player.in.size() / 2, static_cast<size_t>(player.unmuted_from + 4800));
    const int64_t frames = static_cast<int64_t>(player.in.size() / 2);
    int64_t silent_from = -1;
    for (int64_t frame = 0; frame < frames; ++frame) {
      const int64_t gain = frame < player.muted_from ? 4800
                           : frame < player.unmuted_from
                               ? std::max<int64_t>(0, 4800 - (frame - player.muted_from))
                               : std::min<int64_t>(4800, frame - player.unmuted_from);
      for (int channel = 0; channel < 2; ++channel) {
        const int16_t before = player.in[2 * frame + channel];
        ASSERT_EQ(player.out[2 * frame + channel], before * gain / 4800) << frame;
      }
      if (gain == 0 && silent_from < 0) silent_from = frame;
    }
    EXPECT_EQ(silent_from - player.muted_from, 4800);  // silent within 0.1 s
  }
  CoUninitialize();
}

}  // namespace
}  // namespace tarnwick
