#ifndef KESTRUNE_RUNNER_RESOURCE_H_
#define KESTRUNE_RUNNER_RESOURCE_H_

// Shared between runner.rc and the C++ sources (LoadIcon etc.).
#define IDI_APP_ICON 101

#endif  // KESTRUNE_RUNNER_RESOURCE_H_
