#include "runner/flutter_window.h"

#include "capsule/capsule_pipe.h"
#include "channels/window/hitregion_channel.h"
#include "channels/window/window_channel.h"
#include <flutter/standard_method_codec.h>
#include "feeds/calendar/calendar_sync.h"
#include "feeds/chat/chat_listener.h"
#include "feeds/media/media_watcher.h"
#include "runner/plugin_registrants.h"
#include "feeds/system/system_monitor.h"
#include "input/hook_watchdog.h"
#include "input/hotkey_channel.h"
#include "input/hotkey_dispatch.h"
#include "input/hotkey_event.h"
#include "input/keyboard_hook.h"
#include "input/selection_hook.h"
#include "runner/debug_log.h"
#include "runner/win32_procs.h"
#include "tray/tray_icon.h"
#include "runner/focus/blur_poll.h"
#include "runner/focus/interaction_state.h"
#include "runner/focus/message_handler.h"
#include "runner/focus/subclass_procs.h"
#include "runner/main_thread_tasks.h"
#include "runner/search_tool.h"
#include "runner/utils.h"

namespace {

constexpr int kInitialViewWidth = 900;
constexpr int kInitialViewHeight = 720;
constexpr UINT kRestyleFlags = 0x237;  // no size/move/z-order/activate, frame changed, no owner
constexpr DWORD kCornerPreferenceAttribute = 33;
constexpr DWORD kNonClientRenderingPolicyAttribute = 2;

std::unique_ptr<Channel> MakeChannel(flutter::FlutterEngine* engine, const char* name) {
  return std::make_unique<Channel>(engine->messenger(), name,
                                   &flutter::StandardMethodCodec::GetInstance());
}

void SetDwordAttribute(HWND window, DWORD attribute, DWORD value) {
  GetWin32Procs().dwm_set_window_attribute(window, attribute, &value, sizeof(value));
}

void StripFrame(HWND window) {
  ClearFrameStyles(window);
  ::SetWindowPos(window, nullptr, 0, 0, 0, 0, kRestyleFlags);
}

}  // namespace

FlutterWindow::FlutterWindow(const flutter::DartProject& project) : project(project) {}

FlutterWindow::~FlutterWindow() {
  // Released without its window ever being destroyed: the hooks and threads
  // must not outlive the object they point to.
  if (flutter_window_instance.load() == this) {
    FlutterWindow::OnDestroy();
  }
  StopCalendarSync(this);
}

bool FlutterWindow::OnCreate() {
  if (!Win32Window::OnCreate()) {
    return false;
  }
  is_capsule = IsCapsuleProcess();

  controller = std::make_unique<flutter::FlutterViewController>(kInitialViewWidth,
                                                                kInitialViewHeight, project);
  if (!controller->engine() || !controller->view()) {
    return false;
  }
  flutter::FlutterEngine* engine = controller->engine();
  RegisterPlugins(engine);
  SetChildContent(controller->view()->GetNativeWindow());

  hitregion_channel = MakeChannel(engine, "kestrune/hitregion");
  hitregion_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        HitRegionChannelHandler(this, call, std::move(result));
      });
  window_channel = MakeChannel(engine, "kestrune/window");
  window_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        WindowChannelHandler(this, call, std::move(result));
      });
  icon_channel = MakeChannel(engine, "kestrune/icon");
  icon_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        IconChannelHandler(&icon_worker, call, std::move(result));
      });

  HWND hwnd = GetHandle();
  if (is_capsule) {
    if (hwnd != nullptr) {
      SubclassMainWindow(hwnd);
      SubclassFirstChild(hwnd);
      SetDwordAttribute(hwnd, kCornerPreferenceAttribute, 1);
      SetDwordAttribute(hwnd, kNonClientRenderingPolicyAttribute, 1);
      StripFrame(hwnd);
    }
    DebugLog("[KR] Capsule process style applied, continuing to channel setup");
    AttachToProcess();
    StartBlurPollThread();
  } else {
    AttachToProcess();
    StartBlurPollThread();
    if (hwnd != nullptr) {
      SubclassMainWindow(hwnd);
      SetDwordAttribute(hwnd, kCornerPreferenceAttribute, 1);
      StripFrame(hwnd);
      SubclassFirstChild(hwnd);
    }
    controller->ForceRedraw();
    is_main = true;
    blur_guard = ::GetTickCount64() + kGuardAfterCreateMs;
    collapse_sent = false;
    StartCapsule(this);
    DebugLog("[KR] OnCreate done, main window ready");
  }

  hotkey_channel = MakeChannel(engine, "kestrune/hotkey");
  hotkey_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        HotkeyChannelHandler(this, call, std::move(result));
      });
  channels_ready = true;

  if (is_capsule) {
    DebugLog("[KR] Capsule process OnCreate done (channels ready)");
    return true;
  }

  if (hwnd != nullptr) {
    RegisterDefaultHotkeys(this);
  }
  if (!keyboard_hook) {
    flutter_window_instance = this;
    InstallKeyboardHook();
  }
  StartKeyboardHookWatchdog();
  SetUpTextSelection();

  smtc_channel = MakeChannel(engine, "kestrune/smtc");
  smtc_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        SmtcChannelHandler(this, call, std::move(result));
      });
  system_monitor_channel = MakeChannel(engine, "kestrune/system_monitor");
  system_monitor_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        SystemMonitorChannelHandler(this, call, std::move(result));
      });
  wechat_channel = MakeChannel(engine, "kestrune/wechat");
  wechat_channel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        WechatChannelHandler(this, call, std::move(result));
      });
  return true;
}

void FlutterWindow::AttachToProcess() {
  flutter_window_instance = this;
  GetMainThreadTasks().Attach(GetHandle());
}

void FlutterWindow::OnDestroy() {
  StopBlurPollThread();

  ShutDownMedia(this);
  StopSystemMonitor(this);
  StopWechatListener(this);
  icon_worker.Stop();

  StopKeyboardHookWatchdog();
  keyboard_hook.reset();
  flutter_window_instance = nullptr;
  RemoveTextSelectionHook();

  if (GetHandle() != nullptr) {
    UnregisterDefaultHotkeys(this);
  }

  StopCapsule(this);
  // Otherwise the icon lingers in the notification area until a mouse passes.
  RemoveTrayIcon();

  EndSearchTool();

  card_expanded = false;
  KeyboardHookFlags().esc_down = false;

  channels_ready = false;
  GetMainThreadTasks().Detach();
  hotkey_channel.reset();
  smtc_channel.reset();
  system_monitor_channel.reset();
  wechat_channel.reset();

  // These three channels live on until the destructor, but the messenger goes
  // with the controller: they stop handling now, once (a second teardown finds
  // the messenger gone).
  for (Channel* channel : {hitregion_channel.get(), window_channel.get(), icon_channel.get()}) {
    if (channel != nullptr && controller) {
      channel->SetMethodCallHandler(nullptr);
    }
  }
  controller.reset();
  Win32Window::OnDestroy();
}

LRESULT FlutterWindow::MessageHandler(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kMainThreadTasksMsg) {
    GetMainThreadTasks().Drain();
    return 0;
  }
  if (message == kQuitMsg) {
    ::DestroyWindow(hwnd);
    return 0;
  }
  if (std::optional<LRESULT> answer =
          HandleMainWindowMessage(this, hwnd, message, wparam, lparam)) {
    return *answer;
  }
  return Win32Window::MessageHandler(hwnd, message, wparam, lparam);
}

void FlutterWindow::RegisterPlugins(flutter::FlutterEngine* engine) {
  DesktopDropPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("DesktopDropPlugin"));
  ScreenRetrieverPluginRegisterWithRegistrar(
      engine->GetRegistrarForPlugin("ScreenRetrieverPlugin"));
  SystemTrayPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("SystemTrayPlugin"));
  UrlLauncherWindowsRegisterWithRegistrar(engine->GetRegistrarForPlugin("UrlLauncherWindows"));
  WebviewWindowsPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("WebviewWindowsPlugin"));
  WindowManagerPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("WindowManagerPlugin"));
}
