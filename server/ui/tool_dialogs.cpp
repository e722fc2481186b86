#include "ui/tool_dialogs.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "command/library_context.h"
#include "core/paths.h"
#include "core/window_rect.h"
#include "library/list_file.h"
#include "platform/win32/wide.h"
#include "runtime/server_runtime.h"
#include "thumbnail/converter_run.h"
#include "thumbnail/thumbnail_batch_run.h"
#include "ui/dialog_helpers.h"
#include "ui/dialog_placement.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"

namespace velmor::ui {
namespace {

using platform::Narrow;
using platform::Widen;

// Both tools remember one rectangle.
constexpr char kRectSection[] = "cdlgConvertThumbnail";

enum class Tool { kThumbnailBatch, kConverter };

// The paths of a drop, "\" turned into "/".
std::vector<std::string> DroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(WithForwardSlashes(Narrow(path)));
  }
  DragFinish(drop);
  return paths;
}

class ToolDialog {
 public:
  ToolDialog(HINSTANCE instance, ServerRuntime* runtime, Tool tool)
      : instance_(instance), runtime_(runtime), tool_(tool) {}

  void Show(HWND owner) {
    const int resource = tool_ == Tool::kConverter ? IDD_CONVERTER : IDD_THUMBNAIL_BATCH;
    DialogBoxParamW(instance_, MAKEINTRESOURCEW(resource), owner, &Proc,
                    reinterpret_cast<LPARAM>(this));
  }

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* self = reinterpret_cast<ToolDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->Handle(dialog, message, wparam);
  }

  INT_PTR Handle(HWND dialog, UINT message, WPARAM wparam) {
    switch (message) {
      case WM_INITDIALOG:
        OnOpen(dialog);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wparam) == IDC_TOOL_START) RunTool(dialog, {});
        if (LOWORD(wparam) == IDC_TOOL_CLOSE || LOWORD(wparam) == IDCANCEL) Close(dialog);
        return TRUE;
      case WM_DROPFILES:
        RunTool(dialog, DroppedPaths(reinterpret_cast<HDROP>(wparam)));
        return TRUE;
      case WM_CLOSE:
        Close(dialog);
        return TRUE;
      case WM_DESTROY:
        SaveWindowRect(kRectSection, rect_);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void OnOpen(HWND dialog) {
    LoadWindowRect(kRectSection, &rect_);
    PlaceSavedWindow(dialog, rect_);
    const BatchContext context = BatchContextFor(runtime_->settings().Copy());
    SetControlText(dialog, IDC_TOOL_SEARCH_LIST, context.search_list);
    if (tool_ == Tool::kConverter) {
      SetControlText(dialog, IDC_TOOL_OLD_MARKER_FOLDER, context.old_marker_folder);
      SetControlText(dialog, IDC_TOOL_OLD_THUMBNAIL_FOLDER, context.old_thumbnail_folder);
    }
    DragAcceptFiles(dialog, TRUE);
  }

  // The run over the dialog's lists and folders, or over what was dropped.
  void RunTool(HWND dialog, std::vector<std::string> dropped) {
    BatchContext context = BatchContextFor(runtime_->settings().Copy());
    context.table = runtime_->library().data_table();
    context.thumbnails = runtime_->library().thumbnails();
    // The library is open while the server listens.
    if (context.table == nullptr || context.thumbnails == nullptr) return;
    context.search_list = WithForwardSlashes(ControlText(dialog, IDC_TOOL_SEARCH_LIST));
    const bool converter = tool_ == Tool::kConverter;
    if (converter) {
      context.old_marker_folder =
          WithForwardSlashes(ControlText(dialog, IDC_TOOL_OLD_MARKER_FOLDER));
      context.old_thumbnail_folder =
          WithForwardSlashes(ControlText(dialog, IDC_TOOL_OLD_THUMBNAIL_FOLDER));
    }
    ProgressDialog progress(instance_, converter ? kConverterStartTitle : kThumbnailBatchStartTitle,
                            converter ? kConverterStartText : kThumbnailBatchStartText);
    BatchJob job(&progress);
    progress.Run(dialog, &job, [converter, context, dropped](BatchJob& run) {
      if (converter) {
        RunConverter(run, context, dropped);
      } else {
        RunThumbnailBatch(run, context, dropped);
      }
    });
  }

  void Close(HWND dialog) {
    KeepWindowRect(dialog, &rect_);
    EndDialog(dialog, 0);
  }

  HINSTANCE instance_;
  ServerRuntime* runtime_;
  Tool tool_;
  WindowRect rect_;
};

}  // namespace

void ShowThumbnailBatchDialog(HINSTANCE instance, HWND owner, ServerRuntime* runtime) {
  ToolDialog(instance, runtime, Tool::kThumbnailBatch).Show(owner);
}

void ShowConverterDialog(HINSTANCE instance, HWND owner, ServerRuntime* runtime) {
  ToolDialog(instance, runtime, Tool::kConverter).Show(owner);
}

}  // namespace velmor::ui
