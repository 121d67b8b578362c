#ifndef KESTRUNE_EMBEDDER_UI_BRIDGE_H_
#define KESTRUNE_EMBEDDER_UI_BRIDGE_H_

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "embedder/bridge_protocol.h"
#include <flutter/encodable_value.h>

namespace flutter {

// The host's end of the UI bridge: one outgoing loopback connection to a
// scripted interface. A reader thread assembles frames and hands them to the
// main thread by posting |notify_message| to |notify_window|; everything else
// runs on the main thread.
class UiBridge {
 public:
  UiBridge(HWND notify_window, UINT notify_message);
  ~UiBridge();
  UiBridge(const UiBridge&) = delete;
  UiBridge& operator=(const UiBridge&) = delete;

  // Connects to |address|, sends |hello| and waits (bounded) for the welcome
  // that proves the peer knows the token. Logs and returns false on failure.
  bool Connect(const bridge::Address& address, const EncodableMap& hello);

  bool connected() const { return socket_ != INVALID_SOCKET; }
  // The name the interface gave in its welcome; empty when it gave none.
  const std::string& peer() const { return peer_; }

  // Writes one frame; false when not connected or the write failed.
  bool Send(const bridge::Frame& frame);

  // Frames received so far. |ended| turns true once the reader has stopped,
  // with the reason in |reason|.
  std::vector<bridge::Frame> TakeFrames(bool* ended, std::string* reason);

  // Ends the connection and joins the reader.
  void Close();

  // Reads one whole frame from a blocking socket; false at the end of the
  // stream or on a malformed frame, with the reason in |error|.
  static bool ReadFrame(SOCKET socket, bridge::Frame* frame, std::string* error);

 private:
  static bool ReadExact(SOCKET socket, uint8_t* buffer, size_t size);
  void ReadLoop(SOCKET socket);
  void Notify();

  HWND notify_window_;
  UINT notify_message_;
  SOCKET socket_ = INVALID_SOCKET;
  std::string peer_;
  std::thread reader_;
  std::atomic<bool> running_{false};

  std::mutex inbox_lock_;
  std::deque<bridge::Frame> inbox_;
  bool ended_ = false;
  std::string end_reason_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_UI_BRIDGE_H_
