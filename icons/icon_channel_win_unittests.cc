// The icon channel of a main window in this process, through the UI bridge: this
// program's own alpha icon and shell icons, then the seams.
#include "icons/icon_channel.h"

#include <objidl.h>  // before GDI+, which needs it
#include <gdiplus.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include "capsule/capsule_pipe.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/unique_resource.h"
#include "runner/utils.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/log_reader.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"
#include "winrt/com_ptr.h"

namespace {

namespace fs = std::filesystem;
namespace gdip = Gdiplus::DllExports;
using flutter::EncodableList;
using flutter::EncodableValue;
using kr_test::CallResult;

constexpr char kApp[] = "C:\\kr_icon_tests\\app.exe";
constexpr char kUnicodeApp[] = "C:\\kr_icon_tests\\Zo\xc3\xab\\\xe5\xba\x94\xe7\x94\xa8\\app.exe";
constexpr char kLink[] = "C:\\kr_icon_tests\\app.lnk";
constexpr char kDanglingLink[] = "C:\\kr_icon_tests\\gone.lnk";

fs::path CacheFolder() {
  wchar_t folder[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder);
  return fs::path(folder) / "Kestrune" / "app_icons";
}

EncodableValue List(std::initializer_list<EncodableValue> items) {
  return EncodableValue(EncodableList(items));
}
EncodableValue AppItem(const EncodableValue& path) {
  return EncodableValue(flutter::EncodableMap{{EncodableValue("path"), path}});
}
EncodableValue Entry(const char* path, const char* png) {
  return EncodableValue(flutter::EncodableMap{
      {EncodableValue("path"), EncodableValue(path)},
      {EncodableValue("icon"), EncodableValue(Utf16ToUtf8((CacheFolder() / png).c_str()))}});
}

HICON SmallIcon(const std::wstring&, IconMethod) {  // monochrome, 16 x 16
  static const BYTE bits[16 * 2] = {};
  return ::CreateIcon(nullptr, 16, 16, 1, 1, bits, bits);
}

void MakeLink(const wchar_t* link, const wchar_t* target) {
  winrt::ComPtr<IShellLinkW> shell_link;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IShellLinkW, shell_link.put_void()));
  shell_link->SetPath(target);
  ASSERT_HRESULT_SUCCEEDED(shell_link.As<IPersistFile>(IID_IPersistFile)->Save(link, TRUE));
}

// The PNG |name| is this program's icon (tools/make_alpha_icon.py): pixel (x, y)
// has alpha x*8 + y%8, red 0xC0, green y*8, blue 0x20.
void ExpectAlphaIcon(const char* name) {
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  Gdiplus::GpBitmap* png = nullptr;
  gdip::GdipCreateBitmapFromFile((CacheFolder() / name).c_str(), &png);
  int wrong = 0;  // a missing, smaller or scaled image reads wrong pixels
  for (uint32_t i = 0; i < 32 * 32; ++i) {
    Gdiplus::ARGB pixel = 0;
    gdip::GdipBitmapGetPixel(png, i % 32, i / 32, &pixel);
    uint32_t alpha = i % 32 * 8 + i / 32 % 8;
    wrong +=
        alpha == 0 ? (pixel >> 24 != 0) : (pixel != (alpha << 24 | 0xC00020u | i / 32 * 8 << 8));
  }
  EXPECT_EQ(wrong, 0) << name;
  gdip::GdipDisposeImage(png);
  Gdiplus::GdiplusShutdown(token);
}

// The main window runs its messages on a thread of its own, so this thread can
// wait for answers as the interface does.
class IconChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    fs::remove_all(CacheFolder().parent_path());  // a fresh profile
    saved_ = GetIconSeams();
    kr_test::ScopedEnvironment setting(L"KR_UI_BRIDGE", bridge_.Setting().c_str());
    std::promise<FlutterWindow*> created;
    host_ = std::thread([this, &created] {
      FlutterWindow window(flutter::DartProject(L"data"));
      created.set_value(window.Create(L"kr_icon_test", {10, 10}, {400, 300}) ? &window : nullptr);
      while (!quit_) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
          ::DispatchMessageW(&msg);
        }
      }
      window.Destroy();
    });
    window_ = created.get_future().get();
    ASSERT_NE(window_, nullptr);
    ui_ = bridge_.WaitForConnection("main");
    ASSERT_NE(ui_, nullptr);
  }
  void TearDown() override {
    quit_ = true;
    host_.join();
    GetIconSeams() = saved_;
    SetCapsuleExecutable(L"");
  }
  CallResult Call(const char* method, const EncodableValue& arguments = {}) {
    return ui_->Call("kestrune/icon", method, arguments, 20000);
  }
  std::future<CallResult> CallLater(const char* method, const EncodableValue& arguments) {
    return std::async(std::launch::async, [=, this] { return Call(method, arguments); });
  }

  kr_test::LogReader log_{DebugLogPath()};
  kr_test::UiBridgeServer bridge_;
  IconSeams saved_;
  std::thread host_;
  std::atomic<bool> quit_{false};
  FlutterWindow* window_ = nullptr;
  kr_test::BridgeConnection* ui_ = nullptr;
};

TEST_F(IconChannelTest, ShellIconsAreCachedOnceForBothMethods) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // for the links
  fs::remove_all("C:\\kr_icon_tests");
  const wchar_t* unicode_app = L"C:\\kr_icon_tests\\Zo\u00eb\\\u5e94\u7528\\app.exe";
  fs::create_directories(fs::path(unicode_app).parent_path());
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_TRUE(fs::copy_file(self, kApp) && fs::copy_file(self, unicode_app));
  MakeLink(L"C:\\kr_icon_tests\\app.lnk", L"C:\\kr_icon_tests\\app.exe");
  MakeLink(L"C:\\kr_icon_tests\\gone.lnk", L"C:\\kr_icon_tests\\gone.exe");

  EncodableValue request = List({AppItem(kApp), AppItem(kUnicodeApp), AppItem(kLink),
                                 AppItem(kDanglingLink), AppItem(7), "C:\\not_a_map.exe", 3});
  EncodableList entries{
      Entry(kApp, "7283498261004018236.png"), Entry(kUnicodeApp, "15149098906341810645.png"),
      Entry(kLink, "11719549392111505451.png"), Entry(kDanglingLink, "11781892279713581209.png")};
  EXPECT_EQ(Call("extractAppIcons", request).value, EncodableValue(entries));
  EXPECT_TRUE(log_.WaitForMessage("[Icon] item 4: path is not a string"));
  EXPECT_TRUE(log_.WaitForMessage("[Icon] done: ok=4 failIcon=0 failSave=0 results=4"));
  // The live shortcut gave its target's icon; the dangling one a shell icon.
  for (const char* png :
       {"7283498261004018236.png", "15149098906341810645.png", "11719549392111505451.png"}) {
    ExpectAlphaIcon(png);
  }

  auto written = fs::last_write_time(CacheFolder() / "7283498261004018236.png");
  EXPECT_EQ(Call("extractAppIcons", request).value, EncodableValue(entries));
  EXPECT_TRUE(log_.WaitForMessage("[Icon] done: ok=0 failIcon=0 failSave=0 results=4"));
  EXPECT_EQ(Call("extractFileIcons", List({kApp, 5, kUnicodeApp})).value,
            List({entries[0], entries[1]}));
  EXPECT_EQ(fs::last_write_time(CacheFolder() / "7283498261004018236.png"), written);
}

TEST_F(IconChannelTest, ArgumentsSizeFloorsAndNoLocalAppData) {
  for (const char* method : {"extractAppIcons", "extractFileIcons"}) {
    for (const EncodableValue& arguments : {EncodableValue(), EncodableValue("C:\\a.exe")}) {
      CallResult answer = Call(method, arguments);
      EXPECT_TRUE(answer.kind == CallResult::Kind::kSuccess && answer.value.IsNull()) << method;
    }
    EXPECT_EQ(Call(method, List({})).value, List({}));
  }
  EXPECT_EQ(Call("extractIcons", List({})).kind, CallResult::Kind::kNotImplemented);
  EXPECT_EQ(log_.CountMessages("[Icon] extractAppIcons called"), 3u);
  EXPECT_EQ(log_.CountMessages("[Icon] no args"), 1u);
  EXPECT_EQ(log_.CountMessages("[Icon] args not a list"), 1u);
  GetIconSeams().icon_for = SmallIcon;
  EXPECT_EQ(Call("extractAppIcons", List({AppItem("C:\\small.exe")})).value, List({}));
  EXPECT_TRUE(log_.WaitForMessage("[Icon] done: ok=0 failIcon=1 failSave=0 results=0"));
  EXPECT_EQ(Call("extractFileIcons", List({"C:\\small.exe"})).value,
            List({Entry("C:\\small.exe", "2495619619412795885.png")}));

  GetIconSeams().local_app_data = [] { return std::optional<std::wstring>(); };
  for (const char* method : {"extractAppIcons", "extractFileIcons"}) {
    CallResult refused = Call(method, List({}));
    EXPECT_EQ(refused.code + "|" + refused.message, "NO_APPDATA|") << method;
  }
}

TEST_F(IconChannelTest, AWaitingItemHoldsUpNeitherTheHookNorTheWindowChannel) {
  GetIconSeams().icon_for = SmallIcon;
  UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<int> waiting{0};
  GetIconSeams().before_item = [&](const std::string& path) {
    if (path == "C:\\slow.exe") {
      ++waiting;
      ::WaitForSingleObject(release.get(), 20000);
    }
  };
  auto slow = CallLater("extractFileIcons", List({"C:\\slow.exe", 1, "C:\\small.exe"}));
  ASSERT_TRUE(kr_test::WaitUntil([&] { return waiting == 1; }));
  auto queued = CallLater("extractAppIcons", List({AppItem("C:\\small.exe")}));

  EXPECT_EQ(ui_->Call("kestrune/window", "hideLineWindow").kind, CallResult::Kind::kSuccess);
  kr_test::Type({kr_test::Down(VK_DELETE), kr_test::Up(VK_DELETE)});
  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "close_tag"));
  // Requests are done in order: the second waits behind the first.
  EXPECT_EQ(queued.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

  ::SetEvent(release.get());
  EXPECT_EQ(slow.get().value, List({Entry("C:\\slow.exe", "8960643774042871239.png"),
                                    Entry("C:\\small.exe", "2495619619412795885.png")}));
  EXPECT_EQ(queued.get().value, List({Entry("C:\\small.exe", "2495619619412795885.png")}));

  // Torn down while an item waits and a request is queued: the rest of the list
  // is given up, and both calls are answered (empty) before the messenger goes.
  ::ResetEvent(release.get());
  slow = CallLater("extractFileIcons", List({"C:\\slow.exe", "C:\\other.exe"}));
  ASSERT_TRUE(kr_test::WaitUntil([&] { return waiting == 2; }));
  queued = CallLater("extractAppIcons", List({AppItem("C:\\small.exe")}));
  ASSERT_TRUE(
      kr_test::WaitUntil([&] { return log_.CountMessages("[Icon] extractAppIcons called") == 2; }));
  quit_ = true;
  ASSERT_TRUE(kr_test::WaitUntil([&] { return !window_->icon_worker.running(); }));
  ::SetEvent(release.get());
  EXPECT_EQ(slow.get().kind, CallResult::Kind::kNotImplemented);
  EXPECT_EQ(queued.get().kind, CallResult::Kind::kNotImplemented);
  EXPECT_FALSE(fs::exists(CacheFolder() / "4775702149079782832.png"));
}

}  // namespace
