#include "volume_table.h"

namespace tarnwick {

int ClampVolumeLevel(int level) { return level < 0 ? 0 : level > 100 ? 100 : level; }

int VolumeAttenuation(int level) {
  if (level <= 0) return -10000;
  if (level == 1) return -4000;
  if (level <= 40) return (level * 2000 - 2000) / 39 - 4000;
  if (level <= 70) return (level - 40) * 1000 / 30 - 2000;
  if (level <= 90) return (level - 70) * 400 / 20 - 1000;
  if (level <= 100) return (level - 90) * 600 / 10 - 600;
  return 0;
}

}  // namespace tarnwick
