#include "tests/support/ui_bridge_server.h"

#include <ws2tcpip.h>

#include <chrono>
#include <random>

#include "embedder/method_result.h"
#include "embedder/standard_codec.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

bool EnsureWinsock() {
  static bool ok = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}

bool ReadExact(SOCKET socket, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    int received =
        ::recv(socket, reinterpret_cast<char*>(buffer + done), static_cast<int>(size - done), 0);
    if (received <= 0) {
      return false;
    }
    done += static_cast<size_t>(received);
  }
  return true;
}

bool WriteAll(SOCKET socket, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    int sent = ::send(socket, reinterpret_cast<const char*>(bytes.data() + done),
                      static_cast<int>(bytes.size() - done), 0);
    if (sent <= 0) {
      return false;
    }
    done += static_cast<size_t>(sent);
  }
  return true;
}

std::string RandomToken() {
  std::random_device device;
  std::mt19937_64 generator((static_cast<uint64_t>(device()) << 32) ^ ::GetTickCount64() ^
                            ::GetCurrentProcessId());
  const char digits[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 32; ++i) {
    token.push_back(digits[generator() % 16]);
  }
  return token;
}

const EncodableValue* Find(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  return found == map.end() ? nullptr : &found->second;
}

// Collects the decoded answer of a reply envelope.
class CapturingResult : public flutter::MethodResult<EncodableValue> {
 public:
  explicit CapturingResult(CallResult* out) : out_(out) {}

 protected:
  void SuccessInternal(const EncodableValue* result) override {
    out_->kind = CallResult::Kind::kSuccess;
    out_->value = result ? *result : EncodableValue();
  }
  void ErrorInternal(const std::string& code,
                     const std::string& message,
                     const EncodableValue* details) override {
    out_->kind = CallResult::Kind::kError;
    out_->code = code;
    out_->message = message;
    out_->value = details ? *details : EncodableValue();
  }
  void NotImplementedInternal() override { out_->kind = CallResult::Kind::kNotImplemented; }

 private:
  CallResult* out_;
};

}  // namespace

bool ReadBridgeFrame(SOCKET socket, bridge::Frame* frame) {
  uint8_t header[bridge::kHeaderSize];
  if (!ReadExact(socket, header, sizeof(header))) {
    return false;
  }
  std::optional<uint32_t> size = bridge::ParseHeader(header, nullptr);
  if (!size) {
    return false;
  }
  std::vector<uint8_t> payload(*size);
  if (!ReadExact(socket, payload.data(), payload.size())) {
    return false;
  }
  std::optional<bridge::Frame> parsed =
      bridge::ParsePayload(payload.data(), payload.size(), nullptr);
  if (!parsed) {
    return false;
  }
  *frame = std::move(*parsed);
  return true;
}

// -- BridgeConnection ---------------------------------------------------------

BridgeConnection::BridgeConnection(SOCKET socket, EncodableMap hello)
    : socket_(socket), hello_(std::move(hello)) {
  reader_ = std::thread(&BridgeConnection::ReadLoop, this);
}

BridgeConnection::~BridgeConnection() {
  ::shutdown(socket_, SD_BOTH);
  ::closesocket(socket_);
  if (reader_.joinable()) {
    reader_.join();
  }
}

std::string BridgeConnection::role() const {
  const EncodableValue* role = Find(hello_, "role");
  const std::string* text = role ? std::get_if<std::string>(role) : nullptr;
  return text ? *text : std::string();
}

int64_t BridgeConnection::pid() const {
  const EncodableValue* pid = Find(hello_, "pid");
  if (pid == nullptr ||
      !(std::holds_alternative<int32_t>(*pid) || std::holds_alternative<int64_t>(*pid))) {
    return -1;
  }
  return pid->LongValue();
}

CallResult BridgeConnection::Call(const std::string& channel,
                                  const std::string& method,
                                  const EncodableValue& arguments,
                                  DWORD timeout_ms) {
  flutter::MethodCall<EncodableValue> call(method, std::make_unique<EncodableValue>(arguments));
  bridge::Frame frame;
  frame.kind = bridge::FrameKind::kMessage;
  frame.channel = channel;
  frame.data = *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
  uint32_t id;
  {
    std::lock_guard<std::mutex> guard(lock_);
    id = next_reply_id_++;
    frame.reply_id = id;
    replies_[id] = std::nullopt;
  }
  CallResult result;
  if (!SendRaw(bridge::EncodeFrame(frame))) {
    return result;
  }
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                    [&] { return replies_[id].has_value() || closed_; });
  std::optional<std::vector<uint8_t>> reply = replies_[id];
  replies_.erase(id);
  guard.unlock();
  if (!reply) {
    return result;
  }
  CapturingResult capture(&result);
  flutter::StandardMethodCodec::GetInstance().DecodeAndProcessResponseEnvelope(
      reply->data(), reply->size(), &capture);
  return result;
}

std::optional<InterfaceCall> BridgeConnection::WaitForCall(const std::string& channel,
                                                           const std::string& method,
                                                           DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(lock_);
  std::optional<InterfaceCall> found;
  changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] {
    for (size_t i = 0; i < calls_.size(); ++i) {
      if (!taken_flags_[i] && calls_[i].channel == channel && calls_[i].method == method) {
        taken_flags_[i] = true;
        found = calls_[i];
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<InterfaceCall> BridgeConnection::Calls() const {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

bool BridgeConnection::SendRaw(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> guard(send_lock_);
  return WriteAll(socket_, bytes);
}

bool BridgeConnection::SendRawAndFinish(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> guard(send_lock_);
  bool ok = WriteAll(socket_, bytes);
  ::shutdown(socket_, SD_SEND);
  return ok;
}

bool BridgeConnection::WaitClosed(DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] { return closed_; });
}

bool BridgeConnection::closed() const {
  std::lock_guard<std::mutex> guard(lock_);
  return closed_;
}

void BridgeConnection::ReadLoop() {
  bridge::Frame frame;
  while (ReadBridgeFrame(socket_, &frame)) {
    if (frame.kind == bridge::FrameKind::kReply) {
      std::lock_guard<std::mutex> guard(lock_);
      auto pending = replies_.find(frame.reply_id);
      if (pending != replies_.end()) {
        pending->second = frame.data;
      }
      changed_.notify_all();
      continue;
    }
    if (frame.kind != bridge::FrameKind::kMessage) {
      continue;
    }
    std::unique_ptr<flutter::MethodCall<EncodableValue>> call =
        flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(frame.data.data(),
                                                                     frame.data.size());
    if (call) {
      std::lock_guard<std::mutex> guard(lock_);
      calls_.push_back({frame.channel, call->method_name(),
                        call->arguments() ? *call->arguments() : EncodableValue()});
      taken_flags_.push_back(false);
      changed_.notify_all();
    }
    if (frame.reply_id != 0) {
      // The interface accepts every call the host makes.
      bridge::Frame reply;
      reply.kind = bridge::FrameKind::kReply;
      reply.reply_id = frame.reply_id;
      reply.data = *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope();
      SendRaw(bridge::EncodeFrame(reply));
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  closed_ = true;
  changed_.notify_all();
}

// -- UiBridgeServer -----------------------------------------------------------

UiBridgeServer::UiBridgeServer() : token_(RandomToken()), welcome_token_(token_) {
  EnsureWinsock();
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::listen(listener_, 8);
  int length = sizeof(address);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&UiBridgeServer::AcceptLoop, this);
}

UiBridgeServer::~UiBridgeServer() {
  running_ = false;
  ::closesocket(listener_);
  if (acceptor_.joinable()) {
    acceptor_.join();
  }
  std::lock_guard<std::mutex> guard(lock_);
  connections_.clear();
}

std::wstring UiBridgeServer::Setting() const {
  std::wstring token(token_.begin(), token_.end());
  return std::to_wstring(port_) + L":" + token;
}

void UiBridgeServer::SetWelcomeToken(const std::string& token) {
  std::lock_guard<std::mutex> guard(lock_);
  welcome_token_ = token;
}

BridgeConnection* UiBridgeServer::WaitForConnection(const std::string& role, DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(lock_);
  BridgeConnection* found = nullptr;
  changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] {
    for (size_t i = 0; i < connections_.size(); ++i) {
      if (!handed_out_[i] && connections_[i]->role() == role) {
        handed_out_[i] = true;
        found = connections_[i].get();
        return true;
      }
    }
    return false;
  });
  return found;
}

void UiBridgeServer::AcceptLoop() {
  while (running_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, 100 * 1000};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) {
      continue;
    }
    SOCKET socket = ::accept(listener_, nullptr, nullptr);
    if (socket == INVALID_SOCKET) {
      continue;
    }
    Handshake(socket);
  }
}

void UiBridgeServer::Handshake(SOCKET socket) {
  DWORD timeout = 5000;
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
  bridge::Frame hello;
  std::unique_ptr<EncodableValue> value;
  if (ReadBridgeFrame(socket, &hello) && hello.kind == bridge::FrameKind::kHello) {
    value = flutter::StandardMessageCodec::GetInstance().DecodeMessage(hello.data.data(),
                                                                       hello.data.size());
  }
  const EncodableMap* map = value ? std::get_if<EncodableMap>(value.get()) : nullptr;
  const EncodableValue* token = map ? Find(*map, "token") : nullptr;
  const std::string* token_text = token ? std::get_if<std::string>(token) : nullptr;
  if (token_text == nullptr || *token_text != token_) {
    ++refused_hellos_;
    ::closesocket(socket);
    return;
  }
  std::string welcome_token;
  {
    std::lock_guard<std::mutex> guard(lock_);
    welcome_token = welcome_token_;
  }
  bridge::Frame welcome;
  welcome.kind = bridge::FrameKind::kWelcome;
  welcome.data = *flutter::StandardMessageCodec::GetInstance().EncodeMessage(
      EncodableValue(EncodableMap{{EncodableValue("token"), EncodableValue(welcome_token)}}));
  WriteAll(socket, bridge::EncodeFrame(welcome));
  timeout = 0;
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
  auto connection = std::make_unique<BridgeConnection>(socket, *map);
  std::lock_guard<std::mutex> guard(lock_);
  connections_.push_back(std::move(connection));
  handed_out_.push_back(false);
  changed_.notify_all();
}

}  // namespace kr_test
