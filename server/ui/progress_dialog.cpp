#include "ui/progress_dialog.h"

#include "platform/win32/wide.h"
#include "ui/resource.h"

namespace velmor::ui {
namespace {

using platform::Widen;

constexpr UINT_PTR kDoneTimer = 1;
// The run and the window look at each other's flags this often.
constexpr DWORD kPollMs = 100;

}  // namespace

bool ProgressDialog::Run(HWND owner, BatchJob* job, BatchJob::Run run) {
  job_ = job;
  if (!job->Start(std::move(run))) return false;
  DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_PROGRESS), owner, &Proc,
                  reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  job->Stop();
  return true;
}

INT_PTR CALLBACK ProgressDialog::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lparam);
  auto* self = reinterpret_cast<ProgressDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(window, Widen(self->title_).c_str());
      SetDlgItemTextW(window, IDC_PROGRESS_TEXT, Widen(self->text_).c_str());
      SetTimer(window, kDoneTimer, kPollMs, nullptr);
      self->window_ = window;
      return TRUE;
    case WM_COMMAND:
      // "キャンセル" stops the run after its current file; "OK" (the same
      // button once the run is finished) lets it end.
      if (LOWORD(wparam) == IDC_PROGRESS_BUTTON || LOWORD(wparam) == IDOK ||
          LOWORD(wparam) == IDCANCEL) {
        self->job_->Cancel();  // also Enter and Esc
      }
      return TRUE;
    case WM_CLOSE:
      self->job_->Cancel();
      return TRUE;
    case WM_TIMER:
      if (self->job_->done()) {
        KillTimer(window, kDoneTimer);
        EndDialog(window, 0);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void ProgressDialog::SetTitle(const std::string& title) {
  if (HWND window = window_) SetWindowTextW(window, Widen(title).c_str());
}

void ProgressDialog::SetText(const std::string& text) {
  if (HWND window = window_) SetDlgItemTextW(window, IDC_PROGRESS_TEXT, Widen(text).c_str());
}

void ProgressDialog::SetButtonText(const std::string& text) {
  if (HWND window = window_) SetDlgItemTextW(window, IDC_PROGRESS_BUTTON, Widen(text).c_str());
}

void ProgressDialog::BeforeWalk(BatchJob& job) {
  while (window_ == nullptr && !job.cancelled()) Sleep(kPollMs);
}

void ProgressDialog::AfterFinalText(BatchJob& job) {
  // The window ends once the run has returned, after the user's "OK".
  while (!job.cancelled()) Sleep(kPollMs);
}

}  // namespace velmor::ui
