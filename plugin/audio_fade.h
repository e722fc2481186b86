// Mute without a click: the player's audio passes through here, in place,
// before it reaches the audio renderer. Muting fades the sound out over
// 4,800 sample frames (0.1 s at 48 kHz) and unmuting fades it in again;
// the gain carries over from one buffer to the next.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

inline constexpr int kFullGain = 4800;

// Fades a buffer of 16-bit stereo frames (two values each) by the gain,
// moving the gain one step per frame toward 0 when muted and toward full
// when not.
void ApplyAudioFade(int16_t* samples, size_t frames, bool muted, int* gain);

}  // namespace tarnwick
