// Soak of the real host under Wine: the bench plays the interface (UI bridge),
// the capsule's interface (pipe client), the user's keyboard (SendInput) and
// another application in front (helper window). 4 to 6 minutes at full counts
// on the 2-core machine, most of it in the keystrokes and the summons.
//   tools/wine-run build/win64/wine build/win64/bin/host_soak_wine_bench.exe
//   tools/wine-run build/win64/wine build/win64/bin/host_soak_wine_bench.exe --scale 0.05
// Full counts, multiplied by --scale:
// - 100 000 key presses through the low-level hook: Delete and Esc in turn, with
//   the card reported expanded, so each Delete key-down is a "close_tag" and each
//   Esc key-down an "esc_collapse" at the interface, and both keys pass on to the
//   application in front, which counts them;
// - 10 000 capsule messages each way, numbered: "todo_add" from the pipe to the
//   interface, "sendCapsuleCommand" from the interface to the pipe;
// - 1 000 summons, by "showFromIdle" and by Ctrl+Space in turn, each until the
//   card is visible, 720 x 530 and in front, then collapsed as the interface
//   does on Esc ("esc_collapse", then "set_card_expanded" false and "hideOffScreen").
// Checks, PASS/FAIL each, exit code 1 on any failure: nothing lost and order kept
// for every stream; from the start sample (after a warm-up) to the end, each
// process (host and capsule) may grow by at most 50 handles, 20 GDI objects,
// 20 USER objects, 2 windows and 16 MiB of private bytes (Wine 8 counts no GDI
// or USER objects and no handles per process: the handles are counted in the
// system's handle table instead, the windows by enumeration, and the private
// bytes are its PagefileUsage); the debug log was rotated when the run wrote
// enough to pass 32 MiB, and every Delete key-down's line is in it or in its
// rotated copy. There is no floor for a soak: the throughput of each stream is
// printed to be compared between runs.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "bench/bench_clock.h"
#include "runner/debug_log.h"
#include "runner/unique_resource.h"
#include "tests/support/helper_window.h"
#include "tests/support/host_process.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/log_reader.h"
#include "tests/support/pipe_client.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using kr_test::BridgeConnection;
using kr_test::Down;
using kr_test::InterfaceCall;
using kr_test::Up;

constexpr char kHotkeyChannel[] = "kestrune/hotkey";
constexpr char kWindowChannel[] = "kestrune/window";
// A stream that makes no progress for this long has lost something.
constexpr ULONGLONG kStallMs = 10000;

double Seconds() {
  return NowMicroseconds() / 1e6;
}

EncodableValue Args(const char* key, EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue(key), std::move(value)}});
}

// Collects the PASS/FAIL lines.
class Verdicts {
 public:
  bool Check(bool pass, const std::string& what) {
    std::printf("%s: %s\n", pass ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    failures_ += pass ? 0 : 1;
    return pass;
  }
  int failures() const { return failures_; }

 private:
  int failures_ = 0;
};

std::string Format(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));
std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  return text;
}

// What the window system and the memory manager hold for one process.
struct Resources {
  DWORD handles = 0;
  DWORD gdi = 0;
  DWORD user = 0;
  DWORD windows = 0;
  SIZE_T private_bytes = 0;
};

// Handles |pid| holds, from the system's handle table: Wine 8 answers
// GetProcessHandleCount with 0 for every process, but lists the handles.
DWORD HandlesInTable(DWORD pid) {
  using Query = LONG(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) {
    return 0;
  }
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<uint8_t> buffer(1 << 20);
  LONG status;
  while ((status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         nullptr)) == kLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status < 0) {
    return 0;
  }
  const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
  DWORD count = 0;
  for (ULONG i = 0; i < table->Count; ++i) {
    // The low 16 bits are the process id, on Windows and under Wine.
    count += (table->Handle[i].OwnerPid & 0xFFFF) == (pid & 0xFFFF) ? 1 : 0;
  }
  return count;
}

// Windows of a process, top-level and children: the part of its USER objects
// that can be counted from outside where GetGuiResources answers 0 (Wine 8).
struct WindowCount {
  DWORD pid;
  DWORD count;
};

BOOL CALLBACK CountOwned(HWND window, LPARAM param) {
  auto* counting = reinterpret_cast<WindowCount*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  counting->count += owner == counting->pid ? 1 : 0;
  return TRUE;
}

BOOL CALLBACK CountOwnedTree(HWND window, LPARAM param) {
  CountOwned(window, param);
  ::EnumChildWindows(window, CountOwned, param);
  return TRUE;
}

DWORD WindowsOf(DWORD pid) {
  WindowCount counting{pid, 0};
  ::EnumWindows(CountOwnedTree, reinterpret_cast<LPARAM>(&counting));
  return counting.count;
}

Resources Sample(HANDLE process) {
  Resources r;
  if (!::GetProcessHandleCount(process, &r.handles) || r.handles == 0) {
    r.handles = HandlesInTable(::GetProcessId(process));
  }
  r.gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
  r.user = ::GetGuiResources(process, GR_USEROBJECTS);
  r.windows = WindowsOf(::GetProcessId(process));
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters))) {
    // Wine 8 fills only PagefileUsage, which is the same commit charge.
    r.private_bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
  }
  return r;
}

double MiB(double bytes) {
  return bytes / (1024.0 * 1024.0);
}

// The host and capsule processes, sampled at the start, at intervals and at the end.
class ResourceWatch {
 public:
  void Add(const char* name, HANDLE process) { watched_.push_back({name, process, {}, {}}); }

  void Print(const char* label) {
    std::printf("resources %-22s", label);
    for (Watched& w : watched_) {
      Resources r = Sample(w.process);
      std::printf(" | %s handles=%lu gdi=%lu user=%lu windows=%lu private=%.1f MiB", w.name,
                  r.handles, r.gdi, r.user, r.windows, MiB(static_cast<double>(r.private_bytes)));
      w.last = r;
    }
    std::printf("\n");
    std::fflush(stdout);
  }

  void MarkStart(const char* label) {
    Print(label);
    for (Watched& w : watched_) {
      w.start = w.last;
    }
  }

  void CheckGrowth(Verdicts& verdicts) const {
    for (const Watched& w : watched_) {
      Grew(verdicts, w.name, "handles", w.start.handles, w.last.handles, 50);
      Grew(verdicts, w.name, "GDI objects", w.start.gdi, w.last.gdi, 20);
      Grew(verdicts, w.name, "USER objects", w.start.user, w.last.user, 20);
      Grew(verdicts, w.name, "windows", w.start.windows, w.last.windows, 2);
      double growth = MiB(static_cast<double>(w.last.private_bytes) -
                          static_cast<double>(w.start.private_bytes));
      verdicts.Check(growth <= 16.0,
                     Format("%s private bytes %.1f -> %.1f MiB (%+.1f, bound +16)", w.name,
                            MiB(w.start.private_bytes), MiB(w.last.private_bytes), growth));
    }
  }

 private:
  struct Watched {
    const char* name;
    HANDLE process;
    Resources start;
    Resources last;
  };

  static void Grew(Verdicts& verdicts,
                   const char* name,
                   const char* what,
                   DWORD start,
                   DWORD end,
                   long bound) {
    long growth = static_cast<long>(end) - static_cast<long>(start);
    verdicts.Check(growth <= bound,
                   Format("%s %s %lu -> %lu (%+ld, bound +%ld)%s", name, what, start, end, growth,
                          bound, start == 0 && end == 0 ? " (0: not counted here)" : ""));
  }

  std::vector<Watched> watched_;
};

uint64_t FileSize(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

uint64_t LastWrite(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// How much both processes wrote to the shared debug log, across its rotations:
// a rotation copies the log to the rotated file and empties it, so a size that
// went down had the copy's size just before.
class LogMeter {
 public:
  LogMeter()
      : start_size_(FileSize(DebugLogPath())),
        last_size_(start_size_),
        rotated_stamp_(LastWrite(RotatedDebugLogPath())),
        rotated_size_(FileSize(RotatedDebugLogPath())),
        start_tick_(::GetTickCount64()) {}

  void Sample() {
    uint64_t size = FileSize(DebugLogPath());
    if (size < last_size_) {
      uint64_t copied = FileSize(RotatedDebugLogPath());
      logged_ += (copied > last_size_ ? copied - last_size_ : 0) + size;
      ++rotations_seen_;
    } else {
      logged_ += size - last_size_;
    }
    last_size_ = size;
  }

  // |deletes| Delete key-downs went through the hook since the meter was made:
  // each wrote one line, which must be in the log or in its rotated copy.
  void Check(Verdicts& verdicts, size_t deletes) {
    Sample();
    constexpr uint64_t kRotationBytes = 32ull << 20;
    const uint64_t rotated_size = FileSize(RotatedDebugLogPath());
    const bool rotated =
        LastWrite(RotatedDebugLogPath()) != rotated_stamp_ || rotated_size != rotated_size_;
    std::printf(
        "debug log %ls: %.1f MiB at the start, %.1f MiB written by the run, %d rotation(s)\n",
        DebugLogPath(), MiB(start_size_), MiB(logged_), rotations_seen_);
    if (start_size_ + logged_ > kRotationBytes) {
      verdicts.Check(
          rotated && rotated_size > kRotationBytes && FileSize(DebugLogPath()) < kRotationBytes,
          Format("the log passed 32 MiB and was rotated: kr_debug.1.log %.1f MiB, "
                 "kr_debug.log %.1f MiB",
                 MiB(rotated_size), MiB(FileSize(DebugLogPath()))));
    } else {
      std::printf("note: the run did not reach the rotation size (%.1f + %.1f of 32 MiB)\n",
                  MiB(start_size_), MiB(logged_));
    }
    if (rotations_seen_ <= 1) {
      // A second rotation would have overwritten the copy.
      size_t lines = CountSince(kr_test::ReadWholeFile(RotatedDebugLogPath())) +
                     CountSince(kr_test::ReadWholeFile(DebugLogPath()));
      verdicts.Check(lines == deletes,
                     Format("debug log: Delete key-down lines %zu of %zu", lines, deletes));
    }
  }

 private:
  // Lines of a Delete key-down the hook wrote from the meter's start on.
  size_t CountSince(const std::string& log) const {
    constexpr std::string_view kLine = " | [KR] KB: vk=0x2E wparam=256 ";
    size_t count = 0;
    for (size_t at = log.find(kLine); at != std::string::npos; at = log.find(kLine, at + 1)) {
      size_t line_start = log.rfind('\n', at);
      line_start = line_start == std::string::npos ? 0 : line_start + 1;
      count += std::strtoull(log.c_str() + line_start, nullptr, 10) >= start_tick_ ? 1 : 0;
    }
    return count;
  }

  uint64_t start_size_;
  uint64_t last_size_;
  uint64_t rotated_stamp_;
  uint64_t rotated_size_;
  uint64_t start_tick_;
  uint64_t logged_ = 0;
  int rotations_seen_ = 0;
};

// The calls the host made to the interface, taken oldest first.
class CallFollower {
 public:
  explicit CallFollower(BridgeConnection* ui) : ui_(ui) {}

  std::vector<InterfaceCall> Take() {
    std::vector<InterfaceCall> calls = ui_->CallsFrom(next_);
    next_ += calls.size();
    return calls;
  }

  // Takes calls into |handle| until |done| holds or nothing came for kStallMs.
  bool Follow(const std::function<void(const InterfaceCall&)>& handle,
              const std::function<bool()>& done) {
    ULONGLONG last_progress = ::GetTickCount64();
    while (!done()) {
      std::vector<InterfaceCall> calls = Take();
      for (const InterfaceCall& call : calls) {
        handle(call);
      }
      if (!calls.empty()) {
        last_progress = ::GetTickCount64();
      } else if (::GetTickCount64() - last_progress > kStallMs) {
        return false;
      } else {
        ::Sleep(1);
      }
    }
    return true;
  }

 private:
  BridgeConnection* ui_;
  size_t next_ = 0;
};

// Counts the host's calls of the expected methods, checking that they come in
// the expected order; other calls are counted apart.
struct Stream {
  size_t received = 0;
  size_t out_of_order = 0;
  size_t first_out_of_order = SIZE_MAX;
  size_t other = 0;

  // |got| names what arrived, for the first few that are not as expected.
  void Expect(bool matches, const std::string& got) {
    if (!matches) {
      if (++out_of_order <= 3) {
        std::printf("  #%zu is not the expected one: %.80s\n", received, got.c_str());
      }
      first_out_of_order = std::min(first_out_of_order, received);
    }
    ++received;
  }
};

struct Session {
  BridgeConnection* ui = nullptr;
  HWND window = nullptr;
  std::unique_ptr<kr_test::HelperWindow> helper;
  kr_test::PipeClient capsule;
  std::unique_ptr<CallFollower> calls;
  ResourceWatch* resources = nullptr;
  LogMeter* log = nullptr;
};

// Prints a resource sample at every tenth of a phase.
void Checkpoint(Session& s, const char* phase, size_t done, size_t total, size_t step) {
  if (step == 0 || done % step != 0 || done == total) {
    return;
  }
  s.log->Sample();
  std::string label = Format("%s %zu/%zu", phase, done, total);
  s.resources->Print(label.c_str());
}

void SendKeys(const std::vector<INPUT>& keys) {
  ::SendInput(static_cast<UINT>(keys.size()), const_cast<INPUT*>(keys.data()), sizeof(INPUT));
}

INPUT KeyInput(WORD vk, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  return input;
}

// Delete and Esc pressed in turn, |presses| in all, |batch| presses per wait
// for the interface to have seen them.
bool Keystrokes(Session& s, Verdicts& verdicts, size_t presses, bool report) {
  ::SendMessageW(s.helper->window, kr_test::kResetKeysMsg, 0, 0);
  s.calls->Take();
  Stream stream;
  constexpr size_t kBatch = 500;
  const std::vector<INPUT> pair = {KeyInput(VK_DELETE, true), KeyInput(VK_DELETE, false),
                                   KeyInput(VK_ESCAPE, true), KeyInput(VK_ESCAPE, false)};
  double start = Seconds();
  bool flowing = true;
  for (size_t sent = 0; sent < presses && flowing;) {
    size_t batch = std::min(kBatch, presses - sent);
    for (size_t i = 0; i < batch; i += 2) {
      SendKeys(pair);
    }
    sent += batch;
    flowing = s.calls->Follow(
        [&](const InterfaceCall& call) {
          bool ours = call.channel == kHotkeyChannel &&
                      (call.method == "close_tag" || call.method == "esc_collapse");
          if (!ours) {
            ++stream.other;
            return;
          }
          stream.Expect(call.method == (stream.received % 2 == 0 ? "close_tag" : "esc_collapse"),
                        call.method);
        },
        [&] { return stream.received >= sent; });
    if (report) {
      Checkpoint(s, "keystrokes", sent, presses, presses / 10);
    }
  }
  double seconds = Seconds() - start;
  if (!report) {
    return flowing && stream.out_of_order == 0;
  }
  const int pairs = static_cast<int>(presses / 2);
  std::printf(
      "keystrokes: %zu presses (%zu key events) in %.1f s: %.0f presses/s, %zu other calls\n",
      presses, presses * 2, seconds, presses / seconds, stream.other);
  verdicts.Check(stream.received == presses,
                 Format("keystrokes: interface events %zu of %zu", stream.received, presses));
  verdicts.Check(
      stream.out_of_order == 0,
      Format("keystrokes: order kept (%zu out of order, first at %zd)", stream.out_of_order,
             stream.out_of_order ? static_cast<ssize_t>(stream.first_out_of_order) : -1));
  // The helper counts what reached it; give the last ones time to arrive.
  kr_test::WaitUntil([&] { return s.helper->KeyUps(VK_ESCAPE) >= pairs; }, 5000);
  int counts[4] = {s.helper->KeyDowns(VK_DELETE), s.helper->KeyUps(VK_DELETE),
                   s.helper->KeyDowns(VK_ESCAPE), s.helper->KeyUps(VK_ESCAPE)};
  verdicts.Check(
      counts[0] == pairs && counts[1] == pairs && counts[2] == pairs && counts[3] == pairs,
      Format("keystrokes: passed on to the application in front, Delete %d/%d down "
             "%d up, Esc %d/%d down %d up",
             counts[0], pairs, counts[1], counts[2], pairs, counts[3]));
  return true;
}

std::string Numbered(const char* cmd, size_t seq) {
  // Long enough that the host's log line of a capsule message is written whole (200 bytes).
  std::string json = Format(R"({"cmd":"%s","text":"soak","seq":%zu,"pad":")", cmd, seq);
  return json + std::string(220 - json.size(), 'p') + "\"}";
}

// Capsule to interface: "todo_add" messages forwarded as "capsule.todo" with the message.
bool CapsuleToInterface(Session& s, Verdicts& verdicts, size_t count, size_t first, bool report) {
  s.calls->Take();
  Stream stream;
  constexpr size_t kBatch = 250;
  double start = Seconds();
  bool flowing = true;
  for (size_t sent = 0; sent < count && flowing;) {
    size_t batch = std::min(kBatch, count - sent);
    for (size_t i = 0; i < batch && flowing; ++i) {
      flowing = s.capsule.Send(Numbered("todo_add", first + sent + i));
    }
    sent += batch;
    flowing = flowing &&
              s.calls->Follow(
                  [&](const InterfaceCall& call) {
                    if (call.channel != kHotkeyChannel || call.method != "capsule.todo") {
                      ++stream.other;
                      return;
                    }
                    const auto* args = std::get_if<EncodableMap>(&call.arguments);
                    auto json =
                        args ? args->find(EncodableValue("json")) : EncodableMap::const_iterator();
                    const std::string* text = args && json != args->end()
                                                  ? std::get_if<std::string>(&json->second)
                                                  : nullptr;
                    stream.Expect(
                        text != nullptr && *text == Numbered("todo_add", first + stream.received),
                        text != nullptr ? *text : "capsule.todo without its json");
                  },
                  [&] { return stream.received >= sent; });
    if (report) {
      Checkpoint(s, "capsule->interface", sent, count, count / 10);
    }
  }
  double seconds = Seconds() - start;
  if (!report) {
    return flowing && stream.out_of_order == 0;
  }
  std::printf("capsule -> interface: %zu messages in %.1f s: %.0f messages/s, %zu other calls\n",
              count, seconds, count / seconds, stream.other);
  verdicts.Check(stream.received == count,
                 Format("capsule -> interface: arrived %zu of %zu", stream.received, count));
  verdicts.Check(
      stream.out_of_order == 0,
      Format("capsule -> interface: in order and whole (%zu not, first at %zd)",
             stream.out_of_order,
             stream.out_of_order ? static_cast<ssize_t>(stream.first_out_of_order) : -1));
  return true;
}

// Interface to capsule: "sendCapsuleCommand" calls, each frame read back from the pipe.
bool InterfaceToCapsule(Session& s, Verdicts& verdicts, size_t count, size_t first, bool report) {
  Stream stream;
  size_t refused = 0;
  constexpr size_t kBatch = 100;  // 23 KiB, well inside the pipe's buffer
  double start = Seconds();
  bool flowing = true;
  for (size_t sent = 0; sent < count && flowing;) {
    size_t batch = std::min(kBatch, count - sent);
    for (size_t i = 0; i < batch; ++i) {
      kr_test::CallResult result =
          s.ui->Call(kWindowChannel, "sendCapsuleCommand",
                     Args("json", EncodableValue(Numbered("soak", first + sent + i))));
      refused += result.kind == kr_test::CallResult::Kind::kSuccess ? 0 : 1;
    }
    sent += batch;
    while (flowing && stream.received < sent) {
      std::optional<std::string> frame = s.capsule.ReadFrame(static_cast<DWORD>(kStallMs));
      if (!frame) {
        flowing = false;
      } else if (frame->rfind(R"({"cmd":"soak")", 0) != 0) {
        ++stream.other;
      } else {
        stream.Expect(*frame == Numbered("soak", first + stream.received), *frame);
      }
    }
    if (report) {
      Checkpoint(s, "interface->capsule", sent, count, count / 10);
    }
  }
  double seconds = Seconds() - start;
  if (!report) {
    return flowing && stream.out_of_order == 0;
  }
  std::printf("interface -> capsule: %zu messages in %.1f s: %.0f messages/s, %zu other frames\n",
              count, seconds, count / seconds, stream.other);
  verdicts.Check(refused == 0,
                 Format("interface -> capsule: calls answered success, %zu not", refused));
  verdicts.Check(stream.received == count,
                 Format("interface -> capsule: arrived %zu of %zu", stream.received, count));
  verdicts.Check(
      stream.out_of_order == 0,
      Format("interface -> capsule: in order and whole (%zu not, first at %zd)",
             stream.out_of_order,
             stream.out_of_order ? static_cast<ssize_t>(stream.first_out_of_order) : -1));
  return true;
}

bool Summoned(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT inside{};
  return ::IsWindowVisible(window) && ::GetForegroundWindow() == window &&
         rect.right - rect.left == 720 && rect.bottom - rect.top == 530 &&
         ::IntersectRect(&inside, &rect, &work) && ::EqualRect(&inside, &rect);
}

bool Hidden(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  RECT screen{left, top, left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
              top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  RECT inside{};
  return !::IsWindowVisible(window) || !::IntersectRect(&inside, &rect, &screen);
}

// Posts a message the host answers with "select_on" and waits for it: whatever
// was posted to the card before has then been handled.
bool Drain(Session& s) {
  constexpr UINT kSelectOnMsg = WM_USER + 203;
  ::PostMessageW(s.window, kSelectOnMsg, 0, 0);
  bool seen = false;
  s.calls->Follow([&](const InterfaceCall& call) { seen = seen || call.method == "select_on"; },
                  [&] { return seen; });
  return seen;
}

struct SummonCounts {
  size_t summoned = 0;
  size_t collapsed = 0;
  size_t esc_seen = 0;
};

// One summon from the application in front and one collapse, as the interface
// collapses on Esc.
void SummonOnce(Session& s, size_t index, SummonCounts& counts) {
  s.helper->BringToFront();
  if (index % 2 == 0) {
    s.ui->Call(kWindowChannel, "showFromIdle");
  } else {
    // Wine takes the key state from the X server once the focus has moved,
    // dropping an injected Ctrl held by then: the chord waits for that.
    kr_test::StaysInFront(s.helper->window, 100);
    kr_test::Type({Down(VK_CONTROL), Down(VK_SPACE), Up(VK_SPACE), Up(VK_CONTROL)});
    Drain(s);  // the chord's own expand, posted on the Space key-up, is done
  }
  if (!kr_test::WaitUntil([&] { return Summoned(s.window); })) {
    RECT rect{};
    ::GetWindowRect(s.window, &rect);
    HWND front = ::GetForegroundWindow();
    std::printf(
        "  summon %zu (%s) did not complete: visible=%d rect=(%ld,%ld,%ld,%ld), in front: "
        "%ls\n",
        index, index % 2 == 0 ? "showFromIdle" : "Ctrl+Space", ::IsWindowVisible(s.window),
        rect.left, rect.top, rect.right, rect.bottom,
        front == s.window ? L"the card" : kr_test::WindowTitle(front).c_str());
    return;
  }
  ++counts.summoned;
  s.calls->Take();
  kr_test::Type({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  bool esc = false;
  s.calls->Follow([&](const InterfaceCall& call) { esc = esc || call.method == "esc_collapse"; },
                  [&] { return esc; });
  counts.esc_seen += esc ? 1 : 0;
  s.ui->Call(kHotkeyChannel, "set_card_expanded", Args("expanded", EncodableValue(false)));
  s.ui->Call(kWindowChannel, "hideOffScreen");
  if (kr_test::WaitUntil([&] { return Hidden(s.window); })) {
    ++counts.collapsed;
  } else {
    std::fprintf(stderr, "collapse %zu left the card on screen\n", index);
  }
}

void Summons(Session& s, Verdicts& verdicts, size_t count) {
  SummonCounts counts;
  double start = Seconds();
  for (size_t i = 0; i < count; ++i) {
    SummonOnce(s, i, counts);
    Checkpoint(s, "summons", i + 1, count, count / 10);
  }
  double seconds = Seconds() - start;
  s.helper->BringToFront();
  std::printf("summons: %zu summons and collapses in %.1f s: %.2f summons/s\n", count, seconds,
              count / seconds);
  verdicts.Check(
      counts.summoned == count,
      Format("summons: visible, 720 x 530 and in front %zu of %zu", counts.summoned, count));
  verdicts.Check(counts.esc_seen == counts.summoned,
                 Format("summons: Esc on the card reached the interface %zu of %zu",
                        counts.esc_seen, counts.summoned));
  verdicts.Check(
      counts.collapsed == counts.summoned,
      Format("summons: collapses that hid the card %zu of %zu", counts.collapsed, counts.summoned));
}

double ScaleArgument(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0) {
      double scale = std::strtod(argv[i + 1], nullptr);
      return scale > 0 ? scale : 1.0;
    }
  }
  return 1.0;
}

size_t Scaled(double full, double scale, size_t multiple) {
  size_t n = static_cast<size_t>(std::llround(full * scale / multiple)) * multiple;
  return std::max(n, multiple);
}

}  // namespace

int main(int argc, char** argv) {
  const double scale = ScaleArgument(argc, argv);
  const size_t presses = Scaled(100000, scale, 2);
  const size_t messages = Scaled(10000, scale, 1);
  const size_t summons = Scaled(1000, scale, 2);
  constexpr size_t kWarmUpPresses = 200;
  std::printf("scale %.3f: %zu key presses, %zu capsule messages each way, %zu summons\n", scale,
              presses, messages, summons);

  LogMeter log;
  kr_test::UiBridgeServer bridge;
  kr_test::LogReader host_log(DebugLogPath());
  auto host = kr_test::StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
  Session s;
  s.log = &log;
  s.ui = host ? bridge.WaitForConnection("main") : nullptr;
  s.window = s.ui ? kr_test::WaitForHostWindow(host->pid()) : nullptr;
  BridgeConnection* capsule_ui = s.window ? bridge.WaitForConnection("capsule") : nullptr;
  // The capsule activates its bar once as it starts; the application in front
  // comes after that, as it does in the keyboard tests.
  if (capsule_ui == nullptr || !host_log.WaitForMessage("[KR] RegisterHotKey Alt+Space") ||
      !host_log.WaitForMessage("[KR] Capsule process OnCreate done") || !s.capsule.Connect()) {
    std::fprintf(stderr, "host or capsule did not start\n");
    return 1;
  }
  s.helper = kr_test::StartHelperWindow(L"kr soak: someone else");
  if (!s.helper || !kr_test::StaysInFront(s.helper->window)) {
    std::fprintf(stderr, "helper window did not keep the foreground\n");
    return 1;
  }
  s.calls = std::make_unique<CallFollower>(s.ui);
  UniqueHandle capsule_process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                             static_cast<DWORD>(capsule_ui->pid())));
  ResourceWatch resources;
  resources.Add("host", host->handle());
  if (capsule_process) {
    resources.Add("capsule", capsule_process.get());
  }
  s.resources = &resources;

  // Warm-up: every path once, so first-use allocations are not counted as growth.
  Verdicts verdicts;
  bool warm =
      s.ui->Call(kHotkeyChannel, "set_card_expanded", Args("expanded", EncodableValue(true)))
              .kind == kr_test::CallResult::Kind::kSuccess &&
      Keystrokes(s, verdicts, kWarmUpPresses, false) &&
      CapsuleToInterface(s, verdicts, 100, 1000000, false) &&
      InterfaceToCapsule(s, verdicts, 100, 1000000, false);
  SummonCounts warm_summons;
  for (size_t i = 0; i < 4; ++i) {
    SummonOnce(s, i, warm_summons);
  }
  if (!warm || warm_summons.collapsed != 4) {
    std::fprintf(stderr, "warm-up failed: a stream did not flow\n");
    return 1;
  }
  resources.MarkStart("start (after warm-up)");
  log.Sample();

  double start = Seconds();
  // The card is reported expanded, so Esc is the interface's, with the helper in front.
  s.helper->BringToFront();
  s.ui->Call(kHotkeyChannel, "set_card_expanded", Args("expanded", EncodableValue(true)));
  Keystrokes(s, verdicts, presses, true);
  s.ui->Call(kHotkeyChannel, "set_card_expanded", Args("expanded", EncodableValue(false)));
  resources.Print("after keystrokes");
  CapsuleToInterface(s, verdicts, messages, 0, true);
  resources.Print("after capsule->interface");
  InterfaceToCapsule(s, verdicts, messages, 0, true);
  resources.Print("after interface->capsule");
  Summons(s, verdicts, summons);
  ::Sleep(1000);  // timers armed by the last summon have run
  resources.Print("end");
  std::printf("run took %.1f s\n", Seconds() - start);

  resources.CheckGrowth(verdicts);
  log.Check(verdicts, kWarmUpPresses / 2 + presses / 2);
  verdicts.Check(host->running(), "host still running");
  std::printf("%d check(s) failed\n", verdicts.failures());
  return verdicts.failures() == 0 ? 0 : 1;
}
