// The requests a console host gets from outside: stop (Ctrl+C, SIGINT,
// SIGTERM, closing the console) and reload the settings (SIGHUP).
#pragma once

namespace velmor::platform {

enum class ProcessSignal { kNone, kStop, kReload };

void InstallProcessSignalHandlers();
// The oldest pending request, kStop before kReload; waits at most the
// time-out for one.
ProcessSignal WaitProcessSignal(unsigned timeout_ms);

}  // namespace velmor::platform
