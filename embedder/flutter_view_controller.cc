#include <flutter/flutter_view_controller.h>

#include "embedder/flutter_view_window.h"

namespace flutter {

FlutterViewController::FlutterViewController(int width, int height, const DartProject& project) {
  auto engine = std::make_unique<FlutterEngine>(project);
  if (!engine->Run()) {
    return;
  }
  auto native_view = std::make_unique<FlutterDesktopView>(engine.get(), width, height);
  if (native_view->window == nullptr) {
    return;
  }
  FlutterDesktopView* raw_view = native_view.get();
  engine->SetStatusListener([raw_view] { raw_view->Invalidate(); });
  engine->SetViewWindow(raw_view->window);
  engine_ = std::move(engine);
  native_view_ = std::move(native_view);
  view_ = std::make_unique<FlutterView>(native_view_.get());
  native_controller_ = std::make_unique<FlutterDesktopViewController>();
  native_controller_->view = native_view_.get();
}

FlutterViewController::~FlutterViewController() {
  if (engine_) {
    engine_->SetStatusListener(nullptr);
  }
  // The view goes first: its painting reads the engine.
  native_controller_.reset();
  view_.reset();
  native_view_.reset();
  engine_.reset();
}

void FlutterViewController::ForceRedraw() {
  FlutterDesktopViewControllerForceRedraw(native_controller_.get());
}

std::optional<LRESULT> FlutterViewController::HandleTopLevelWindowProc(HWND, UINT, WPARAM, LPARAM) {
  // This engine has no top-level behaviour of its own (no text input or
  // accessibility state to update).
  return std::nullopt;
}

}  // namespace flutter
