#ifndef KESTRUNE_EMBEDDER_FLUTTER_VIEW_WINDOW_H_
#define KESTRUNE_EMBEDDER_FLUTTER_VIEW_WINDOW_H_

#include <windows.h>

#include <string>
#include <vector>

namespace flutter {
class FlutterEngine;
}

// The view's native window; created parked under the message-only parent until
// the host adopts it as its child content.
struct FlutterDesktopView {
  FlutterDesktopView(flutter::FlutterEngine* engine, int width, int height);
  ~FlutterDesktopView();
  FlutterDesktopView(const FlutterDesktopView&) = delete;
  FlutterDesktopView& operator=(const FlutterDesktopView&) = delete;

  void Invalidate();
  // What the view paints: the role, the bridge's state, then the traffic.
  std::vector<std::string> StatusLines() const;

  flutter::FlutterEngine* engine;
  HWND window = nullptr;
};

// The controller handle of the C entry points: which view it drives.
struct FlutterDesktopViewController {
  FlutterDesktopView* view = nullptr;
};

#endif  // KESTRUNE_EMBEDDER_FLUTTER_VIEW_WINDOW_H_
