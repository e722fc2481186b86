// The player's volume levels (0 to 100) as the attenuation the graph's
// audio control takes, in hundredths of a decibel: a curve that falls
// slowly near the top and fast near the bottom, as ears hear it.
#pragma once

namespace tarnwick {

// The level as stored: 0 to 100.
int ClampVolumeLevel(int level);
// -10000 (silent) for 0 and below, 0 (full) for 100 and above.
int VolumeAttenuation(int level);

}  // namespace tarnwick
