#ifndef KESTRUNE_RUNNER_CHILD_JOB_H_
#define KESTRUNE_RUNNER_CHILD_JOB_H_

#include <windows.h>

// The one job object of the process for every child it starts (the capsule and
// the backends). Its only limit is kill-on-close, so the children end with
// this process, also when it crashes or is killed. Created on first use and
// never closed by the program; null when it could not be created.
HANDLE ChildJob();

// Starts |application| suspended, puts it into the child job and only then lets
// it run, so nothing it starts can escape the job. The arguments are those of
// CreateProcessW; CREATE_SUSPENDED is added. False (with the error code of
// CreateProcessW in GetLastError) when the process could not be created; a
// process that could not join the job still runs, and that is logged.
bool CreateProcessInChildJob(const wchar_t* application,
                             wchar_t* command_line,
                             DWORD flags,
                             void* environment,
                             const wchar_t* directory,
                             STARTUPINFOW* startup,
                             PROCESS_INFORMATION* process);

#endif  // KESTRUNE_RUNNER_CHILD_JOB_H_
