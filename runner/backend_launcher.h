#ifndef KESTRUNE_RUNNER_BACKEND_LAUNCHER_H_
#define KESTRUNE_RUNNER_BACKEND_LAUNCHER_H_

// Starts the assistant's local Python backends (main role, before any window).
void LaunchBackends();

#endif  // KESTRUNE_RUNNER_BACKEND_LAUNCHER_H_
