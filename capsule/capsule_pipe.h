#ifndef KESTRUNE_CAPSULE_CAPSULE_PIPE_H_
#define KESTRUNE_CAPSULE_CAPSULE_PIPE_H_

#include <string>

class FlutterWindow;

// The main process's side of the capsule: the pipe server, the capsule process
// and the pipe thread that moves framed messages both ways.

// The program started as the capsule: the running executable unless a test
// program named another, since a test program started as the capsule would run
// its whole suite again in the child. An empty path restores the default.
void SetCapsuleExecutable(const std::wstring& path);

// Creates the pipe, starts the capsule process and the pipe thread. Main role,
// once, from the window's creation.
void StartCapsule(FlutterWindow* window);

// Clears the run flag, terminates the capsule process, closes the pipe and
// joins the pipe thread; harmless when nothing was started.
void StopCapsule(FlutterWindow* window);

// Queues one message for the capsule; any thread; never waits on the capsule.
void PipeSend(FlutterWindow* window, const std::string& message);

// Body of the pipe thread.
void CapsulePipeThread(FlutterWindow* window);

#endif  // KESTRUNE_CAPSULE_CAPSULE_PIPE_H_
