// Soak of the four system feeds at once under Wine, in this process, over the
// fake runtime objects of tests/support put behind the activation seam: the
// media watcher (sessions replaced about 20 times a second, property, playback
// and timeline events raised on three other threads, half the track reads
// completed later on a thread of their own), the chat listener (toasts added
// and removed between polls, a poll about every millisecond), calendar sync (a
// pass after another while two readers read the file) and the system monitor
// at its own 1 s period. The main thread runs the real main window's messages;
// this process plays the interface at the UI bridge and checks every frame as
// it comes, keeping only counters. Checks: nothing lost, order kept, no payload
// torn, fake references all given back, and from the end of the warm-up to the
// end at most +32 handles, +16 GDI, USER objects and windows, +8 MiB private
// bytes. Wine answers GetProcessHandleCount and GetGuiResources with 0, so
// there the handles are counted in the system handle table and the windows
// stand in for USER objects. The system monitor's history (300 samples, one a
// second) fills during the first five minutes, a part of the private bytes'
// growth; growth from half-time on is printed too. A soak, so no floor: the
// figures are rates.
// Default 600 s:
//   tools/wine-run build/win64/wine build/win64/bin/feed_soak_wine_bench.exe
//   tools/wine-run build/win64/wine build/win64/bin/feed_soak_wine_bench.exe --seconds 60
// --reopened-session adds, after the load, an application whose session closes
// and opens again under the same id before the watcher reads the list.
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>  // after <windows.h>
#include <winternl.h>
#include <winstring.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <flutter/standard_message_codec.h>
#include <flutter/standard_method_codec.h>

#include "capsule/capsule_pipe.h"
#include "embedder/bridge_protocol.h"
#include "embedder/ui_bridge.h"
#include "feeds/calendar/calendar_sync.h"
#include "feeds/chat/chat_listener.h"
#include "feeds/media/media_watcher.h"
#include "feeds/system/system_monitor.h"
#include "runner/flutter_window.h"
#include "runner/main_thread_tasks.h"
#include "tests/support/calendar_fakes.h"
#include "tests/support/chat_fakes.h"
#include "tests/support/media_fakes.h"
#include "winrt/appointments.h"
#include "winrt/notifications.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using kr_test::FakeSession;
using winrt::ComPtr;
using Clock = std::chrono::steady_clock;

// Growth allowed from the end of the warm-up to the end of the run.
constexpr long kHandleBound = 32;
constexpr long kGuiBound = 16;  // GDI and USER objects, each
constexpr double kPrivateBoundMiB = 8.0;

constexpr int kSlots = 3;                   // media sessions raising at once
constexpr int kMarkerSlot = 15;             // the checkpoints' own session
constexpr double kTicks = 1099511627776.0;  // 2^40: positions over it are exact ratios
constexpr int kChatMaxHeld = 300;           // toasts in the centre at most
constexpr int kChatMaxNewPerPoll = 8;       // well under the listener's 200 a poll

// ---------------------------------------------------------------------------
// Process figures.

// Wine answers GetProcessHandleCount with 0 and GetGuiResources with 0 (not
// implemented), and leaves PrivateUsage 0 while filling PagefileUsage, which on
// Windows is the same private commit. So each figure says where it came from:
// handles fall back to this process's entries in the system handle table,
// USER objects to a count of this process's windows; GDI objects have no
// stand-in.
struct Resources {
  long handles = 0;
  long gdi = 0;
  long user = 0;
  double private_mib = 0;
  bool handles_from_table = false;
  bool gui_counted = true;  // GetGuiResources answered
  long windows = 0;
};

// This process's entries in SystemExtendedHandleInformation; -1 when unreadable.
long HandlesInSystemTable() {
  struct Entry {
    PVOID object;
    ULONG_PTR pid;
    ULONG_PTR handle;
    ULONG access;
    USHORT backtrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
  };
  struct Table {
    ULONG_PTR count;
    ULONG_PTR reserved;
    Entry entries[1];
  };
  using Query = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  constexpr ULONG kExtendedHandleInformation = 64;
  constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
  std::vector<char> buffer(1 << 18);
  for (;;) {
    ULONG needed = 0;
    NTSTATUS status = query ? query(kExtendedHandleInformation, buffer.data(),
                                    static_cast<ULONG>(buffer.size()), &needed)
                            : -1;
    if (status == kLengthMismatch) {
      buffer.resize(std::max<size_t>(needed, buffer.size() * 2));
      continue;
    }
    if (status != 0) {
      return -1;
    }
    break;
  }
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  long count = 0;
  for (ULONG_PTR i = 0; i < table->count; ++i) {
    count += table->entries[i].pid == ::GetCurrentProcessId();
  }
  return count;
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM count) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid == ::GetCurrentProcessId()) {
    ++*reinterpret_cast<long*>(count);
    ::EnumChildWindows(window, CountOwnWindow, count);
  }
  return TRUE;
}

// Top-level, child and message-only windows of this process.
long OwnWindows() {
  long count = 0;
  ::EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&count));
  for (HWND window = nullptr;
       (window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
    CountOwnWindow(window, reinterpret_cast<LPARAM>(&count));
  }
  return count;
}

Resources ReadResources() {
  Resources r;
  HANDLE self = ::GetCurrentProcess();
  DWORD handles = 0;
  ::GetProcessHandleCount(self, &handles);
  r.handles = static_cast<long>(handles);
  if (r.handles == 0) {
    r.handles = HandlesInSystemTable();
    r.handles_from_table = true;
  }
  ::SetLastError(0);
  r.gdi = static_cast<long>(::GetGuiResources(self, GR_GDIOBJECTS));
  r.user = static_cast<long>(::GetGuiResources(self, GR_USEROBJECTS));
  r.gui_counted = ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
  r.windows = OwnWindows();
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters))) {
    const SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    r.private_mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
  }
  return r;
}

// ---------------------------------------------------------------------------
// The activation seam: the three runtime classes, each to its fake.

IInspectable* g_media_statics = nullptr;
IInspectable* g_chat_statics = nullptr;
IInspectable* g_calendar_statics = nullptr;

HRESULT WINAPI SoakFactory(HSTRING class_id, REFIID iid, void** factory) {
  *factory = nullptr;
  UINT32 length = 0;
  const wchar_t* raw = ::WindowsGetStringRawBuffer(class_id, &length);
  std::wstring_view name(raw, length);
  IInspectable* object = name == winrt::media::kManagerClassId           ? g_media_statics
                         : name == winrt::kUserNotificationListenerClass ? g_chat_statics
                         : name == winrt::kAppointmentManagerClass       ? g_calendar_statics
                                                                         : nullptr;
  return object ? object->QueryInterface(iid, factory) : static_cast<HRESULT>(0x80040154);
}

HRESULT WINAPI SoakActivate(HSTRING class_id, IInspectable** instance) {
  return SoakFactory(class_id, kr_test::kIidInspectable, reinterpret_cast<void**>(instance));
}

std::wstring g_calendar_folder;

// A checkpoint's mark: a message behind the marker's media messages in the main
// thread's queue, sent on to the interface as "mark" on a channel of its own.
Channel* g_mark_channel = nullptr;

LRESULT CALLBACK MarkProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message == WM_APP && g_mark_channel != nullptr) {
    try {
      g_mark_channel->InvokeMethod("mark",
                                   std::make_unique<EncodableValue>(static_cast<int64_t>(wparam)));
    } catch (...) {
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// ---------------------------------------------------------------------------
// What the interface received, checked frame by frame.

const std::string* Text(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  return found == map.end() ? nullptr : std::get_if<std::string>(&found->second);
}

std::optional<double> Number(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  if (found == map.end()) {
    return std::nullopt;
  }
  const double* value = std::get_if<double>(&found->second);
  return value ? std::optional<double>(*value) : std::nullopt;
}

struct SlotSeq {
  int slot = -1;
  int64_t seq = -1;
};

// "s<slot>#<seq>" or "mark#<seq>" (the marker slot).
std::optional<SlotSeq> ParseTitle(const std::string& title) {
  int slot = 0;
  long long seq = 0;
  char tail = 0;
  if (std::sscanf(title.c_str(), "s%d#%lld%c", &slot, &seq, &tail) == 2 && slot >= 0 &&
      slot < kSlots) {
    return SlotSeq{slot, seq};
  }
  if (std::sscanf(title.c_str(), "mark#%lld%c", &seq, &tail) == 1) {
    return SlotSeq{kMarkerSlot, seq};
  }
  return std::nullopt;
}

SlotSeq DecodeProgress(double progress) {
  const auto raw = static_cast<int64_t>(std::llround(progress * kTicks));
  return {static_cast<int>(raw >> 32), raw & 0xffffffff};
}

// Media events of one kind: per session slot, the sequence numbers received
// must rise (newest-only slots may skip, never repeat or go back).
struct MediaKind {
  int64_t last[kSlots] = {-1, -1, -1};
  int64_t from_slots = 0;
  int64_t from_current = 0;  // the watcher's own pushes of the current session
  int64_t markers = 0;
  int64_t order_errors = 0;
  int64_t malformed = 0;
  SlotSeq newest;  // the last one received
};

struct Received {
  std::mutex lock;
  std::condition_variable changed;
  MediaKind track, playback, progress;
  int64_t stopped = 0;
  // Chat: the WeChat toast ids added, in order, not yet received.
  std::deque<uint32_t> chat_expected;
  int64_t chat_received = 0;
  int64_t chat_lost = 0;
  int64_t chat_repeated = 0;  // twice, out of order, or never added
  int64_t snapshots = 0;
  int64_t snapshot_malformed = 0;
  int64_t other = 0;
  int64_t mark = 0;
};

void TakeMedia(MediaKind& kind, std::optional<SlotSeq> parsed, bool consistent) {
  if (!parsed || !consistent) {
    ++kind.malformed;
    return;
  }
  kind.newest = *parsed;
  if (parsed->slot == kMarkerSlot) {
    ++kind.markers;
    return;
  }
  ++kind.from_slots;
  int64_t& last = kind.last[parsed->slot];
  kind.order_errors += parsed->seq <= last;
  last = std::max(last, parsed->seq);
}

void TakeCall(Received& r,
              const std::string& channel,
              const flutter::MethodCall<EncodableValue>& call) {
  const std::string& method = call.method_name();
  const EncodableMap* map =
      call.arguments() ? std::get_if<EncodableMap>(call.arguments()) : nullptr;
  std::lock_guard<std::mutex> guard(r.lock);
  if (channel == "kestrune/smtc" && map != nullptr) {
    const std::string* title = Text(*map, "title");
    if (method == "smtc.track_change") {
      if (title && *title == "current") {
        ++r.track.from_current;
      } else {
        TakeMedia(r.track, title ? ParseTitle(*title) : std::nullopt, true);
      }
      return;
    }
    if (method == "smtc.playback") {
      const std::string* status = Text(*map, "status");
      std::optional<double> progress = Number(*map, "progress");
      if (title && *title == "current") {
        ++r.playback.from_current;
      } else if (title && title->empty() && status && *status == "stopped") {
        ++r.stopped;
      } else {
        std::optional<SlotSeq> parsed = title ? ParseTitle(*title) : std::nullopt;
        // Read by one callback from one state: title, position and status agree.
        bool consistent = parsed && progress && status;
        if (consistent) {
          SlotSeq read = DecodeProgress(*progress);
          consistent = read.slot == parsed->slot && read.seq == parsed->seq &&
                       *status == (parsed->seq % 2 ? "paused" : "playing");
        }
        TakeMedia(r.playback, parsed, consistent);
      }
      return;
    }
    if (method == "smtc.progress") {
      std::optional<double> progress = Number(*map, "progress");
      std::optional<SlotSeq> parsed;
      if (progress) {
        SlotSeq read = DecodeProgress(*progress);
        if ((read.slot >= 0 && read.slot < kSlots) || read.slot == kMarkerSlot) {
          parsed = read;
        }
      }
      TakeMedia(r.progress, parsed, true);
      return;
    }
  }
  if (channel == "kestrune/wechat" && method == "wechat.notification" && map != nullptr) {
    ++r.chat_received;
    const std::string* title = Text(*map, "title");
    const uint32_t id =
        title ? static_cast<uint32_t>(std::strtoul(title->c_str(), nullptr, 10)) : 0;
    auto at = std::find(r.chat_expected.begin(), r.chat_expected.end(), id);
    if (at == r.chat_expected.end()) {
      ++r.chat_repeated;
    } else {
      r.chat_lost += at - r.chat_expected.begin();
      r.chat_expected.erase(r.chat_expected.begin(), at + 1);
    }
    return;
  }
  if (channel == "kestrune/system_monitor" && method == "system.snapshot") {
    ++r.snapshots;
    r.snapshot_malformed += map == nullptr || !map->contains(EncodableValue("cpu")) ||
                            !map->contains(EncodableValue("memory"));
    return;
  }
  if (channel == "soak/mark" && method == "mark" && call.arguments()) {
    r.mark = call.arguments()->LongValue();
    r.changed.notify_all();
    return;
  }
  ++r.other;
}

// The interface's end of the UI bridge: accepts the one host, answers every
// call that wants an answer, and hands each call to TakeCall.
class InterfacePeer {
 public:
  explicit InterfacePeer(Received* received) : received_(received) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::listen(listener_, 1) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~InterfacePeer() {
    ::closesocket(listener_);
    if (acceptor_.joinable()) {
      acceptor_.join();
    }
    if (peer_ != INVALID_SOCKET) {
      ::shutdown(peer_, SD_BOTH);
      ::closesocket(peer_);
    }
    if (reader_.joinable()) {
      reader_.join();
    }
    ::WSACleanup();
  }

  std::wstring Setting() const {
    return std::to_wstring(port_) + L":" + std::wstring(kToken, kToken + sizeof(kToken) - 1);
  }
  // Whether the host connected and passed the handshake.
  bool WaitConnected() {
    acceptor_.join();
    return peer_ != INVALID_SOCKET;
  }
  int64_t frames() const { return frames_; }

 private:
  static constexpr char kToken[] = "feedsoak-token";

  bool Write(const bridge::Frame& frame) {
    std::vector<uint8_t> bytes = bridge::EncodeFrame(frame);
    for (size_t sent = 0; sent < bytes.size();) {
      int n = ::send(peer_, reinterpret_cast<const char*>(bytes.data() + sent),
                     static_cast<int>(bytes.size() - sent), 0);
      if (n <= 0) {
        return false;
      }
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  void Accept() {
    SOCKET socket = ::accept(listener_, nullptr, nullptr);
    if (socket == INVALID_SOCKET) {
      return;
    }
    bridge::Frame hello;
    std::string error;
    if (!flutter::UiBridge::ReadFrame(socket, &hello, &error) ||
        hello.kind != bridge::FrameKind::kHello) {
      ::closesocket(socket);
      return;
    }
    peer_ = socket;
    EncodableValue welcome(EncodableMap{{EncodableValue("token"), EncodableValue(kToken)}});
    Write({bridge::FrameKind::kWelcome,
           0,
           {},
           *flutter::StandardMessageCodec::GetInstance().EncodeMessage(welcome)});
    reader_ = std::thread([this] { Read(); });
  }

  void Read() {
    const auto& codec = flutter::StandardMethodCodec::GetInstance();
    for (;;) {
      bridge::Frame frame;
      std::string error;
      if (!flutter::UiBridge::ReadFrame(peer_, &frame, &error)) {
        return;
      }
      ++frames_;
      if (frame.kind != bridge::FrameKind::kMessage) {
        continue;
      }
      if (auto call = codec.DecodeMethodCall(frame.data.data(), frame.data.size())) {
        TakeCall(*received_, frame.channel, *call);
      }
      if (frame.reply_id != 0) {
        Write({bridge::FrameKind::kReply, frame.reply_id, {}, *codec.EncodeSuccessEnvelope()});
      }
    }
  }

  Received* const received_;
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET peer_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::thread reader_;
  std::atomic<int64_t> frames_{0};
};

// ---------------------------------------------------------------------------
// Media sessions: kSlots raisers, a churn that replaces their sessions, a
// completer that ends held track reads later on its own thread.

struct Slot {
  std::mutex lock;
  ComPtr<FakeSession> session;
  // What the raiser raises on now; the churn may have replaced it already.
  ComPtr<FakeSession> raising;
  ComPtr<FakeSession> Get() {
    std::lock_guard<std::mutex> guard(lock);
    return session;
  }
  ComPtr<FakeSession> Raise() {
    std::lock_guard<std::mutex> guard(lock);
    return raising = session;
  }
  std::vector<ComPtr<FakeSession>> Both() {
    std::lock_guard<std::mutex> guard(lock);
    return {session, raising};
  }
};

struct MediaWorkload {
  kr_test::FakeRuntimeLog* log = nullptr;
  ComPtr<kr_test::FakeManager> manager;
  ComPtr<FakeSession> current;  // the manager's current session; never raises
  ComPtr<FakeSession> marker;   // raised by the checkpoints only
  Slot slots[kSlots];
  std::atomic<int64_t> raised[3] = {0, 0, 0};  // track, playback, timeline
  std::atomic<int64_t> churns{0};
  std::atomic<int64_t> late_completions{0};
  std::atomic<int> generation{0};
  // The longest a raiser waited for its new session to be subscribed.
  std::atomic<int64_t> subscribe_wait_max_ms{0};
  // Held by a churn; a checkpoint takes it so that none is under way.
  std::mutex churn_lock;

  ComPtr<FakeSession> NewSession(int slot) {
    std::wstring id = L"soak.s" + std::to_wstring(slot) + L".g" + std::to_wstring(++generation);
    auto session = FakeSession::Create(log, id.c_str());
    session->end_time = static_cast<int64_t>(kTicks);
    return session;
  }
  ComPtr<FakeSession> extra;  // the reopened application's, when probed
  void List() {
    std::vector<ComPtr<FakeSession>> listed = {current, marker};
    for (Slot& slot : slots) {
      listed.push_back(slot.Get());
    }
    if (extra) {
      listed.push_back(extra);
    }
    manager->Set(listed, current.get());
  }
  // Slot |slot|'s session goes; a new one comes, as an application restarts.
  void Churn(int slot) {
    std::lock_guard<std::mutex> churning(churn_lock);
    ComPtr<FakeSession> fresh = NewSession(slot);
    {
      std::lock_guard<std::mutex> guard(slots[slot].lock);
      slots[slot].session = fresh;
    }
    List();
    manager->RaiseSessionsChanged();
    ++churns;
  }
};

void SetState(FakeSession* session, const std::wstring& title, int slot, int64_t seq) {
  session->SetTitle(title.c_str());
  session->position = static_cast<int64_t>(slot) << 32 | seq;
  session->status = seq % 2 ? 5 : 4;
}

// One raiser per slot: its events are ordered, so what reaches the interface
// from it must be too.
void RaiseLoop(MediaWorkload* media,
               int slot,
               const std::atomic<bool>* stop,
               const std::atomic<bool>* pause,
               std::atomic<int>* paused) {
  for (int64_t seq = 1; !*stop;) {
    if (*pause) {
      ++*paused;
      while (*pause && !*stop) {
        ::Sleep(1);
      }
      --*paused;
      continue;
    }
    ComPtr<FakeSession> session = media->slots[slot].Raise();
    // A session the watcher has not subscribed yet would not be heard; the
    // runtime's sessions do not fire at once either. How long that lasts is a
    // figure of its own.
    if (session->HandlerCount() < 3) {
      const ULONGLONG since = ::GetTickCount64();
      while (session->HandlerCount() < 3 && !*stop && !*pause) {
        ::Sleep(1);
      }
      const auto waited = static_cast<int64_t>(::GetTickCount64() - since);
      int64_t longest = media->subscribe_wait_max_ms;
      while (waited > longest &&
             !media->subscribe_wait_max_ms.compare_exchange_weak(longest, waited)) {
      }
      if (session->HandlerCount() < 3) {
        continue;
      }
    }
    SetState(session.get(), L"s" + std::to_wstring(slot) + L"#" + std::to_wstring(seq), slot, seq);
    session->hold = seq % 2 == 0;  // ended later by the completer
    const int kind = static_cast<int>(seq % 3);
    if (kind == 0) {
      session->media_changed.Raise(session.get());
    } else if (kind == 1) {
      session->playback_changed.Raise(session.get());
    } else {
      session->timeline_changed.Raise(session.get());
    }
    ++media->raised[kind];
    ++seq;
  }
}

void CompleteLoop(MediaWorkload* media, const std::atomic<bool>* stop) {
  while (!*stop) {
    for (Slot& slot : media->slots) {
      for (const ComPtr<FakeSession>& session : slot.Both()) {
        const int held = session ? session->Held() : 0;
        if (held > 0) {
          session->ReleaseHeld();
          media->late_completions += held;
        }
      }
    }
    ::Sleep(1);
  }
}

// ---------------------------------------------------------------------------
// Calendar versions: version v lists Count(v) appointments "v<v>e<i>" padded
// with Pad(v) 'x', so versions differ in length, some past one read chunk.

int CalendarCount(int64_t v) {
  return 1 + static_cast<int>(v * 7 % 60);
}
int CalendarPad(int64_t v) {
  return static_cast<int>(v * 13 % 97);
}

std::vector<std::pair<std::wstring, int64_t>> CalendarVersion(int64_t v) {
  std::vector<std::pair<std::wstring, int64_t>> found;
  constexpr int64_t kStart = 133545132000000000;  // 2024-03-10 03:00 UTC
  for (int i = 0; i < CalendarCount(v); ++i) {
    found.emplace_back(
        L"v" + std::to_wstring(v) + L"e" + std::to_wstring(i) + std::wstring(CalendarPad(v), L'x'),
        kStart + i * 600000000LL);
  }
  return found;
}

// The version a whole file holds; nothing when the text is not one whole version.
std::optional<int64_t> ParseCalendar(const std::string& text) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') {
    return std::nullopt;
  }
  int64_t version = -1;
  int count = 0;
  for (size_t at = 1; at < text.size() - 1; ++count) {
    if (count > 0 && text[at++] != ',') {
      return std::nullopt;
    }
    int hour = 0, minute = 0, used = 0;
    long long v = 0;
    int i = 0;
    if (std::sscanf(text.c_str() + at, "{\"t\":\"%2d:%2d\",\"e\":\"v%llde%d%n", &hour, &minute, &v,
                    &i, &used) != 4 ||
        used == 0 || i != count || (count > 0 && v != version)) {
      return std::nullopt;
    }
    version = v;
    at += static_cast<size_t>(used);
    const size_t pad = static_cast<size_t>(CalendarPad(v));
    if (text.compare(at, pad, std::string(pad, 'x')) != 0 || text.compare(at + pad, 2, "\"}")) {
      return std::nullopt;
    }
    at += pad + 2;
  }
  if (version < 1 || count != CalendarCount(version)) {
    return std::nullopt;
  }
  return version;
}

struct CalendarStats {
  std::atomic<int64_t> passes{0};
  std::atomic<int64_t> kept_old{0};  // a pass whose replace was refused: the old file stays
  std::atomic<int64_t> written{0};   // the newest version a pass has finished
  std::atomic<int64_t> reads{0};
  std::atomic<int64_t> empty{0};
  std::atomic<int64_t> torn{0};
  std::atomic<int64_t> backwards{0};
  std::atomic<int64_t> ahead{0};
};

void CalendarReader(CalendarStats* stats, const std::atomic<bool>* stop) {
  int64_t last = 0;
  while (!*stop) {
    const int64_t written = stats->written;
    std::string text = ReadCalendarAppointments();
    ++stats->reads;
    if (text == "[]") {
      ++stats->empty;
    } else if (std::optional<int64_t> version = ParseCalendar(text); !version) {
      ++stats->torn;
    } else {
      stats->backwards += *version < last;
      // A pass in progress may have replaced the file already.
      stats->ahead += *version > stats->written + 1 && *version > written + 1;
      last = std::max(last, *version);
    }
    ::Sleep(1);
  }
}

// ---------------------------------------------------------------------------

struct Check {
  const char* name;
  bool pass;
  std::string detail;
  bool skipped = false;  // not measurable here; does not fail the run
};

std::string Format(const char* format, auto... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof(buffer), format, values...);
  return buffer;
}

bool WaitFor(const std::function<bool()>& condition, const std::atomic<bool>& abort, DWORD ms) {
  for (ULONGLONG end = ::GetTickCount64() + ms; !condition(); ::Sleep(1)) {
    if (abort || ::GetTickCount64() >= end) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 600;
  bool probe_reopened = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (std::string(argv[i]) == "--reopened-session") {
      probe_reopened = true;
    }
  }
  if (!(seconds >= 10)) {
    std::printf("--seconds takes a number of at least 10\n");
    return 2;
  }
  const double warmup = std::min(30.0, seconds / 6);
  const double interval = std::max(5.0, seconds / 10);
  std::printf("feed soak: %.0f s, warm-up %.0f s, checkpoint every %.0f s\n", seconds, warmup,
              interval);
  std::fflush(stdout);

  // The fakes and the seam.
  kr_test::FakeRuntimeLog media_log;
  kr_test::FakeRuntimeLog chat_log;
  kr_test::CalendarScript calendar_script;
  auto media = std::make_unique<MediaWorkload>();
  media->log = &media_log;
  media->manager = kr_test::FakeManager::Create(&media_log);
  media->current = FakeSession::Create(&media_log, L"soak.current");
  media->current->SetTitle(L"current");
  media->marker = FakeSession::Create(&media_log, L"soak.marker");
  media->marker->end_time = static_cast<int64_t>(kTicks);
  for (int s = 0; s < kSlots; ++s) {
    media->slots[s].session = media->NewSession(s);
  }
  media->List();
  auto centre = kr_test::FakeNotificationCentre::Create(&chat_log);
  calendar_script.found = CalendarVersion(1);
  ComPtr<IInspectable> calendar = kr_test::MakeFakeAppointmentManager(&calendar_script);
  g_media_statics = static_cast<winrt::media::IManager*>(media->manager.get());
  g_chat_statics = static_cast<winrt::IUserNotificationListenerStatics*>(centre.get());
  g_calendar_statics = calendar.get();
  const winrt::RuntimeProcs saved_procs = winrt::GetRuntimeProcs();
  winrt::GetRuntimeProcs() = {&SoakFactory, &SoakActivate};
  const CalendarProcs saved_calendar = GetCalendarProcs();
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  g_calendar_folder =
      std::wstring(temp) + L"kr_feedsoak_" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(g_calendar_folder.c_str(), nullptr);
  GetCalendarProcs().get_folder_path = [](HWND, int, HANDLE, DWORD, LPWSTR out) {
    ::wcscpy(out, g_calendar_folder.c_str());
    return S_OK;
  };
  SetCapsuleExecutable(L"C:\\kr_bench_start_no_capsule.exe");

  // The main window, its interface at this process's end of the bridge.
  Received received;
  auto peer = std::make_unique<InterfacePeer>(&received);
  ::SetEnvironmentVariableW(L"KR_UI_BRIDGE", peer->Setting().c_str());
  auto window = std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
  if (!window->Create(L"kr_feed_soak", {10, 10}, {400, 300})) {
    std::printf("the main window could not be created\n");
    return 1;
  }
  ::SetEnvironmentVariableW(L"KR_UI_BRIDGE", nullptr);
  if (!peer->WaitConnected()) {
    std::printf("the UI bridge did not connect\n");
    return 1;
  }
  auto mark_channel =
      std::make_unique<Channel>(window->controller->engine()->messenger(), "soak/mark",
                                &flutter::StandardMethodCodec::GetInstance());
  g_mark_channel = mark_channel.get();
  WNDCLASSW mark_class{};
  mark_class.lpfnWndProc = MarkProc;
  mark_class.hInstance = ::GetModuleHandleW(nullptr);
  mark_class.lpszClassName = L"KR_FEED_SOAK_MARK";
  ::RegisterClassW(&mark_class);
  HWND mark_window = ::CreateWindowExW(0, mark_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                                       HWND_MESSAGE, nullptr, mark_class.hInstance, nullptr);

  // All four feeds, as the interface starts them.
  window->wechat_pacer.SetPeriod(INFINITE);    // paced by the chat driver
  window->calendar_pacer.SetPeriod(INFINITE);  // paced by the calendar driver
  StartSmtcListener(window.get());
  StartWechatListener(window.get());
  StartCalendarSync(window.get());
  StartSystemMonitor(window.get());

  std::atomic<bool> stop_load{false};
  std::atomic<bool> stop_media{false};
  std::atomic<bool> stop_completer{false};
  std::atomic<bool> pause_media{false};
  std::atomic<int> media_paused{0};
  std::atomic<bool> done{false};
  std::atomic<bool> failed_wait{false};
  std::vector<std::thread> threads;

  // Chat: between two polls, some toasts leave and a few come.
  std::atomic<int64_t> chat_added{0}, chat_wechat_added{0}, chat_removed{0}, chat_polls{0};
  std::thread chat_driver([&] {
    uint32_t next_id = 1;
    uint32_t rng = 12345;
    auto random = [&](uint32_t n) { return (rng = rng * 1103515245 + 12345) / 65536 % n; };
    const wchar_t* apps[] = {L"WeChat", L"Mail", L"\u5FAE\u4FE1", L"wechat", L"Teams", L"WeChat"};
    for (int poll = 1;; ++poll) {
      if (!WaitFor([&] { return centre->polls >= poll && window->wechat_pacer.Waiting() > 0; },
                   done, 10000)) {
        failed_wait = true;
        return;
      }
      ++chat_polls;
      if (stop_load) {
        return;
      }
      auto& toasts = centre->toasts;
      for (uint32_t n = random(4); n > 0 && toasts.size() > 40; --n, ++chat_removed) {
        toasts.erase(toasts.begin() + random(std::min<uint32_t>(toasts.size(), 60)));
      }
      for (uint32_t n = random(kChatMaxNewPerPoll + 1);
           n > 0 && toasts.size() < static_cast<size_t>(kChatMaxHeld); --n, ++chat_added) {
        auto toast = kr_test::FakeToast::Create(&chat_log);
        toast->id = next_id++;
        toast->app = apps[random(6)];
        toast->texts = {std::to_wstring(toast->id), L"see you at noon"};
        if (toast->app != L"Mail" && toast->app != L"Teams") {
          std::lock_guard<std::mutex> guard(received.lock);
          received.chat_expected.push_back(toast->id);
          ++chat_wechat_added;
        }
        toasts.push_back(toast);
      }
      ::Sleep(1);  // the other feeds get the cores too
      window->wechat_pacer.Advance();
    }
  });

  // Calendar: a pass after another, each with the next version.
  CalendarStats calendar_stats;
  std::thread calendar_driver([&] {
    for (int64_t v = 1;; ++v) {
      if (!WaitFor(
              [&] { return calendar_script.requests >= v && window->calendar_pacer.Waiting() > 0; },
              done, 10000)) {
        failed_wait = true;
        return;
      }
      ++calendar_stats.passes;
      std::optional<int64_t> now = ParseCalendar(ReadCalendarAppointments());
      calendar_stats.kept_old += !now || *now != v;
      calendar_stats.written = v;
      if (stop_load) {
        return;
      }
      calendar_script.found = CalendarVersion(v + 1);
      ::Sleep(2);  // the readers get the file to themselves a moment
      window->calendar_pacer.Advance();
    }
  });
  std::thread calendar_readers[2];
  for (std::thread& reader : calendar_readers) {
    reader = std::thread([&] {
      WaitFor([&] { return calendar_stats.written >= 1; }, done, 10000);
      CalendarReader(&calendar_stats, &stop_load);
    });
  }

  // Media.
  std::thread raisers[kSlots];
  for (int s = 0; s < kSlots; ++s) {
    raisers[s] = std::thread(RaiseLoop, media.get(), s, &stop_media, &pause_media, &media_paused);
  }
  std::thread completer(CompleteLoop, media.get(), &stop_completer);
  std::thread churner([&] {
    for (int slot = 0; !stop_media; slot = (slot + 1) % kSlots) {
      ::Sleep(50);
      if (!pause_media) {
        media->Churn(slot);
      }
    }
  });

  // The conductor: checkpoints, figures, then the end.
  std::vector<Check> checks;
  int64_t marker_failures = 0;
  int64_t markers_done = 0;
  ULONGLONG last_marker_tick = 0;
  int reopened_first_handlers = -1, reopened_again_handlers = -1, reopened_passes = 0;
  auto checkpoint = [&](int64_t k, bool raising) {
    // The raisers and the churn hold still; the marker's three events are then
    // the newest of their kinds and must be what the interface saw last.
    pause_media = true;
    if (raising) {
      WaitFor([&] { return media_paused == kSlots; }, done, 10000);
    }
    std::lock_guard<std::mutex> no_churn(media->churn_lock);
    // The watcher keeps one progress event per session per 200 ms.
    while (::GetTickCount64() < last_marker_tick + 250) {
      ::Sleep(10);
    }
    last_marker_tick = ::GetTickCount64();
    SetState(media->marker.get(), L"mark#" + std::to_wstring(k), kMarkerSlot, k);
    media->marker->media_changed.Raise(media->marker.get());
    media->marker->playback_changed.Raise(media->marker.get());
    media->marker->timeline_changed.Raise(media->marker.get());
    // Posted behind the marker's messages in the main thread's queue.
    ::PostMessageW(mark_window, WM_APP, static_cast<WPARAM>(k), 0);
    std::unique_lock<std::mutex> guard(received.lock);
    bool arrived = received.changed.wait_for(guard, std::chrono::seconds(10),
                                             [&] { return received.mark >= k; });
    bool newest = arrived;
    for (MediaKind* kind : {&received.track, &received.playback, &received.progress}) {
      newest = newest && kind->newest.slot == kMarkerSlot && kind->newest.seq == k;
    }
    if (!newest) {
      std::printf(
          "checkpoint %lld: mark %s; newest (slot:seq) track %d:%lld, playback %d:%lld, "
          "progress %d:%lld\n",
          static_cast<long long>(k), arrived ? "arrived" : "did not arrive",
          received.track.newest.slot, static_cast<long long>(received.track.newest.seq),
          received.playback.newest.slot, static_cast<long long>(received.playback.newest.seq),
          received.progress.newest.slot, static_cast<long long>(received.progress.newest.seq));
    }
    guard.unlock();
    marker_failures += !newest;
    ++markers_done;
    pause_media = false;
    return newest;
  };

  const Clock::time_point start = Clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  std::optional<Resources> baseline;
  Resources last_running;
  // The system monitor keeps 300 samples, one a second: its history fills for
  // five minutes after the start, so growth is also shown from half-time on.
  std::optional<Resources> second_half;
  double second_half_at = 0;
  Resources peak;
  std::thread conductor([&] {
    int64_t k = 0;
    std::printf("%8s %9s %9s %8s %8s %6s %8s %4s %4s %5s %9s\n", "t(s)", "media-in", "media-out",
                "chat-out", "cal-pass", "snaps", "handles", "gdi", "user", "wins", "priv(MiB)");
    for (double next = warmup; next <= seconds + 1e-9; next += interval) {
      while (elapsed() < next && !failed_wait) {
        ::Sleep(50);
      }
      if (failed_wait) {
        break;
      }
      checkpoint(++k, true);
      Resources now = ReadResources();
      if (!baseline) {
        baseline = now;
        peak = now;
      }
      peak.handles = std::max(peak.handles, now.handles);
      peak.gdi = std::max(peak.gdi, now.gdi);
      peak.user = std::max(peak.user, now.user);
      peak.private_mib = std::max(peak.private_mib, now.private_mib);
      peak.windows = std::max(peak.windows, now.windows);
      last_running = now;
      if (!second_half && elapsed() >= seconds / 2) {
        second_half = now;
        second_half_at = elapsed();
      }
      int64_t in = media->raised[0] + media->raised[1] + media->raised[2];
      int64_t out, chat_out, snaps;
      {
        std::lock_guard<std::mutex> guard(received.lock);
        out =
            received.track.from_slots + received.playback.from_slots + received.progress.from_slots;
        chat_out = received.chat_received;
        snaps = received.snapshots;
      }
      std::printf(
          "%8.1f %9lld %9lld %8lld %8lld %6lld %8ld %4ld %4ld %5ld %9.2f\n", elapsed(),
          static_cast<long long>(in), static_cast<long long>(out), static_cast<long long>(chat_out),
          static_cast<long long>(calendar_stats.passes.load()), static_cast<long long>(snaps),
          now.handles, now.gdi, now.user, now.windows, now.private_mib);
      std::fflush(stdout);
    }
    while (elapsed() < seconds && !failed_wait) {
      ::Sleep(50);
    }
    // The end: every producer stops after a whole step, then the last marker.
    stop_media = true;
    for (std::thread& raiser : raisers) {
      raiser.join();
    }
    churner.join();
    stop_completer = true;
    completer.join();
    stop_load = true;
    chat_driver.join();
    calendar_driver.join();
    for (std::thread& reader : calendar_readers) {
      reader.join();
    }
    checkpoint(++k, false);
    if (probe_reopened) {
      // An application closes and opens again under the same id, both before
      // the watcher reads the list: its new session must be subscribed too,
      // by that SessionsChanged or by a poll pass after it.
      auto first = FakeSession::Create(&media_log, L"soak.reopened");
      media->extra = first;
      media->List();
      media->manager->RaiseSessionsChanged();
      reopened_first_handlers = first->HandlerCount();
      auto again = FakeSession::Create(&media_log, L"soak.reopened");
      media->extra = again;
      media->List();
      first.reset();
      media->manager->RaiseSessionsChanged();
      const int passes = window->media_feed.poll_passes;
      WaitFor(
          [&] {
            return again->HandlerCount() == 3 || window->media_feed.poll_passes >= passes + 2;
          },
          failed_wait, 10000);
      reopened_again_handlers = again->HandlerCount();
      reopened_passes = window->media_feed.poll_passes - passes;
    }
    done = true;
    ::PostMessageW(window->GetHandle(), WM_NULL, 0, 0);
  });

  while (!done) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
  }
  conductor.join();
  const double run_seconds = elapsed();
  const Resources at_end = ReadResources();  // the load stopped, the feeds still run

  // Teardown as the product's, then every fake reference must be back.
  const int64_t frames = peer->frames();
  const int64_t raised[3] = {media->raised[0], media->raised[1], media->raised[2]};
  const int64_t churns = media->churns;
  const int64_t late_completions = media->late_completions;
  const int64_t subscribe_wait_max_ms = media->subscribe_wait_max_ms;
  ::DestroyWindow(mark_window);
  g_mark_channel = nullptr;
  mark_channel.reset();
  window.reset();
  const Resources after_teardown = ReadResources();
  winrt::GetRuntimeProcs() = saved_procs;
  GetCalendarProcs() = saved_calendar;
  SetCapsuleExecutable(L"");
  g_media_statics = g_chat_statics = g_calendar_statics = nullptr;
  media.reset();
  centre.reset();
  calendar.reset();
  peer.reset();
  ::DeleteFileW((g_calendar_folder + L"\\Kestrune\\capsule_calendar.json").c_str());
  ::RemoveDirectoryW((g_calendar_folder + L"\\Kestrune").c_str());
  ::RemoveDirectoryW(g_calendar_folder.c_str());

  // Figures.
  const Received& r = received;
  auto rate = [&](int64_t n) { return static_cast<double>(n) / run_seconds; };
  std::printf("\nthroughput over %.1f s:\n", run_seconds);
  const char* kind_names[] = {"track_change", "playback", "progress"};
  const MediaKind* kinds[] = {&r.track, &r.playback, &r.progress};
  int64_t media_in = 0, media_out = 0;
  for (int i = 0; i < 3; ++i) {
    media_in += raised[i];
    media_out += kinds[i]->from_slots;
    std::printf("  media %-13s raised %9.0f/s  delivered %8.0f/s (%.1f%%; the rest coalesced%s)\n",
                kind_names[i], rate(raised[i]), rate(kinds[i]->from_slots),
                raised[i] ? 100.0 * kinds[i]->from_slots / raised[i] : 0.0,
                i == 2 ? " or throttled to 1 per 200 ms per session" : "");
  }
  std::printf(
      "  media sessions replaced %.1f/s, track reads completed later %.0f/s, "
      "current-session pushes %lld\n",
      rate(churns), rate(late_completions),
      static_cast<long long>(r.track.from_current + r.playback.from_current));
  std::printf(
      "  chat polls %.0f/s, toasts added %.0f/s (WeChat %.0f/s), removed %.0f/s, "
      "delivered %.0f/s\n",
      rate(chat_polls), rate(chat_added), rate(chat_wechat_added), rate(chat_removed),
      rate(r.chat_received));
  std::printf("  calendar passes %.1f/s (old file kept %lld), reads %.0f/s\n",
              rate(calendar_stats.passes), static_cast<long long>(calendar_stats.kept_old.load()),
              rate(calendar_stats.reads));
  std::printf("  system snapshots %.2f/s\n", rate(r.snapshots));
  std::printf("  bridge frames to the interface %.0f/s\n", rate(frames));

  // Checks.
  int64_t order_errors = 0, malformed = 0, markers_seen = 0;
  for (const MediaKind* kind : kinds) {
    order_errors += kind->order_errors;
    malformed += kind->malformed;
    markers_seen += kind->markers;
  }
  checks.push_back({"no producer wait timed out", !failed_wait, ""});
  checks.push_back(
      {"media: the newest event of each kind reached the interface at every "
       "checkpoint",
       marker_failures == 0 && markers_done > 0,
       Format("%lld of %lld checkpoints failed", (long long)marker_failures,
              (long long)markers_done)});
  if (probe_reopened) {
    checks.push_back({"media: a session reopened under the same id is subscribed",
                      reopened_first_handlers == 3 && reopened_again_handlers == 3,
                      Format("handlers: first session %d, reopened one %d after %d poll passes",
                             reopened_first_handlers, reopened_again_handlers, reopened_passes)});
  }
  checks.push_back({"media: a new session is subscribed within 1 s", subscribe_wait_max_ms <= 1000,
                    Format("longest wait %lld ms", (long long)subscribe_wait_max_ms)});
  checks.push_back({"media: per session, events in order, none twice", order_errors == 0,
                    Format("%lld out of order or repeated", (long long)order_errors)});
  checks.push_back({"media: every payload whole and read from one state", malformed == 0,
                    Format("%lld malformed", (long long)malformed)});
  checks.push_back(
      {"media: never more delivered than raised", media_out <= media_in,
       Format("%lld delivered of %lld raised", (long long)media_out, (long long)media_in)});
  checks.push_back(
      {"chat: each WeChat toast reported once, in order, none lost",
       r.chat_lost == 0 && r.chat_repeated == 0 && r.chat_expected.empty() &&
           r.chat_received == chat_wechat_added,
       Format("%lld received of %lld added, %lld lost, %lld repeated, %zu left",
              (long long)r.chat_received, (long long)chat_wechat_added.load(),
              (long long)r.chat_lost, (long long)r.chat_repeated, r.chat_expected.size())});
  checks.push_back(
      {"calendar: every read one whole version, never empty, never older",
       calendar_stats.torn == 0 && calendar_stats.empty == 0 && calendar_stats.backwards == 0 &&
           calendar_stats.ahead == 0 && calendar_stats.reads > 0,
       Format("%lld reads: %lld torn, %lld empty, %lld older, %lld unknown",
              (long long)calendar_stats.reads.load(), (long long)calendar_stats.torn.load(),
              (long long)calendar_stats.empty.load(), (long long)calendar_stats.backwards.load(),
              (long long)calendar_stats.ahead.load())});
  const double expected_snapshots = run_seconds - 1;
  checks.push_back({"system: a snapshot each period (1 s), each delivered and whole",
                    r.snapshots >= expected_snapshots * 0.9 - 2 && r.snapshots <= run_seconds + 2 &&
                        r.snapshot_malformed == 0,
                    Format("%lld snapshots in %.0f s, %lld malformed", (long long)r.snapshots,
                           run_seconds, (long long)r.snapshot_malformed)});
  checks.push_back({"fake runtime objects all released (references back to zero)",
                    media_log.live_objects == 0 && chat_log.live_objects == 0 &&
                        calendar_script.log.live_objects == 0,
                    Format("live: media %d, chat %d, calendar %d", media_log.live_objects.load(),
                           chat_log.live_objects.load(), calendar_script.log.live_objects.load())});
  if (baseline) {
    const Resources& b = *baseline;
    const Resources& e = last_running;
    const Resources& f = at_end;
    std::printf(
        "\nresources  after warm-up  peak running  last checkpoint  load stopped  after "
        "teardown\n");
    auto row = [](const char* name, long v1, long v2, long v3, long v4, long v5) {
      std::printf("  %-9s %12ld %13ld %16ld %13ld %15ld\n", name, v1, v2, v3, v4, v5);
    };
    row("handles", b.handles, peak.handles, e.handles, f.handles, after_teardown.handles);
    row("GDI", b.gdi, peak.gdi, e.gdi, f.gdi, after_teardown.gdi);
    row("USER", b.user, peak.user, e.user, f.user, after_teardown.user);
    row("windows", b.windows, peak.windows, e.windows, f.windows, after_teardown.windows);
    std::printf("  %-9s %8.2f MiB %9.2f MiB %12.2f MiB %9.2f MiB %11.2f MiB\n", "private",
                b.private_mib, peak.private_mib, e.private_mib, f.private_mib,
                after_teardown.private_mib);
    std::printf(
        "  (handles from %s; private bytes: PrivateUsage, or PagefileUsage where that is 0)\n",
        b.handles_from_table ? "the system handle table, GetProcessHandleCount says 0"
                             : "GetProcessHandleCount");
    if (second_half) {
      std::printf(
          "  from %.0f s to the last checkpoint: handles %+ld, windows %+ld, private "
          "%+.2f MiB\n",
          second_half_at, e.handles - second_half->handles, e.windows - second_half->windows,
          e.private_mib - second_half->private_mib);
    }
    // Growth: the larger of the last checkpoint under load and the stopped load.
    const long handles = std::max(e.handles, f.handles) - b.handles;
    const long gdi = std::max(e.gdi, f.gdi) - b.gdi;
    const long user = std::max(e.user, f.user) - b.user;
    const long windows = std::max(e.windows, f.windows) - b.windows;
    const double private_mib = std::max(e.private_mib, f.private_mib) - b.private_mib;
    checks.push_back({"handles: growth after warm-up within +32", handles <= kHandleBound,
                      Format("%+ld", handles)});
    if (b.gui_counted) {
      checks.push_back({"GDI/USER objects: growth after warm-up within +16 each",
                        gdi <= kGuiBound && user <= kGuiBound,
                        Format("GDI %+ld, USER %+ld", gdi, user)});
    } else {
      checks.push_back({"GDI/USER objects (GetGuiResources)", true,
                        "not implemented by this system, nothing to compare", true});
    }
    checks.push_back({"windows of this process: growth after warm-up within +16",
                      windows <= kGuiBound, Format("%+ld", windows)});
    checks.push_back({"private bytes: growth after warm-up within +8 MiB",
                      private_mib <= kPrivateBoundMiB, Format("%+.2f MiB", private_mib)});
  }
  bool all = true;
  std::printf("\n");
  for (const Check& check : checks) {
    std::printf("%s  %s%s%s\n",
                check.skipped ? "SKIP"
                : check.pass  ? "PASS"
                              : "FAIL",
                check.name, check.detail.empty() ? "" : ": ", check.detail.c_str());
    all = all && check.pass;
  }
  std::printf("%s\n", all ? "feed soak: PASS" : "feed soak: FAIL");
  return all ? 0 : 1;
}
