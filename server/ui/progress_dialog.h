// The modal progress window (135) of a batch tool's run: the run shows its
// counters in the title and the file in the text; the button cancels the
// run, and once the run has said "完了しました。" it is the user's "OK".
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "thumbnail/batch_job.h"

namespace velmor::ui {

class ProgressDialog final : public BatchProgress {
 public:
  ProgressDialog(HINSTANCE instance, std::string title, std::string text)
      : instance_(instance), title_(std::move(title)), text_(std::move(text)) {}

  // Starts the run on the job's worker and shows the window until the run
  // has ended; then stops the worker. False when the run could not start
  // (no window was shown).
  bool Run(HWND owner, BatchJob* job, BatchJob::Run run);

  // Called by the run on its worker thread.
  void SetTitle(const std::string& title) override;
  void SetText(const std::string& text) override;
  void SetButtonText(const std::string& text) override;
  void BeforeWalk(BatchJob& job) override;
  void AfterFinalText(BatchJob& job) override;

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_;
  std::string title_;
  std::string text_;
  BatchJob* job_ = nullptr;
  std::atomic<HWND> window_{nullptr};
};

}  // namespace velmor::ui
