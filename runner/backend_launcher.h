#ifndef KESTRUNE_RUNNER_BACKEND_LAUNCHER_H_
#define KESTRUNE_RUNNER_BACKEND_LAUNCHER_H_

// Starts the assistant's local Python backends (main role, before any window).
void LaunchBackends();

// Whether something accepts a TCP connection on 127.0.0.1:|port|, waiting at
// most 250 ms. Winsock must be started.
bool ProbeLocalPort(int port);

#endif  // KESTRUNE_RUNNER_BACKEND_LAUNCHER_H_
