#ifndef KESTRUNE_EMBEDDER_FLUTTER_VIEW_CONTROLLER_H_
#define KESTRUNE_EMBEDDER_FLUTTER_VIEW_CONTROLLER_H_

#include <windows.h>

#include <memory>
#include <optional>

#include <flutter/dart_project.h>
#include <flutter/flutter_engine.h>
#include <flutter/flutter_view.h>
#include <flutter_windows.h>

namespace flutter {

// Owns an engine and its view.
class FlutterViewController {
 public:
  FlutterViewController(int width, int height, const DartProject& project);
  ~FlutterViewController();
  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  // Null when start-up failed.
  FlutterEngine* engine() const { return engine_.get(); }
  FlutterView* view() const { return view_.get(); }

  void ForceRedraw();

  // Gives the engine first look at the top-level window's messages; a value
  // means the message was consumed.
  std::optional<LRESULT> HandleTopLevelWindowProc(HWND hwnd,
                                                  UINT message,
                                                  WPARAM wparam,
                                                  LPARAM lparam);

 private:
  std::unique_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterDesktopView> native_view_;
  std::unique_ptr<FlutterDesktopViewController> native_controller_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_FLUTTER_VIEW_CONTROLLER_H_
