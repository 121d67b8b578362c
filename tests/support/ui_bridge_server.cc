#include "tests/support/ui_bridge_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "embedder/bridge_protocol.h"
#include <flutter/method_result_functions.h>
#include <flutter/standard_method_codec.h>
#include "embedder/ui_bridge.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using std::chrono::milliseconds;

const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

bool WriteAll(SOCKET socket, const std::vector<uint8_t>& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    int sent = ::send(socket, reinterpret_cast<const char*>(bytes.data() + done),
                      static_cast<int>(bytes.size() - done), 0);
    if (sent <= 0) {
      return false;
    }
    done += static_cast<size_t>(sent);
  }
  return true;
}

std::optional<bridge::Frame> ReadFrame(SOCKET socket) {
  bridge::Frame frame;
  std::string error;
  return flutter::UiBridge::ReadFrame(socket, &frame, &error) ? std::optional(std::move(frame))
                                                              : std::nullopt;
}

const EncodableValue* Find(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  return found == map.end() ? nullptr : &found->second;
}

}  // namespace

BridgeConnection::BridgeConnection(SOCKET socket, EncodableMap hello)
    : socket_(socket), hello_(std::move(hello)), reader_(&BridgeConnection::ReadLoop, this) {}

BridgeConnection::~BridgeConnection() {
  ::shutdown(socket_, SD_BOTH);
  ::closesocket(socket_);
  reader_.join();
}

CallResult BridgeConnection::Call(const std::string& channel,
                                  const std::string& method,
                                  const EncodableValue& arguments,
                                  DWORD timeout_ms) {
  flutter::MethodCall<EncodableValue> call(method, std::make_unique<EncodableValue>(arguments));
  bridge::Frame frame{bridge::FrameKind::kMessage, 0, channel, *Codec().EncodeMethodCall(call)};
  {
    std::lock_guard<std::mutex> guard(lock_);
    frame.reply_id = next_reply_id_++;
    replies_[frame.reply_id] = std::nullopt;
  }
  CallResult result;
  if (!SendRaw(bridge::EncodeFrame(frame))) {
    return result;
  }
  std::unique_lock<std::mutex> guard(lock_);
  std::optional<std::vector<uint8_t>>& reply = replies_[frame.reply_id];
  changed_.wait_for(guard, milliseconds(timeout_ms), [&] { return reply.has_value() || closed_; });
  std::optional<std::vector<uint8_t>> bytes = std::move(reply);
  replies_.erase(frame.reply_id);
  guard.unlock();
  if (bytes) {
    using Kind = CallResult::Kind;
    flutter::MethodResultFunctions<EncodableValue> capture(
        [&](const EncodableValue* value) {
          result = {Kind::kSuccess, value ? *value : EncodableValue(), {}, {}};
        },
        [&](const std::string& code, const std::string& message, const EncodableValue* details) {
          result = {Kind::kError, details ? *details : EncodableValue(), code, message};
        },
        [&] { result.kind = Kind::kNotImplemented; });
    Codec().DecodeAndProcessResponseEnvelope(bytes->data(), bytes->size(), &capture);
  }
  return result;
}

std::optional<InterfaceCall> BridgeConnection::WaitForCall(const std::string& channel,
                                                           const std::string& method,
                                                           DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(lock_);
  std::optional<InterfaceCall> found;
  changed_.wait_for(guard, milliseconds(timeout_ms), [&] {
    for (size_t i = 0; i < calls_.size() && !found; ++i) {
      if (!taken_[i] && calls_[i].channel == channel && calls_[i].method == method) {
        taken_[i] = true;
        found = calls_[i];
      }
    }
    return found.has_value();
  });
  return found;
}

std::vector<InterfaceCall> BridgeConnection::Calls() const {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

std::vector<InterfaceCall> BridgeConnection::CallsFrom(size_t first) const {
  std::lock_guard<std::mutex> guard(lock_);
  return {calls_.begin() + static_cast<ptrdiff_t>(std::min(first, calls_.size())), calls_.end()};
}

bool BridgeConnection::SendRaw(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> guard(send_lock_);
  return WriteAll(socket_, bytes);
}

bool BridgeConnection::SendRawAndFinish(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> guard(send_lock_);
  return WriteAll(socket_, bytes) && ::shutdown(socket_, SD_SEND) == 0;
}

bool BridgeConnection::WaitClosed(DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, milliseconds(timeout_ms), [&] { return closed_; });
}

void BridgeConnection::ReadLoop() {
  while (std::optional<bridge::Frame> frame = ReadFrame(socket_)) {
    std::lock_guard<std::mutex> guard(lock_);
    if (frame->kind == bridge::FrameKind::kReply) {
      if (auto pending = replies_.find(frame->reply_id); pending != replies_.end()) {
        pending->second = frame->data;
      }
    } else if (frame->kind == bridge::FrameKind::kMessage) {
      if (auto call = Codec().DecodeMethodCall(frame->data.data(), frame->data.size())) {
        calls_.push_back({frame->channel, call->method_name(),
                          call->arguments() ? *call->arguments() : EncodableValue()});
        taken_.push_back(false);
      }
      if (frame->reply_id != 0) {
        bridge::Frame reply{
            bridge::FrameKind::kReply, frame->reply_id, {}, *Codec().EncodeSuccessEnvelope()};
        SendRaw(bridge::EncodeFrame(reply));
      }
    }
    changed_.notify_all();
  }
  std::lock_guard<std::mutex> guard(lock_);
  closed_ = true;
  changed_.notify_all();
}

UiBridgeServer::UiBridgeServer() {
  static const bool winsock = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  std::random_device random;
  char token[33];
  snprintf(token, sizeof(token), "%08x%08x%08x%08x", random(), random(), random(), random());
  token_ = welcome_token_ = token;
  listener_ = winsock ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::listen(listener_, 8);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&UiBridgeServer::AcceptLoop, this);
}

UiBridgeServer::~UiBridgeServer() {
  running_ = false;
  acceptor_.join();
  ::closesocket(listener_);
  std::lock_guard<std::mutex> guard(lock_);
  connections_.clear();
}

std::wstring UiBridgeServer::Setting() const {
  return std::to_wstring(port_) + L":" + std::wstring(token_.begin(), token_.end());
}

void UiBridgeServer::SetWelcomeToken(const std::string& token) {
  std::lock_guard<std::mutex> guard(lock_);
  welcome_token_ = token;
}

BridgeConnection* UiBridgeServer::WaitForConnection(const std::string& role, DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(lock_);
  BridgeConnection* found = nullptr;
  changed_.wait_for(guard, milliseconds(timeout_ms), [&] {
    for (size_t i = 0; i < connections_.size() && !found; ++i) {
      if (!handed_out_[i] && connections_[i]->role() == role) {
        handed_out_[i] = true;
        found = connections_[i].get();
      }
    }
    return found != nullptr;
  });
  return found;
}

void UiBridgeServer::AcceptLoop() {
  // Short waits, so that the destructor's stop is seen promptly.
  while (running_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, 100 * 1000};
    if (::select(0, &readable, nullptr, nullptr, &wait) > 0) {
      SOCKET socket = ::accept(listener_, nullptr, nullptr);
      if (socket != INVALID_SOCKET) {
        Handshake(socket);
      }
    }
  }
}

void UiBridgeServer::Handshake(SOCKET socket) {
  DWORD timeout = 5000;
  auto set_timeout = [&] {
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof(timeout));
  };
  set_timeout();
  std::optional<bridge::Frame> hello = ReadFrame(socket);
  std::unique_ptr<EncodableValue> value;
  if (hello && hello->kind == bridge::FrameKind::kHello) {
    value = flutter::StandardMessageCodec::GetInstance().DecodeMessage(hello->data.data(),
                                                                       hello->data.size());
  }
  const EncodableMap* map = value ? std::get_if<EncodableMap>(value.get()) : nullptr;
  const EncodableValue* token = map ? Find(*map, "token") : nullptr;
  const EncodableValue* role = map ? Find(*map, "role") : nullptr;
  const EncodableValue* pid = map ? Find(*map, "pid") : nullptr;
  if (token == nullptr || *token != EncodableValue(token_) || role == nullptr ||
      !std::holds_alternative<std::string>(*role) || pid == nullptr ||
      !(std::holds_alternative<int32_t>(*pid) || std::holds_alternative<int64_t>(*pid))) {
    ::closesocket(socket);
    return;
  }
  std::lock_guard<std::mutex> guard(lock_);
  EncodableValue welcome(EncodableMap{{EncodableValue("token"), EncodableValue(welcome_token_)}});
  WriteAll(socket, bridge::EncodeFrame(
                       {bridge::FrameKind::kWelcome,
                        0,
                        {},
                        *flutter::StandardMessageCodec::GetInstance().EncodeMessage(welcome)}));
  timeout = 0;
  set_timeout();
  connections_.push_back(std::make_unique<BridgeConnection>(socket, *map));
  handed_out_.push_back(false);
  changed_.notify_all();
}

}  // namespace kr_test
