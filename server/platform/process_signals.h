// The requests a console host gets from outside: stop (Ctrl+C, SIGINT,
// SIGTERM, closing the console) and reload the settings (SIGHUP).
#pragma once

namespace velmor::platform {

enum class ProcessSignal { kNone, kStop, kReload };

void InstallProcessSignalHandlers();
// The oldest pending request, kStop before kReload; waits at most the
// time-out for one.
ProcessSignal WaitProcessSignal(unsigned timeout_ms);

// This process's id.
int CurrentProcessId();
// Asks another running copy of this same program, by its process id, to
// reload its settings (SIGHUP). False when there is no such process, when
// the id now belongs to another program, or where a console program cannot
// be asked (Windows).
bool RequestReloadOfCopy(int process_id);
// True when the process id names another running copy of this same program
// (not this process): the same program file name, still running.
bool IsCopyRunning(int process_id);

}  // namespace velmor::platform
