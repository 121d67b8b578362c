#include "runner/backend_launcher.h"

#include "runner/debug_log.h"

void LaunchBackends() {
  // The launcher (folder layout, port probes, job object) is not built yet;
  // the host runs without its backends until then.
  DebugLog("[KR] LaunchBackends: backend launcher not implemented; no backends started");
}
