#ifndef KESTRUNE_EMBEDDER_FLUTTER_VIEW_H_
#define KESTRUNE_EMBEDDER_FLUTTER_VIEW_H_

#include <flutter_windows.h>
#include <windows.h>

namespace flutter {

// The view: a child window of class "FLUTTERVIEW" that paints the process role
// and the latest channel traffic, so a screenshot shows what the interface saw.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  HWND GetNativeWindow() { return FlutterDesktopViewGetHWND(view_); }

 private:
  FlutterDesktopViewRef view_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_FLUTTER_VIEW_H_
