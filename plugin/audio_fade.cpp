#include "audio_fade.h"

#include <cstring>

namespace tarnwick {
namespace {

void Scale(int16_t* frame, int gain) {
  frame[0] = static_cast<int16_t>(frame[0] * gain / kFullGain);
  frame[1] = static_cast<int16_t>(frame[1] * gain / kFullGain);
}

void FadeOut(int16_t* samples, size_t frames, int* gain) {
  size_t frame = 0;
  for (; frame < frames && *gain >= 1; ++frame) {
    Scale(samples + 2 * frame, *gain);
    --*gain;
  }
  std::memset(samples + 2 * frame, 0, (frames - frame) * 2 * sizeof(int16_t));
}

void FadeIn(int16_t* samples, size_t frames, int* gain) {
  for (size_t frame = 0; frame < frames && *gain < kFullGain; ++frame) {
    Scale(samples + 2 * frame, *gain);
    ++*gain;
  }
}

}  // namespace

void ApplyAudioFade(int16_t* samples, size_t frames, bool muted, int* gain) {
  if (muted) {
    FadeOut(samples, frames, gain);
  } else if (*gain < kFullGain) {
    FadeIn(samples, frames, gain);
  }
}

}  // namespace tarnwick
