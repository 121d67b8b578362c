#include "embedder/channel_router.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "embedder/bridge_protocol.h"
#include <flutter/method_channel.h>

namespace bridge {
static bool operator==(const Frame& a, const Frame& b) {
  return a.kind == b.kind && a.reply_id == b.reply_id && a.channel == b.channel && a.data == b.data;
}
}  // namespace bridge

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;
using Frames = std::vector<bridge::Frame>;
using Answers = std::map<std::string, std::vector<Bytes>>;
using Result = std::unique_ptr<MethodResult<EncodableValue>>;

const StandardMethodCodec& kCodec = StandardMethodCodec::GetInstance();

Bytes Call(const std::string& method, EncodableValue arguments = EncodableValue()) {
  return *kCodec.EncodeMethodCall({method, std::make_unique<EncodableValue>(std::move(arguments))});
}

const Bytes kPing = Call("ping");

bridge::Frame Message(uint32_t reply_id, const std::string& channel, const Bytes& data) {
  return {bridge::FrameKind::kMessage, reply_id, channel, data};
}

bridge::Frame Reply(uint32_t reply_id, const Bytes& data) {
  return {bridge::FrameKind::kReply, reply_id, "", data};
}

// The router with a stand-in interface that records every frame written to it.
class ChannelRouterTest : public ::testing::Test {
 protected:
  ChannelRouterTest() {
    router_.SetFrameSink([this](const bridge::Frame& frame) {
      if (connected_) {
        sent_.push_back(frame);
      }
      return connected_;
    });
  }

  void Deliver(const bridge::Frame& frame, bool accepted = true) {
    std::string error;
    EXPECT_EQ(router_.HandleFrame(frame, &error), accepted) << error;
    EXPECT_EQ(error.empty(), accepted);
  }

  void SendAwaiting(const std::string& channel) {
    router_.Send(channel, kPing.data(), kPing.size(),
                 [this, channel](const uint8_t* data, size_t size) {
                   answers_[channel].emplace_back(data, data + size);
                 });
  }

  bool connected_ = true;
  Frames sent_;
  Answers answers_;
  ChannelRouter router_;  // last: destroying it may still answer into answers_
};

TEST_F(ChannelRouterTest, OutgoingCallsGetExactlyOneAnswer) {
  SendAwaiting("a");
  router_.Send("b", kPing.data(), kPing.size());
  SendAwaiting("c");
  ASSERT_EQ(sent_.size(), 3u);
  const uint32_t a = sent_[0].reply_id, c = sent_[2].reply_id;
  EXPECT_EQ(sent_,
            (Frames{Message(a, "a", kPing), Message(0, "b", kPing), Message(c, "c", kPing)}));
  EXPECT_TRUE(a != 0 && c != 0 && a != c);  // 0 means no answer wanted

  const Bytes ok = {0, 0}, none;
  Deliver(Reply(c, ok));                // out of order
  Deliver(Reply(a, {0, 0xff}), false);  // malformed envelope
  Deliver(Reply(c, ok), false);         // a second reply
  Deliver(Reply(0, {}), false);         // to the call that wanted none
  SendAwaiting("e");
  Deliver(Reply(sent_.back().reply_id, {}));  // no handler on the other side
  // The interface goes away: what is still awaited is answered empty, once,
  // and so is every later call, at once.
  router_.OnDisconnected();
  connected_ = false;
  SendAwaiting("f");
  router_.OnDisconnected();
  Deliver(Reply(a, {}), false);
  EXPECT_EQ(answers_, (Answers{{"a", {none}}, {"c", {ok}}, {"e", {none}}, {"f", {none}}}));
}

TEST(ChannelRouterLifetimeTest, CallsStillAwaitedAreAnsweredEmptyOnDestruction) {
  int empty_answers = 0;
  {
    ChannelRouter router;
    router.SetFrameSink([](const bridge::Frame&) { return true; });
    router.Send("c", kPing.data(), kPing.size(),
                [&](const uint8_t*, size_t size) { empty_answers += size == 0; });
    EXPECT_EQ(empty_answers, 0);
  }
  EXPECT_EQ(empty_answers, 1);
}

// Each call from the interface gets exactly one reply with its id, whatever the
// handler does; none at all when the id is 0.
TEST_F(ChannelRouterTest, EveryCallFromTheInterfaceGetsOneReply) {
  using Act = std::function<void(Result&)>;
  Act act;
  std::optional<EncodableValue> arguments;
  MethodChannel<EncodableValue> channel(&router_, "kr/test", &kCodec);
  channel.SetMethodCallHandler([&](const MethodCall<EncodableValue>& call, Result result) {
    arguments = *call.arguments();
    act(result);
  });
  std::vector<Result> held;
  const Act hold = [&held](Result& r) { held.push_back(std::move(r)); };
  const std::tuple<const char*, uint32_t, Act, std::optional<Bytes>> cases[] = {
      {"kr/test", 3, [](Result& r) { r->Error("E", "m"); }, Bytes{1, 7, 1, 'E', 7, 1, 'm', 0}},
      {"kr/test", 4, [](Result& r) { r->Success(), r->Error("E"); }, Bytes{0, 0}},
      {"kr/test", 5, [](Result& r) { r->NotImplemented(); }, Bytes{}},
      {"kr/test", 6, [](Result&) {}, Bytes{}},  // dropped unanswered
      {"kr/test", 7, [](Result&) { throw std::runtime_error("handler failed"); }, Bytes{}},
      {"kr/nobody", 8, nullptr, Bytes{}},
      {"kr/test", 0, [](Result& r) { r->Success(); }, std::nullopt},
      {"kr/test", 9, hold, std::nullopt},  // answered below
  };
  for (const auto& [channel_name, reply_id, action, reply] : cases) {
    SCOPED_TRACE(reply_id);
    sent_.clear();
    act = action;
    Deliver(Message(reply_id, channel_name, Call("m", 1.5)));  // a throw stays inside
    EXPECT_EQ(sent_, reply ? Frames{Reply(reply_id, *reply)} : Frames{});
  }
  EXPECT_EQ(arguments, EncodableValue(1.5));

  ASSERT_EQ(held.size(), 1u);
  held[0]->Success(EncodableValue(true));
  held[0]->NotImplemented();
  held.clear();
  EXPECT_EQ(sent_, Frames{Reply(9, {0, 1})});

  // Every channel speaks the method codec: anything else ends the connection
  // without reaching a handler.
  sent_.clear();
  arguments.reset();
  Deliver({bridge::FrameKind::kHello, 0, "", {}}, false);
  for (const Bytes& data : {Bytes{}, Bytes{7, 4, 'p', 'i', 'n', 'g'}}) {
    Deliver(Message(5, "kr/test", data), false);
  }
  EXPECT_FALSE(arguments.has_value());
  EXPECT_TRUE(sent_.empty());
}

TEST_F(ChannelRouterTest, AHandlerMayRemoveItselfWhileRunning) {
  int runs = 0;
  router_.SetMessageHandler("kr/once", [this, &runs](const uint8_t*, size_t, BinaryReply reply) {
    router_.SetMessageHandler("kr/once", nullptr);
    ++runs;  // the running handler's captures are still alive
    reply(nullptr, 0);
    reply(nullptr, 0);  // a second answer goes nowhere
  });
  Deliver(Message(1, "kr/once", kPing));
  Deliver(Message(2, "kr/once", kPing));
  // A raw handler that throws before answering is answered empty.
  router_.SetMessageHandler("kr/throws", [](const uint8_t*, size_t, BinaryReply) {
    throw std::runtime_error("handler failed");
  });
  Deliver(Message(3, "kr/throws", kPing));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(sent_, (Frames{Reply(1, {}), Reply(2, {}), Reply(3, {})}));
}

}  // namespace
}  // namespace flutter
