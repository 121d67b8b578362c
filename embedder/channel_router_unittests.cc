#include "embedder/channel_router.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "embedder/bridge_protocol.h"
#include "embedder/encodable_value.h"
#include "embedder/method_call.h"
#include "embedder/method_channel.h"
#include "embedder/method_result.h"
#include "embedder/standard_codec.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

const StandardMethodCodec& Codec() {
  return StandardMethodCodec::GetInstance();
}

// Stands in for the connected interface: records every frame written to it.
struct FakeInterface {
  std::vector<bridge::Frame> frames;
  bool connected = true;

  ChannelRouter::FrameSink Sink() {
    return [this](const bridge::Frame& frame) {
      if (!connected) {
        return false;
      }
      frames.push_back(frame);
      return true;
    };
  }
};

// Records every answer a BinaryReply receives.
struct ReplyLog {
  std::vector<Bytes> answers;

  BinaryReply Callback() {
    return [this](const uint8_t* data, size_t size) { answers.emplace_back(data, data + size); };
  }
};

Bytes EncodeCall(const std::string& method, EncodableValue arguments = EncodableValue()) {
  MethodCall<EncodableValue> call(method, std::make_unique<EncodableValue>(std::move(arguments)));
  return *Codec().EncodeMethodCall(call);
}

bridge::Frame MessageFrame(uint32_t reply_id, const std::string& channel, const Bytes& data) {
  bridge::Frame frame;
  frame.kind = bridge::FrameKind::kMessage;
  frame.reply_id = reply_id;
  frame.channel = channel;
  frame.data = data;
  return frame;
}

bridge::Frame ReplyFrame(uint32_t reply_id, const Bytes& data) {
  bridge::Frame frame;
  frame.kind = bridge::FrameKind::kReply;
  frame.reply_id = reply_id;
  frame.data = data;
  return frame;
}

// What a response envelope decodes to.
struct Outcome {
  enum Kind { kNone, kSuccess, kError, kNotImplemented } kind = kNone;
  std::optional<EncodableValue> value;  // success value or error details
  std::string code;
  std::string message;
};

std::unique_ptr<MethodResult<EncodableValue>> RecordInto(Outcome* outcome, int* answers) {
  return std::make_unique<MethodResultFunctions<EncodableValue>>(
      [outcome, answers](const EncodableValue* value) {
        ++*answers;
        outcome->kind = Outcome::kSuccess;
        outcome->value = value ? std::optional<EncodableValue>(*value) : std::nullopt;
      },
      [outcome, answers](const std::string& code, const std::string& message,
                         const EncodableValue* details) {
        ++*answers;
        outcome->kind = Outcome::kError;
        outcome->code = code;
        outcome->message = message;
        outcome->value = details ? std::optional<EncodableValue>(*details) : std::nullopt;
      },
      [outcome, answers]() {
        ++*answers;
        outcome->kind = Outcome::kNotImplemented;
      });
}

Outcome DecodeEnvelope(const Bytes& envelope) {
  Outcome outcome;
  int answers = 0;
  std::unique_ptr<MethodResult<EncodableValue>> result = RecordInto(&outcome, &answers);
  std::string error;
  EXPECT_TRUE(Codec().DecodeAndProcessResponseEnvelope(envelope.data(), envelope.size(),
                                                       result.get(), &error))
      << error;
  EXPECT_EQ(answers, 1);
  return outcome;
}

class ChannelRouterTest : public ::testing::Test {
 protected:
  ChannelRouterTest() { router_.SetFrameSink(interface_.Sink()); }

  // Delivers a frame from the interface, expecting it to be accepted.
  void Deliver(const bridge::Frame& frame) {
    std::string error;
    EXPECT_TRUE(router_.HandleFrame(frame, &error)) << error;
  }

  // Delivers a frame from the interface, expecting it to be refused.
  void Refuse(const bridge::Frame& frame) {
    std::string error;
    EXPECT_FALSE(router_.HandleFrame(frame, &error));
    EXPECT_FALSE(error.empty());
  }

  FakeInterface interface_;
  ChannelRouter router_;
};

TEST(ChannelRouterNoInterfaceTest, SendAnswersEmptyAtOnce) {
  ChannelRouter router;
  ReplyLog log;
  const Bytes call = EncodeCall("ping");
  router.Send("c", call.data(), call.size(), log.Callback());
  ASSERT_EQ(log.answers.size(), 1u);
  EXPECT_TRUE(log.answers[0].empty());
  router.Send("c", call.data(), call.size());  // no reply wanted: nothing to answer

  // A sink that reports the interface gone behaves the same.
  FakeInterface gone;
  gone.connected = false;
  router.SetFrameSink(gone.Sink());
  router.Send("c", call.data(), call.size(), log.Callback());
  ASSERT_EQ(log.answers.size(), 2u);
  EXPECT_TRUE(log.answers[1].empty());

  // Nothing was left pending, so neither a late reply nor a disconnect answers again.
  std::string error;
  EXPECT_FALSE(router.HandleFrame(ReplyFrame(1, {}), &error));
  router.OnDisconnected();
  EXPECT_EQ(log.answers.size(), 2u);
}

TEST_F(ChannelRouterTest, RepliesReachTheirCallbackExactlyOnce) {
  const Bytes call = EncodeCall("ping");
  ReplyLog first, second, third;
  router_.Send("a", call.data(), call.size(), first.Callback());
  router_.Send("b", call.data(), call.size());
  router_.Send("a", call.data(), call.size(), second.Callback());
  router_.Send("a", call.data(), call.size(), third.Callback());

  ASSERT_EQ(interface_.frames.size(), 4u);
  for (const bridge::Frame& frame : interface_.frames) {
    EXPECT_EQ(frame.kind, bridge::FrameKind::kMessage);
    EXPECT_EQ(frame.data, call);
  }
  EXPECT_EQ(interface_.frames[1].channel, "b");
  EXPECT_EQ(interface_.frames[1].reply_id, 0u);
  const uint32_t id1 = interface_.frames[0].reply_id;
  const uint32_t id2 = interface_.frames[2].reply_id;
  const uint32_t id3 = interface_.frames[3].reply_id;
  EXPECT_NE(id1, 0u);
  EXPECT_LT(id1, id2);
  EXPECT_LT(id2, id3);
  EXPECT_TRUE(first.answers.empty() && second.answers.empty() && third.answers.empty());

  // Out of order, each to its own callback.
  const Bytes success = *Codec().EncodeSuccessEnvelope(nullptr);
  const Bytes error = *Codec().EncodeErrorEnvelope("E", "m");
  Deliver(ReplyFrame(id2, success));
  Deliver(ReplyFrame(id1, error));
  Deliver(ReplyFrame(id3, {}));  // empty: no handler on the other side
  ASSERT_EQ(first.answers.size(), 1u);
  ASSERT_EQ(second.answers.size(), 1u);
  ASSERT_EQ(third.answers.size(), 1u);
  EXPECT_EQ(first.answers[0], error);
  EXPECT_EQ(second.answers[0], success);
  EXPECT_TRUE(third.answers[0].empty());

  Refuse(ReplyFrame(id2, success));
  EXPECT_EQ(second.answers.size(), 1u);
}

TEST_F(ChannelRouterTest, RefusesRepliesNobodyAwaits) {
  Refuse(ReplyFrame(1, {}));
  Refuse(ReplyFrame(0, {}));
  const Bytes call = EncodeCall("ping");
  router_.Send("a", call.data(), call.size());  // sent without awaiting a reply
  Refuse(ReplyFrame(interface_.frames.back().reply_id, {}));
}

TEST_F(ChannelRouterTest, RefusesMalformedReplyEnvelopeWithoutAnswering) {
  const Bytes call = EncodeCall("ping");
  ReplyLog log;
  router_.Send("a", call.data(), call.size(), log.Callback());
  const uint32_t id = interface_.frames.back().reply_id;

  Refuse(ReplyFrame(id, {0x09}));                   // no such envelope
  Refuse(ReplyFrame(id, {0x00, 0xff}));             // unknown value type
  Refuse(ReplyFrame(id, {0x00, 0x00, 0x00}));       // trailing bytes
  Refuse(ReplyFrame(id, {0x01, 0x07, 0x05, 'E'}));  // truncated error
  EXPECT_TRUE(log.answers.empty());

  // The connection is then dropped, which still answers the caller once.
  router_.OnDisconnected();
  ASSERT_EQ(log.answers.size(), 1u);
  EXPECT_TRUE(log.answers[0].empty());
}

TEST_F(ChannelRouterTest, RefusesHandshakeFramesAfterConnecting) {
  bridge::Frame hello;
  hello.kind = bridge::FrameKind::kHello;
  Refuse(hello);
  bridge::Frame welcome;
  welcome.kind = bridge::FrameKind::kWelcome;
  Refuse(welcome);
  EXPECT_TRUE(interface_.frames.empty());
}

TEST_F(ChannelRouterTest, UnhandledChannelGetsEmptyReplyWithSameId) {
  Deliver(MessageFrame(77, "nobody/home", EncodeCall("ping")));
  ASSERT_EQ(interface_.frames.size(), 1u);
  EXPECT_EQ(interface_.frames[0].kind, bridge::FrameKind::kReply);
  EXPECT_EQ(interface_.frames[0].reply_id, 77u);
  EXPECT_TRUE(interface_.frames[0].data.empty());
}

TEST_F(ChannelRouterTest, NothingIsSentBackForReplyIdZero) {
  Deliver(MessageFrame(0, "nobody/home", EncodeCall("ping")));
  int calls = 0;
  router_.SetMessageHandler("h", [&calls](const uint8_t*, size_t, BinaryReply reply) {
    ++calls;
    const uint8_t answer[] = {0x00, 0x00};
    reply(answer, sizeof(answer));
  });
  Deliver(MessageFrame(0, "h", EncodeCall("ping")));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(interface_.frames.empty());
}

TEST_F(ChannelRouterTest, RefusesMessagesThatAreNotMethodCalls) {
  int calls = 0;
  router_.SetMessageHandler("h", [&calls](const uint8_t*, size_t, BinaryReply) { ++calls; });
  const Bytes not_calls[] = {
      {},                                            // empty
      {0x03, 0x01, 0x00, 0x00, 0x00, 0x00},          // name is an integer
      {0x07, 0x04, 'p', 'i', 'n', 'g'},              // arguments missing
      {0x07, 0x04, 'p', 'i', 'n', 'g', 0x00, 0x00},  // trailing byte
      {0x07, 0x10, 'p'},                             // name past the end
  };
  for (const Bytes& data : not_calls) {
    SCOPED_TRACE(testing::PrintToString(data));
    Refuse(MessageFrame(5, "h", data));
    Refuse(MessageFrame(6, "unhandled", data));
  }
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(interface_.frames.empty());
}

TEST_F(ChannelRouterTest, MethodChannelAnswersBecomeReplyEnvelopes) {
  MethodChannel<EncodableValue> channel(&router_, "kr/test", &Codec());
  std::vector<std::string> methods;
  std::vector<EncodableValue> arguments;
  channel.SetMethodCallHandler([&](const MethodCall<EncodableValue>& call,
                                   std::unique_ptr<MethodResult<EncodableValue>> result) {
    methods.push_back(call.method_name());
    arguments.push_back(call.arguments() ? *call.arguments() : EncodableValue());
    if (call.method_name() == "succeed") {
      result->Success(EncodableValue(int32_t{42}));
    } else if (call.method_name() == "succeedEmpty") {
      result->Success();
    } else if (call.method_name() == "fail") {
      result->Error("E_CODE", "went wrong", EncodableValue("details"));
    } else {
      result->NotImplemented();
    }
  });

  const EncodableValue map_argument =
      EncodableMap{{EncodableValue("k"), EncodableValue(EncodableList{1, "two"})}};
  Deliver(MessageFrame(1, "kr/test", EncodeCall("succeed", map_argument)));
  Deliver(MessageFrame(2, "kr/test", EncodeCall("succeedEmpty")));
  Deliver(MessageFrame(3, "kr/test", EncodeCall("fail", EncodableValue(int64_t{5}))));
  Deliver(MessageFrame(4, "kr/test", EncodeCall("other")));

  EXPECT_EQ(methods, (std::vector<std::string>{"succeed", "succeedEmpty", "fail", "other"}));
  ASSERT_EQ(arguments.size(), 4u);
  EXPECT_EQ(arguments[0], map_argument);
  EXPECT_TRUE(arguments[1].IsNull());
  EXPECT_EQ(arguments[2], EncodableValue(int64_t{5}));

  ASSERT_EQ(interface_.frames.size(), 4u);
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(interface_.frames[i].kind, bridge::FrameKind::kReply);
    EXPECT_EQ(interface_.frames[i].reply_id, i + 1);
  }
  Outcome success = DecodeEnvelope(interface_.frames[0].data);
  EXPECT_EQ(success.kind, Outcome::kSuccess);
  EXPECT_EQ(success.value, EncodableValue(int32_t{42}));
  Outcome empty_success = DecodeEnvelope(interface_.frames[1].data);
  EXPECT_EQ(empty_success.kind, Outcome::kSuccess);
  EXPECT_FALSE(empty_success.value.has_value());
  Outcome error = DecodeEnvelope(interface_.frames[2].data);
  EXPECT_EQ(error.kind, Outcome::kError);
  EXPECT_EQ(error.code, "E_CODE");
  EXPECT_EQ(error.message, "went wrong");
  EXPECT_EQ(error.value, EncodableValue("details"));
  EXPECT_TRUE(interface_.frames[3].data.empty());  // not implemented
}

TEST_F(ChannelRouterTest, DroppedResultStillRepliesOnceEmpty) {
  MethodChannel<EncodableValue> channel(&router_, "kr/test", &Codec());
  channel.SetMethodCallHandler(
      [](const MethodCall<EncodableValue>&, std::unique_ptr<MethodResult<EncodableValue>>) {});
  Deliver(MessageFrame(9, "kr/test", EncodeCall("ignored")));
  ASSERT_EQ(interface_.frames.size(), 1u);
  EXPECT_EQ(interface_.frames[0].kind, bridge::FrameKind::kReply);
  EXPECT_EQ(interface_.frames[0].reply_id, 9u);
  EXPECT_TRUE(interface_.frames[0].data.empty());
}

TEST_F(ChannelRouterTest, LaterAnswersGoOutOnceEach) {
  MethodChannel<EncodableValue> channel(&router_, "kr/test", &Codec());
  std::vector<std::unique_ptr<MethodResult<EncodableValue>>> held;
  channel.SetMethodCallHandler([&held](const MethodCall<EncodableValue>&,
                                       std::unique_ptr<MethodResult<EncodableValue>> result) {
    held.push_back(std::move(result));
  });
  Deliver(MessageFrame(1, "kr/test", EncodeCall("a")));
  Deliver(MessageFrame(2, "kr/test", EncodeCall("b")));
  ASSERT_EQ(held.size(), 2u);
  EXPECT_TRUE(interface_.frames.empty());

  held[1]->Success(EncodableValue(true));
  held[1]->Error("late", "second answer");
  held[1]->NotImplemented();
  held[0]->Error("E");
  held[0]->Success();
  held.clear();  // answered results send nothing more when released

  ASSERT_EQ(interface_.frames.size(), 2u);
  EXPECT_EQ(interface_.frames[0].reply_id, 2u);
  EXPECT_EQ(DecodeEnvelope(interface_.frames[0].data).kind, Outcome::kSuccess);
  EXPECT_EQ(interface_.frames[1].reply_id, 1u);
  EXPECT_EQ(DecodeEnvelope(interface_.frames[1].data).kind, Outcome::kError);
}

TEST_F(ChannelRouterTest, RawHandlerReplyingTwiceSendsOneReply) {
  router_.SetMessageHandler("raw", [](const uint8_t*, size_t, BinaryReply reply) {
    const Bytes first = *Codec().EncodeSuccessEnvelope(nullptr);
    reply(first.data(), first.size());
    reply(nullptr, 0);
    reply(first.data(), first.size());
  });
  Deliver(MessageFrame(4, "raw", EncodeCall("x")));
  ASSERT_EQ(interface_.frames.size(), 1u);
  EXPECT_EQ(interface_.frames[0].data, *Codec().EncodeSuccessEnvelope(nullptr));
}

TEST_F(ChannelRouterTest, HandlerMayRemoveItselfWhileRunning) {
  bool ran = false;
  router_.SetMessageHandler("once", [this, &ran](const uint8_t*, size_t, BinaryReply reply) {
    router_.SetMessageHandler("once", nullptr);
    ran = true;  // the running handler's captures must still be alive here
    reply(nullptr, 0);
  });
  Deliver(MessageFrame(1, "once", EncodeCall("x")));
  EXPECT_TRUE(ran);
  EXPECT_TRUE(router_.HandledChannels().empty());
  EXPECT_EQ(interface_.frames.size(), 1u);
}

TEST_F(ChannelRouterTest, ReleasedMethodChannelStopsHandling) {
  int calls = 0;
  auto handler = [&calls](const MethodCall<EncodableValue>&,
                          std::unique_ptr<MethodResult<EncodableValue>> result) {
    ++calls;
    result->Success(EncodableValue(1));
  };
  {
    MethodChannel<EncodableValue> channel(&router_, "kr/scoped", &Codec());
    channel.SetMethodCallHandler(handler);
    EXPECT_EQ(router_.HandledChannels(), std::vector<std::string>{"kr/scoped"});
  }
  EXPECT_TRUE(router_.HandledChannels().empty());
  Deliver(MessageFrame(3, "kr/scoped", EncodeCall("x")));
  EXPECT_EQ(calls, 0);
  ASSERT_EQ(interface_.frames.size(), 1u);
  EXPECT_TRUE(interface_.frames[0].data.empty());

  // Clearing the handler explicitly has the same effect.
  MethodChannel<EncodableValue> channel(&router_, "kr/cleared", &Codec());
  channel.SetMethodCallHandler(handler);
  channel.SetMethodCallHandler(nullptr);
  EXPECT_TRUE(router_.HandledChannels().empty());
}

TEST_F(ChannelRouterTest, DisconnectAnswersEveryPendingReplyEmpty) {
  const Bytes call = EncodeCall("ping");
  ReplyLog a, b;
  router_.Send("a", call.data(), call.size(), a.Callback());
  router_.Send("b", call.data(), call.size(), b.Callback());
  const uint32_t id_a = interface_.frames[0].reply_id;

  router_.OnDisconnected();
  ASSERT_EQ(a.answers.size(), 1u);
  ASSERT_EQ(b.answers.size(), 1u);
  EXPECT_TRUE(a.answers[0].empty());
  EXPECT_TRUE(b.answers[0].empty());

  router_.OnDisconnected();
  Refuse(ReplyFrame(id_a, {}));
  EXPECT_EQ(a.answers.size(), 1u);
  EXPECT_EQ(b.answers.size(), 1u);
}

TEST(ChannelRouterLifetimeTest, DestroyingTheRouterAnswersPendingReplies) {
  FakeInterface interface;
  ReplyLog log;
  {
    ChannelRouter router;
    router.SetFrameSink(interface.Sink());
    const Bytes call = EncodeCall("ping");
    router.Send("a", call.data(), call.size(), log.Callback());
    EXPECT_TRUE(log.answers.empty());
  }
  ASSERT_EQ(log.answers.size(), 1u);
  EXPECT_TRUE(log.answers[0].empty());
}

TEST_F(ChannelRouterTest, HandledChannelsAreSorted) {
  auto handler = [](const uint8_t*, size_t, BinaryReply) {};
  router_.SetMessageHandler("kr/window", handler);
  router_.SetMessageHandler("kr/app", handler);
  router_.SetMessageHandler("kr/tray", handler);
  router_.SetMessageHandler("kr/app", handler);  // replacing does not duplicate
  EXPECT_EQ(router_.HandledChannels(),
            (std::vector<std::string>{"kr/app", "kr/tray", "kr/window"}));
  router_.SetMessageHandler("kr/tray", nullptr);
  EXPECT_EQ(router_.HandledChannels(), (std::vector<std::string>{"kr/app", "kr/window"}));
}

TEST_F(ChannelRouterTest, InvokeMethodSendsTheEncodedCall) {
  MethodChannel<EncodableValue> channel(&router_, "kr/ui", &Codec());
  Outcome outcome;
  int answers = 0;
  const EncodableValue arguments = EncodableList{EncodableValue("title"), EncodableValue(3.5)};
  channel.InvokeMethod("setTitle", std::make_unique<EncodableValue>(arguments),
                       RecordInto(&outcome, &answers));
  channel.InvokeMethod("notify", nullptr);

  ASSERT_EQ(interface_.frames.size(), 2u);
  const bridge::Frame& awaited = interface_.frames[0];
  EXPECT_EQ(awaited.kind, bridge::FrameKind::kMessage);
  EXPECT_EQ(awaited.channel, "kr/ui");
  EXPECT_NE(awaited.reply_id, 0u);
  std::unique_ptr<MethodCall<EncodableValue>> call =
      Codec().DecodeMethodCall(awaited.data.data(), awaited.data.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "setTitle");
  ASSERT_NE(call->arguments(), nullptr);
  EXPECT_EQ(*call->arguments(), arguments);

  const bridge::Frame& fire_and_forget = interface_.frames[1];
  EXPECT_EQ(fire_and_forget.reply_id, 0u);
  call = Codec().DecodeMethodCall(fire_and_forget.data.data(), fire_and_forget.data.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "notify");
  EXPECT_TRUE(call->arguments() == nullptr || call->arguments()->IsNull());

  EXPECT_EQ(answers, 0);
  const EncodableValue answer("done");
  Deliver(ReplyFrame(awaited.reply_id, *Codec().EncodeSuccessEnvelope(&answer)));
  EXPECT_EQ(answers, 1);
  EXPECT_EQ(outcome.kind, Outcome::kSuccess);
  EXPECT_EQ(outcome.value, answer);
}

TEST(ChannelRouterNoInterfaceTest, InvokeMethodIsNotImplementedAtOnce) {
  ChannelRouter router;
  MethodChannel<EncodableValue> channel(&router, "kr/ui", &Codec());
  Outcome outcome;
  int answers = 0;
  channel.InvokeMethod("ping", nullptr, RecordInto(&outcome, &answers));
  EXPECT_EQ(answers, 1);
  EXPECT_EQ(outcome.kind, Outcome::kNotImplemented);
}

TEST_F(ChannelRouterTest, ObserverSeesBothDirections) {
  struct Seen {
    ChannelRouter::Direction direction;
    std::string channel;
    Bytes message;
  };
  std::vector<Seen> seen;
  router_.SetTrafficObserver([&seen](ChannelRouter::Direction direction, const std::string& channel,
                                     const uint8_t* message, size_t size) {
    seen.push_back({direction, channel, Bytes(message, message + size)});
  });

  const Bytes outgoing = EncodeCall("toUi", EncodableValue(1));
  const Bytes incoming = EncodeCall("fromUi", EncodableValue("x"));
  router_.Send("kr/out", outgoing.data(), outgoing.size());
  Deliver(MessageFrame(1, "kr/in", incoming));

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].direction, ChannelRouter::Direction::kToInterface);
  EXPECT_EQ(seen[0].channel, "kr/out");
  EXPECT_EQ(seen[0].message, outgoing);
  EXPECT_EQ(seen[1].direction, ChannelRouter::Direction::kFromInterface);
  EXPECT_EQ(seen[1].channel, "kr/in");
  EXPECT_EQ(seen[1].message, incoming);
}

}  // namespace
}  // namespace flutter
