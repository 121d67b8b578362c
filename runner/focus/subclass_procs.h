#ifndef KESTRUNE_RUNNER_FOCUS_SUBCLASS_PROCS_H_
#define KESTRUNE_RUNNER_FOCUS_SUBCLASS_PROCS_H_

#include <windows.h>

// Window procedures installed over the top-level window and over the Flutter
// view, so activation and hit testing are decided before Flutter sees them.
extern WNDPROC prev_main_wndproc;
extern WNDPROC prev_child_wndproc;

LRESULT CALLBACK MainSubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK ChildSubclassProc(HWND window,
                                   UINT message,
                                   WPARAM wparam,
                                   LPARAM lparam) noexcept;

// Installs the main procedure over |window| and the child procedure over its
// first child window.
void SubclassMainWindow(HWND window);
void SubclassFirstChild(HWND window);

#endif  // KESTRUNE_RUNNER_FOCUS_SUBCLASS_PROCS_H_
