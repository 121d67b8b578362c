#ifndef KESTRUNE_RUNNER_SINGLE_INSTANCE_H_
#define KESTRUNE_RUNNER_SINGLE_INSTANCE_H_

// Main role only. Returns false when another main instance runs: its window is
// restored if minimised and brought to the front. Otherwise holds the
// single-instance mutex (when it can be created at all) and returns true.
bool AcquireSingleInstance();

// Closes the mutex if this process holds it.
void ReleaseSingleInstance();

#endif  // KESTRUNE_RUNNER_SINGLE_INSTANCE_H_
