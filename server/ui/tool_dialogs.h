// The two batch tools of the tools menu: "サムネイル 作成" (136) makes the
// missing thumbnails of the search list's folders or of folders dropped on
// it; "変換" (108) turns the older version's thumbnails and marker files
// into data table records. Both run with the modal progress window.
#pragma once

#include <windows.h>

namespace velmor {
class ServerRuntime;
}

namespace velmor::ui {

void ShowThumbnailBatchDialog(HINSTANCE instance, HWND owner, ServerRuntime* runtime);
void ShowConverterDialog(HINSTANCE instance, HWND owner, ServerRuntime* runtime);

}  // namespace velmor::ui
