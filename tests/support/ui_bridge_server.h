#ifndef KESTRUNE_TESTS_SUPPORT_UI_BRIDGE_SERVER_H_
#define KESTRUNE_TESTS_SUPPORT_UI_BRIDGE_SERVER_H_

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <flutter/encodable_value.h>

namespace kr_test {

// A method call the host sent to the interface.
struct InterfaceCall {
  std::string channel;
  std::string method;
  flutter::EncodableValue arguments;
};

// How the host answered a call from the interface.
struct CallResult {
  enum class Kind { kSuccess, kError, kNotImplemented, kNoAnswer };
  Kind kind = Kind::kNoAnswer;
  flutter::EncodableValue value;  // success value or error details
  std::string code;
  std::string message;
};

// One host process connected to the bridge; plays its Flutter interface,
// which accepts every call the host makes.
class BridgeConnection {
 public:
  BridgeConnection(SOCKET socket, flutter::EncodableMap hello);
  ~BridgeConnection();
  BridgeConnection(const BridgeConnection&) = delete;
  BridgeConnection& operator=(const BridgeConnection&) = delete;

  const flutter::EncodableMap& hello() const { return hello_; }
  // Both checked by the handshake.
  const std::string& role() const {
    return std::get<std::string>(hello_.at(flutter::EncodableValue("role")));
  }
  int64_t pid() const { return hello_.at(flutter::EncodableValue("pid")).LongValue(); }

  // Calls |method| on |channel| in the host and waits for the answer.
  CallResult Call(const std::string& channel,
                  const std::string& method,
                  const flutter::EncodableValue& arguments = flutter::EncodableValue(),
                  DWORD timeout_ms = 5000);

  // Waits for the next not yet taken call of |method| on |channel| from the host.
  std::optional<InterfaceCall> WaitForCall(const std::string& channel,
                                           const std::string& method,
                                           DWORD timeout_ms = 5000);
  // Every call from the host so far, in arrival order.
  std::vector<InterfaceCall> Calls() const;
  // The calls from the |first|-th on, for callers that poll through many.
  std::vector<InterfaceCall> CallsFrom(size_t first) const;

  // Writes bytes as they are, for malformed-input tests; the second then ends
  // the sending side, as a peer that quits mid-frame.
  bool SendRaw(const std::vector<uint8_t>& bytes);
  bool SendRawAndFinish(const std::vector<uint8_t>& bytes);

  bool WaitClosed(DWORD timeout_ms = 5000);

 private:
  void ReadLoop();

  SOCKET socket_;
  flutter::EncodableMap hello_;
  std::thread reader_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  bool closed_ = false;
  uint32_t next_reply_id_ = 1;
  std::map<uint32_t, std::optional<std::vector<uint8_t>>> replies_;
  std::vector<InterfaceCall> calls_;
  std::vector<bool> taken_;
  std::mutex send_lock_;
};

// Listens on a loopback port for hosts started with KR_UI_BRIDGE.
class UiBridgeServer {
 public:
  UiBridgeServer();
  ~UiBridgeServer();
  UiBridgeServer(const UiBridgeServer&) = delete;
  UiBridgeServer& operator=(const UiBridgeServer&) = delete;

  // The KR_UI_BRIDGE value that points a host here.
  std::wstring Setting() const;

  // The token the welcome carries; a different one tests the host's check.
  void SetWelcomeToken(const std::string& token);

  // Waits for a connected host of |role| ("main" or "capsule") not yet taken.
  BridgeConnection* WaitForConnection(const std::string& role, DWORD timeout_ms = 10000);

 private:
  void AcceptLoop();
  void Handshake(SOCKET socket);

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::string token_;
  std::thread acceptor_;
  std::atomic<bool> running_{true};
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::string welcome_token_;
  std::vector<std::unique_ptr<BridgeConnection>> connections_;
  std::vector<bool> handed_out_;
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_UI_BRIDGE_SERVER_H_
