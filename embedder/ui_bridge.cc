#include "embedder/ui_bridge.h"

#include <ws2tcpip.h>

#include <flutter/standard_method_codec.h>
#include "runner/debug_log.h"

namespace flutter {
namespace {

constexpr DWORD kWelcomeTimeoutMs = 5000;

class WinsockSession {
 public:
  static bool Ensure() {
    static WinsockSession session;
    return session.ok_;
  }
  ~WinsockSession() {
    if (ok_) {
      WSACleanup();
    }
  }

 private:
  WinsockSession() {
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  bool ok_ = false;
};

void SetReceiveTimeout(SOCKET socket, DWORD milliseconds) {
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
             sizeof(milliseconds));
}

}  // namespace

UiBridge::UiBridge(HWND notify_window, UINT notify_message)
    : notify_window_(notify_window), notify_message_(notify_message) {}

UiBridge::~UiBridge() {
  Close();
}

bool UiBridge::Connect(const bridge::Address& address, const EncodableMap& hello) {
  Close();
  if (!WinsockSession::Ensure()) {
    DebugLog("[Bridge] Winsock unavailable; interface not connected");
    return false;
  }
  socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) {
    DebugLogF("[Bridge] socket failed: %d", WSAGetLastError());
    return false;
  }
  BOOL no_delay = TRUE;
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
             sizeof(no_delay));
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(address.port);
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never anywhere but this machine
  if (::connect(socket_, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0) {
    DebugLogF("[Bridge] connect to 127.0.0.1:%u failed: %d", address.port, WSAGetLastError());
    Close();
    return false;
  }

  bridge::Frame hello_frame;
  hello_frame.kind = bridge::FrameKind::kHello;
  hello_frame.data = *StandardMessageCodec::GetInstance().EncodeMessage(EncodableValue(hello));
  if (!Send(hello_frame)) {
    DebugLog("[Bridge] hello could not be sent");
    Close();
    return false;
  }

  SetReceiveTimeout(socket_, kWelcomeTimeoutMs);
  bridge::Frame welcome;
  std::string error;
  if (!ReadFrame(socket_, &welcome, &error)) {
    DebugLogF("[Bridge] no welcome from the interface: %s", error.c_str());
    Close();
    return false;
  }
  SetReceiveTimeout(socket_, 0);
  std::optional<bridge::Welcome> parsed;
  if (welcome.kind == bridge::FrameKind::kWelcome) {
    parsed = bridge::ParseWelcome(welcome.data, &error);
  } else {
    error = "another kind of frame";
  }
  if (!parsed) {
    DebugLogF("[Bridge] malformed welcome (%s); connection refused", error.c_str());
    Close();
    return false;
  }
  if (parsed->token != address.token) {
    DebugLog("[Bridge] wrong token in welcome; connection refused");
    Close();
    return false;
  }
  peer_ = parsed->peer;

  running_ = true;
  reader_ = std::thread(&UiBridge::ReadLoop, this, socket_);
  DebugLogF("[Bridge] connected to the interface on 127.0.0.1:%u", address.port);
  return true;
}

bool UiBridge::Send(const bridge::Frame& frame) {
  if (socket_ == INVALID_SOCKET) {
    return false;
  }
  std::vector<uint8_t> bytes = bridge::EncodeFrame(frame);
  size_t sent = 0;
  while (sent < bytes.size()) {
    int chunk = static_cast<int>(std::min<size_t>(bytes.size() - sent, 1 << 20));
    int written = ::send(socket_, reinterpret_cast<const char*>(bytes.data() + sent), chunk, 0);
    if (written <= 0) {
      DebugLogF("[Bridge] send failed: %d", WSAGetLastError());
      return false;
    }
    sent += static_cast<size_t>(written);
  }
  return true;
}

std::vector<bridge::Frame> UiBridge::TakeFrames(bool* ended, std::string* reason) {
  std::lock_guard<std::mutex> guard(inbox_lock_);
  std::vector<bridge::Frame> frames(std::make_move_iterator(inbox_.begin()),
                                    std::make_move_iterator(inbox_.end()));
  inbox_.clear();
  *ended = ended_;
  *reason = end_reason_;
  return frames;
}

void UiBridge::Close() {
  running_ = false;
  // Closing the socket is what reliably wakes a reader blocked in recv.
  if (socket_ != INVALID_SOCKET) {
    ::shutdown(socket_, SD_BOTH);
    ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  peer_.clear();
  if (reader_.joinable()) {
    reader_.join();
  }
  std::lock_guard<std::mutex> guard(inbox_lock_);
  inbox_.clear();
  ended_ = false;
  end_reason_.clear();
}

bool UiBridge::ReadExact(SOCKET socket, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    int chunk = static_cast<int>(std::min<size_t>(size - done, 1 << 20));
    int received = ::recv(socket, reinterpret_cast<char*>(buffer + done), chunk, 0);
    if (received <= 0) {
      return false;
    }
    done += static_cast<size_t>(received);
  }
  return true;
}

bool UiBridge::ReadFrame(SOCKET socket, bridge::Frame* frame, std::string* error) {
  uint8_t header[bridge::kHeaderSize];
  if (!ReadExact(socket, header, sizeof(header))) {
    *error = "connection closed";
    return false;
  }
  std::optional<uint32_t> size = bridge::ParseHeader(header, error);
  if (!size) {
    return false;
  }
  // Grown as bytes arrive, so a peer announcing a huge frame it never sends
  // costs nothing.
  std::vector<uint8_t> payload;
  size_t done = 0;
  while (done < *size) {
    size_t chunk = std::min<size_t>(*size - done, 64 * 1024);
    payload.resize(done + chunk);
    if (!ReadExact(socket, payload.data() + done, chunk)) {
      *error = "truncated frame";
      return false;
    }
    done += chunk;
  }
  std::optional<bridge::Frame> parsed = bridge::ParsePayload(payload.data(), payload.size(), error);
  if (!parsed) {
    return false;
  }
  *frame = std::move(*parsed);
  return true;
}

void UiBridge::ReadLoop(SOCKET socket) {
  while (running_) {
    bridge::Frame frame;
    std::string error;
    bool ok = ReadFrame(socket, &frame, &error);
    {
      std::lock_guard<std::mutex> guard(inbox_lock_);
      if (ok) {
        inbox_.push_back(std::move(frame));
      } else {
        ended_ = true;
        end_reason_ = error;
      }
    }
    Notify();
    if (!ok) {
      break;
    }
  }
}

void UiBridge::Notify() {
  ::PostMessageW(notify_window_, notify_message_, 0, 0);
}

}  // namespace flutter
