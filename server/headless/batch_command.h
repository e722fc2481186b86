// velmorvr-server [--home DIR] --make-thumbnails [FOLDER...] and
// velmorvr-server [--home DIR] --convert [PATH...]: the server window's two
// batch tools from a shell, with their progress as lines on the terminal.
#pragma once

#include "headless/headless_host.h"

namespace velmor {

// The usage lines of the two modes.
extern const char kBatchUsage[];

// Runs the mode of the options on the home's data table and thumbnails.
// Ctrl+C (SIGINT, SIGTERM) cancels after the current file. The exit code:
// 0 the run completed, 1 it was cancelled, 2 bad arguments, 3 it could not
// run (a server with this home is running, or the settings cannot be read).
int RunHeadlessBatch(const HeadlessOptions& options);

}  // namespace velmor
