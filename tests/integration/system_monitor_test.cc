// The system monitor channel of the real executable, as the interface sees it.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kChannel[] = "kestrune/system_monitor";

double NumberAt(const EncodableMap& map, const char* key) {
  return std::get<double>(map.at(EncodableValue(key)));
}
const EncodableValue& At(const EncodableMap& map, const char* key) {
  return map.at(EncodableValue(key));
}

// Every key the interface reads, with its type (a missing one throws), and the relations
// between the figures.
void ExpectWellFormed(const EncodableValue& value) {
  const auto& snapshot = std::get<EncodableMap>(value);
  const auto& cpu = std::get<EncodableMap>(At(snapshot, "cpu"));
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  EXPECT_EQ(std::get<int32_t>(At(cpu, "cores")), static_cast<int32_t>(info.dwNumberOfProcessors));
  EXPECT_TRUE(NumberAt(cpu, "percent") >= 0.0 && NumberAt(cpu, "percent") <= 100.0);
  const auto& memory = std::get<EncodableMap>(At(snapshot, "memory"));
  EXPECT_EQ(NumberAt(memory, "used_bytes"),
            NumberAt(memory, "total_bytes") - NumberAt(memory, "available_bytes"));
  EXPECT_LE(NumberAt(memory, "percent"), 100.0);
  EXPECT_GE(NumberAt(memory, "total_virtual_bytes"), NumberAt(memory, "available_virtual_bytes"));
  const auto& network = std::get<EncodableMap>(At(snapshot, "network"));
  for (const char* key :
       {"upload_bytes_per_sec", "download_bytes_per_sec", "total_sent_bytes", "total_recv_bytes"}) {
    EXPECT_GE(NumberAt(network, key), 0.0) << key;
  }
  bool has_c = false;
  for (const EncodableValue& entry : std::get<EncodableList>(At(snapshot, "disks"))) {
    const auto& disk = std::get<EncodableMap>(entry);
    EXPECT_EQ(NumberAt(disk, "used_bytes"),
              NumberAt(disk, "total_bytes") - NumberAt(disk, "free_bytes"));
    has_c = has_c || std::get<std::string>(At(disk, "mount")) == "C:\\";
  }
  EXPECT_TRUE(has_c);
}

class SystemMonitorTest : public MainHostTest {
 protected:
  CallResult Call(const char* method, const EncodableValue& arguments = {}) {
    return ui_->Call(kChannel, method, arguments);
  }
  std::vector<EncodableValue> Events() const {
    std::vector<EncodableValue> events;
    for (const InterfaceCall& call : ui_->Calls()) {
      if (call.channel == kChannel && call.method == "system.snapshot") {
        events.push_back(call.arguments);
      }
    }
    return events;
  }
};

TEST_F(SystemMonitorTest, EmptyUntilSamplingThenEventsAndHistoryUntilStopped) {
  StartMainHost();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Call("getSystemSnapshot").value, EncodableValue(EncodableMap{}));
  EXPECT_EQ(Call("getSystemHistory").value, EncodableValue(EncodableList{}));
  EXPECT_EQ(Call("getsystemsnapshot").kind, CallResult::Kind::kNotImplemented);
  CallResult refused = Call("getSystemHistory", Args({{"minutes", EncodableValue("1")}}));
  EXPECT_EQ(refused.code, "BAD_ARGS");
  EXPECT_NE(refused.message.find("minutes"), std::string::npos) << refused.message;

  ASSERT_EQ(Call("startSystemMonitor").kind, CallResult::Kind::kSuccess);
  for (int i = 0; i < 2; ++i) {
    std::optional<InterfaceCall> event = ui_->WaitForCall(kChannel, "system.snapshot");
    ASSERT_TRUE(event);
    ExpectWellFormed(event->arguments);
  }
  ASSERT_EQ(Call("stopSystemMonitor").kind, CallResult::Kind::kSuccess);
  CallResult history = Call("getSystemHistory");
  ASSERT_EQ(history.kind, CallResult::Kind::kSuccess);
  const EncodableList& samples = std::get<EncodableList>(history.value);
  ASSERT_GE(samples.size(), 2u);
  EXPECT_EQ(Call("getSystemSnapshot").value, samples.back());
  // The last event carries the newest sample of the history.
  std::vector<EncodableValue> events;
  ASSERT_TRUE(WaitUntil([&] { return (events = Events()).back() == samples.back(); }));

  // Stopped: neither the history nor the events grow any more.
  EXPECT_FALSE(WaitUntil(
      [&] {
        return Events().size() != events.size() ||
               std::get<EncodableList>(Call("getSystemHistory").value).size() != samples.size();
      },
      2500));
}

}  // namespace
}  // namespace kr_test
