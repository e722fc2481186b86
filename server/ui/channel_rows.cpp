#include "ui/channel_rows.h"

#include "ui/resource.h"

namespace velmor::ui {

const std::array<ChannelRowIds, kChannelCount> kChannelRowIds = {{
    {IDC_CH1_TYPE, IDC_CH1_PATH, IDC_CH1_PICK, IDC_CH1_EDIT},
    {IDC_CH2_TYPE, IDC_CH2_PATH, IDC_CH2_PICK, IDC_CH2_EDIT},
    {IDC_CH3_TYPE, IDC_CH3_PATH, IDC_CH3_PICK, IDC_CH3_EDIT},
    {IDC_CH4_TYPE, IDC_CH4_PATH, IDC_CH4_PICK, IDC_CH4_EDIT},
    {IDC_CH5_TYPE, IDC_CH5_PATH, IDC_CH5_PICK, IDC_CH5_EDIT},
    {IDC_CH6_TYPE, IDC_CH6_PATH, IDC_CH6_PICK, IDC_CH6_EDIT},
    {IDC_CH7_TYPE, IDC_CH7_PATH, IDC_CH7_PICK, IDC_CH7_EDIT},
    {IDC_CH8_TYPE, IDC_CH8_PATH, IDC_CH8_PICK, IDC_CH8_EDIT},
}};

int EntryOfType(int channel_type) {
  for (size_t i = 0; i < kChannelEntries.size(); ++i) {
    if (kChannelEntries[i].channel_type == channel_type) return static_cast<int>(i);
  }
  return -1;
}

int RowOfControl(int control_id, RowControl* which) {
  for (size_t row = 0; row < kChannelRowIds.size(); ++row) {
    const ChannelRowIds& ids = kChannelRowIds[row];
    if (control_id == ids.type_combo) {
      *which = RowControl::kTypeCombo;
    } else if (control_id == ids.path_edit) {
      *which = RowControl::kPathEdit;
    } else if (control_id == ids.pick_button) {
      *which = RowControl::kPickButton;
    } else if (control_id == ids.edit_button) {
      *which = RowControl::kEditButton;
    } else {
      continue;
    }
    return static_cast<int>(row);
  }
  return -1;
}

}  // namespace velmor::ui
