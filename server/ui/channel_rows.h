// The channel table's rows as the main window shows them: the type combo's
// entries in list order and which of a row's controls each entry enables.
// No drawing here; the window moves values between its controls and these.
#pragma once

#include <array>

#include "core/config.h"

namespace velmor::ui {

struct ChannelEntry {
  const wchar_t* label;  // the combo text
  int channel_type;      // kChannelPcFolder ...
  bool path_enabled;     // the path edit and the "パス" button
  bool edit_enabled;     // the "編集" button (the list file in Notepad)
  bool picks_list_file;  // "パス" picks a .vrl file, else a folder
};

inline constexpr std::array<ChannelEntry, 5> kChannelEntries = {{
    {L"VRデバイス", kChannelVrDevice, false, false, false},
    {L"PCフォルダ", kChannelPcFolder, true, false, false},
    {L"プレイリスト", kChannelPlaylist, true, true, true},
    {L"検索リスト", kChannelSearchList, true, true, true},
    {L"お気に入りリスト", kChannelFavourites, true, true, true},
}};

// The combo index of a channel type; -1 for a type outside 0 to 4.
int EntryOfType(int channel_type);

// The control ids of one row, rows 0 to 7.
struct ChannelRowIds {
  int type_combo;
  int path_edit;
  int pick_button;
  int edit_button;
};
extern const std::array<ChannelRowIds, kChannelCount> kChannelRowIds;

// The row whose control has this id, with which control it is; -1 when no
// row has it.
enum class RowControl { kTypeCombo, kPathEdit, kPickButton, kEditButton };
int RowOfControl(int control_id, RowControl* which);

}  // namespace velmor::ui
