#ifndef KESTRUNE_RUNNER_FOCUS_ACTIVATION_H_
#define KESTRUNE_RUNNER_FOCUS_ACTIVATION_H_

#include <windows.h>

#include <cstdint>

// The collapse-on-focus-loss logic that both the main subclass procedure and
// the window's handler run on activation messages; whichever sees a loss
// first decides it, the other then finds the collapse already sent.

enum class ActivationSource { kMessageHandler, kSubclassProc };

// Focus arrived: the next loss may collapse again.
void NoteFocusGained();

// WM_ACTIVATE with WA_INACTIVE on |window|; |other| is the window being activated.
void HandleFocusLoss(HWND window, HWND other, ActivationSource source);

// WM_ACTIVATEAPP.
void HandleActivateApp(bool active);

enum class CollapseResult { kSent, kAlreadySent, kFailed };

// Takes the one collapse of this focus loss and sends "esc_collapse"; when
// sending fails the collapse is released for the polling thread's retry.
// |log_line| is written once the collapse is taken, before sending.
CollapseResult SendCollapse(uint64_t now, const char* log_line);

#endif  // KESTRUNE_RUNNER_FOCUS_ACTIVATION_H_
