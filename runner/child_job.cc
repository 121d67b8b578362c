#include "runner/child_job.h"

#include "runner/debug_log.h"

HANDLE ChildJob() {
  // Thread-safe once: the capsule and the backend launcher may ask first.
  static const HANDLE job = [] {
    HANDLE created = ::CreateJobObjectW(nullptr, nullptr);
    if (created == nullptr) {
      DebugLogF("[KR] CreateJobObject for children failed: %lu", ::GetLastError());
      return created;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits))) {
      // Without kill-on-close the job would only hold children back.
      DebugLogF("[KR] SetInformationJobObject for children failed: %lu", ::GetLastError());
      ::CloseHandle(created);
      return HANDLE{nullptr};
    }
    return created;
  }();
  return job;
}

bool CreateProcessInChildJob(const wchar_t* application,
                             wchar_t* command_line,
                             DWORD flags,
                             void* environment,
                             const wchar_t* directory,
                             STARTUPINFOW* startup,
                             PROCESS_INFORMATION* process) {
  const auto create = [&] {
    return ::CreateProcessW(application, command_line, nullptr, nullptr, FALSE,
                            flags | CREATE_SUSPENDED, environment, directory, startup,
                            process) != FALSE;
  };
  // ERROR_INTERNAL_ERROR is transient (seen under a loaded Wine server): one
  // more try before the child is given up.
  if (!create() && (::GetLastError() != ERROR_INTERNAL_ERROR || !create())) {
    return false;
  }
  HANDLE job = ChildJob();
  if (job != nullptr && !::AssignProcessToJobObject(job, process->hProcess)) {
    DebugLogF("[KR] AssignProcessToJobObject failed: %lu", ::GetLastError());
  }
  ::ResumeThread(process->hThread);
  return true;
}
