// Every method of every channel with every argument shape the interface could
// send by mistake, and garbage on the capsule pipe: each call is answered once,
// the host keeps answering, and its memory comes back.
#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <iostream>
#include <sstream>
#include <algorithm>
#include <random>
#include <set>
#include <tuple>

#include "tests/support/main_host_test.h"
#include "tests/support/pipe_client.h"

#include <psapi.h>  // after <windows.h>

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using Kind = CallResult::Kind;

// Each channel's methods, with the keys of their argument map after a colon.
const std::vector<std::pair<std::string, std::string>> kChannels = {
    {"kestrune/window",
     "setTopCenter positionTopCenter:topOffset,width setCenterScreen setDesktopBounds setLayered "
     "setClickThrough:enabled getCursorPos getWindowPos bringToForeground setWindowSize:w,h "
     "setWindowBounds:x,y,w,h setWindowRegion:x,y,w,h setWindowRoundedCorners:radius "
     "setBlurGuard:ms setBlurHide:enabled setAlwaysOnTop:onTop setWindowOpacity:opacity "
     "setTrayVisible:visible setMaterial:material hideOffScreen showFromIdle showCapsuleBar "
     "showLineWindow hideLineWindow "
     "showCapsuleWindow:type,json,title,artist,progress,playing,text,success,duration "
     "hideCapsuleWindow sendCapsuleCommand:json startCalendarSync getCalendarAppointments "
     "showTrayMenu"},
    {"kestrune/hitregion", "set:x,y,w,h"},
    {"kestrune/hotkey",
     "set_voice_listening:enabled set_card_expanded:expanded reRegisterHotkey:id,combo"},
    {"kestrune/icon", "extractAppIcons:path extractFileIcons:path"},
    {"kestrune/smtc", "startSmtcListener stopSmtcListener play_pause prev next play pause"},
    {"kestrune/system_monitor",
     "startSystemMonitor stopSystemMonitor getSystemSnapshot getSystemHistory:minutes"},
    {"kestrune/wechat", "startWechatListener stopWechatListener"}};

// Methods whose mistyped values read as missing: the island's rectangle, the
// capsule's render fields and raw command, and the icon requests (a list).
const std::set<std::string> kWrongTypeIsMissing = {"set", "showCapsuleWindow", "sendCapsuleCommand",
                                                   "extractAppIcons", "extractFileIcons"};

struct Method {
  std::string channel;
  std::string name;
  std::vector<std::string> keys;
};

std::vector<Method> Methods() {
  std::vector<Method> methods;
  for (const auto& [channel, entries] : kChannels) {
    std::istringstream words(entries);
    for (std::string word; words >> word;) {
      std::replace(word.begin(), word.end(), ',', ' ');
      std::istringstream parts(word.replace(std::min(word.find(':'), word.size()), 1, " "));
      Method method{channel, "", {}};
      parts >> method.name;
      for (std::string key; parts >> key;) {
        method.keys.push_back(key);
      }
      methods.push_back(method);
    }
  }
  return methods;
}

const std::string kBadUtf8 = "\xff\xfe\xc0\xaf\xed\xa0\x80 \x80";
const std::string kMiB(1 << 20, 'a');

// A value sent as the argument, or at each of the method's keys.
struct Shape {
  const char* name;
  EncodableValue value;
  bool at_every_key = false;
};

const std::vector<Shape> kShapes = {
    // On the wire a call always carries a value: "absent" is every key missing.
    {"absent", EncodableMap{}},
    {"null", {}},
    {"bool", true},
    {"int32", int32_t{7}},
    {"int64", int64_t{1} << 40},
    {"double", 2.5},
    {"NaN", std::nan("")},
    {"+inf", HUGE_VAL},
    {"-inf", -HUGE_VAL},
    {"empty string", ""},
    {"1 MiB string", kMiB},
    {"invalid UTF-8", kBadUtf8},
    {"list", EncodableList{{},
                           int64_t{1} << 31,
                           kBadUtf8,
                           EncodableList{},
                           Args({{"path", -32000}}),
                           Args({{"path", "C:\\none.exe"}})}},
    {"wrong types", EncodableList{int32_t{1}}, true},
    {"-1", int32_t{-1}, true},
    {"2^31", int64_t{1} << 31, true},
    {"+32000", int32_t{32000}, true},
    {"-32000", -32000.0, true},
    {"1e300", 1e300, true},
    {"NaN values", std::nan(""), true},
    {"-inf values", -HUGE_VAL, true},
    {"hostile string", kBadUtf8 + kMiB, true}};

// |shape|'s value, or a map of it at each of the method's keys (or at an unknown one).
EncodableValue Argument(const Method& method, const Shape& shape) {
  if (!shape.at_every_key) {
    return shape.value;
  }
  EncodableMap map;
  for (const std::string& key : method.keys.empty() ? std::vector<std::string>{"x"} : method.keys) {
    map[EncodableValue(key)] = shape.value;
  }
  return EncodableValue(map);
}

HWND VisibleMenu() {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu != nullptr && ::IsWindowVisible(menu) ? menu : nullptr;
}

// The commit charge: private bytes (Wine reports no PrivateUsage for another process).
SIZE_T PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  ::GetProcessMemoryInfo(process, &counters, sizeof(counters));
  return counters.PagefileUsage;
}

class BadInputSweepTest : public MainHostTest {
 protected:
  void SetUp() override { StartHosts(); }

  // One call; the tray menu's call returns only once the menu it opened closes.
  CallResult Call(const std::string& channel, const std::string& name, const EncodableValue& args) {
    if (name != "showTrayMenu") {
      return ui_->Call(channel, name, args);
    }
    auto call =
        std::async(std::launch::async, [&] { return ui_->Call(channel, name, args, 10000); });
    while (call.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (HWND menu = VisibleMenu()) {
        ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      }
    }
    return call.get();
  }

  // Fails unless |result| is one answer of an accepted kind.
  void ExpectOneAnswer(const CallResult& result, const std::string& what) {
    EXPECT_NE(result.kind, Kind::kNoAnswer) << what;
    if (result.kind == Kind::kError) {
      EXPECT_FALSE(result.code.empty()) << what;
    }
    EXPECT_EQ(::WaitForSingleObject(host_->handle(), 0), WAIT_TIMEOUT) << what;
  }
};

TEST_F(BadInputSweepTest, EveryMethodAnswersEveryShapeOnce) {
  const SIZE_T start = PrivateBytes(host_->handle());
  ASSERT_GT(start, 0u);
  for (const Method& method : Methods()) {
    for (const Shape& shape : kShapes) {
      const std::string what = method.channel + " " + method.name + " " + shape.name;
      CallResult result = Call(method.channel, method.name, Argument(method, shape));
      ExpectOneAnswer(result, what);
      ASSERT_FALSE(HasFailure()) << what;
      // A present key of the wrong type is refused, naming the key, except where
      // such a value documentedly counts as missing.
      if (std::string(shape.name) == "wrong types" && !method.keys.empty() &&
          !kWrongTypeIsMissing.contains(method.name)) {
        EXPECT_EQ(result.code, "BAD_ARGS") << what;
        EXPECT_NE(result.message.find(method.keys[0]), std::string::npos) << what;
      }
    }
  }
  // Right types with hostile content, for the combination parser and the capsule's commands.
  for (const auto& [channel, name, args] :
       std::vector<std::tuple<const char*, const char*, EncodableValue>>{
           {"kestrune/hotkey", "reRegisterHotkey", Args({{"id", 1}, {"combo", kBadUtf8 + kMiB}})},
           {"kestrune/hotkey", "reRegisterHotkey",
            Args({{"id", -1}, {"combo", "Ctrl+Alt+Shift+Win++"}})},
           {"kestrune/hotkey", "reRegisterHotkey", Args({{"id", 2147483647}, {"combo", ""}})},
           {"kestrune/window", "showCapsuleWindow",
            Args({{"type", "music"},
                  {"title", kBadUtf8},
                  {"progress", std::nan("")},
                  {"playing", true}})},
           {"kestrune/window", "showCapsuleWindow",
            Args({{"type", "status"},
                  {"text", std::string("\0\"\\", 3)},
                  {"duration", -HUGE_VAL}})}}) {
    ExpectOneAnswer(Call(channel, name, args), name);
  }
  // A name no channel knows, and a known one in another case.
  for (const auto& [channel, entries] : kChannels) {
    std::string other_case = entries.substr(0, entries.find_first_of(": "));
    other_case[0] = static_cast<char>(other_case[0] ^ 0x20);
    for (const std::string& name : {std::string("noSuchMethod"), other_case}) {
      CallResult result = Call(channel, name, EncodableValue());
      EXPECT_EQ(result.kind, Kind::kNotImplemented) << channel << " " << name;
      ExpectOneAnswer(result, name);
    }
  }
  // The feeds' threads end, and what the sweep sent is let go.
  for (auto [channel, name] : {std::pair{"kestrune/smtc", "stopSmtcListener"},
                               {"kestrune/system_monitor", "stopSystemMonitor"},
                               {"kestrune/wechat", "stopWechatListener"}}) {
    EXPECT_EQ(ui_->Call(channel, name).kind, Kind::kSuccess) << name;
  }
  const SIZE_T end = PrivateBytes(host_->handle());
  std::cout << "private bytes " << start << " -> " << end << "\n";
  EXPECT_LT(end, start + (SIZE_T{64} << 20));
}

TEST_F(BadInputSweepTest, GarbageOnThePipeLeavesItWorking) {
  PipeClient client;
  ASSERT_TRUE(client.Connect());
  std::mt19937 random(17);
  auto noise = [&](size_t size) {
    std::string bytes(size, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
    return bytes;
  };
  auto header = [](uint32_t size) {
    PipeFrameHeader bytes = EncodePipeFrameHeader(size);
    return std::string(bytes.data(), bytes.size());
  };
  // Each ends at a frame boundary: zero-length and oversized headers are skipped
  // alone, so an oversized body of 0xff bytes reads as more oversized headers.
  std::vector<std::string> garbage = {header(0), header(65537), header(0xFFFFFFFF),
                                      header(65540) + std::string(65540, '\xff'),
                                      EncodePipeFrame(noise(65536))};
  for (const std::string& body :
       {std::string("{"), std::string("null"), std::string("[1,2]"), std::string("{\"cmd\":5}"),
        std::string("{\"cmd\":\"button_click\",\"id\":"), std::string("{\"cmd\":\"\0\"}", 11),
        kBadUtf8, "{\"cmd\":\"button_click\",\"id\":\"" + kBadUtf8 + "\"}"}) {
    garbage.push_back(EncodePipeFrame(body));
  }
  for (int i = 0; i < 20; ++i) {
    garbage.push_back(EncodePipeFrame(noise(1 + random() % 300)));
  }
  for (size_t i = 0; i < garbage.size(); ++i) {
    // In two writes, so that the host may also see a header or body cut short.
    const size_t half = garbage[i].size() / 2;
    ASSERT_TRUE(client.SendRaw(garbage[i].substr(0, half)));
    ASSERT_TRUE(client.SendRaw(garbage[i].substr(half)));
    const std::string probe = "probe" + std::to_string(i);
    ASSERT_TRUE(client.Send("{\"cmd\":\"button_click\",\"id\":\"" + probe + "\"}"));
    EXPECT_TRUE(WaitUntil([&] {
      std::vector<InterfaceCall> calls = ui_->Calls();
      return !calls.empty() && calls.back().arguments == Args({{"id", probe}});
    })) << "after garbage "
        << i;
  }
  EXPECT_TRUE(host_->running());
}

}  // namespace
}  // namespace kr_test
