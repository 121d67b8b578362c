#include "winrt/async_wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "runner/unique_resource.h"
#include "tests/support/wait.h"
#include "tests/support/winrt_fakes.h"

namespace {

using winrt::AsyncStatus;

// AsyncOperationCompletedHandler<Boolean>.
constexpr GUID kBoolHandlerIid{0xc1d3d1a2,
                               0xae17,
                               0x5a5f,
                               {0xb5, 0xa2, 0xbd, 0xcc, 0x88, 0x44, 0x88, 0x9a}};
constexpr DWORD kLongTimeoutMs = 60000;
constexpr boolean kUnwritten = 0x5a;

enum class Ending { kBeforeTheWait, kDuringTheWait, kNever, kStopDuringTheWait };

struct WaitCase {
  const char* name;
  Ending ending;
  AsyncStatus status;
  HRESULT error_code;
  DWORD timeout_ms;
  HRESULT expected;
};

class AsyncWaitTest : public testing::TestWithParam<WaitCase> {
 protected:
  kr_test::FakeRuntimeLog log_;
};

TEST_P(AsyncWaitTest, GivesTheOutcomeAndGivesBackEveryReference) {
  const WaitCase& c = GetParam();
  UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    auto operation = kr_test::FakeBoolOperation::Create(&log_, kBoolHandlerIid);
    std::function<void()> end = [operation, c] { operation->Finish(c.status, c.error_code, 1); };
    if (c.ending == Ending::kBeforeTheWait) {
      end();  // the handler then runs inside put_Completed
    } else if (c.ending == Ending::kStopDuringTheWait) {
      end = [event = stop.get()] { ::SetEvent(event); };
    }
    // Once the wait has registered its handler.
    std::thread other([&] {
      if (c.ending != Ending::kBeforeTheWait && c.ending != Ending::kNever &&
          kr_test::WaitUntil([&] { return operation->HasHandler(); }, kLongTimeoutMs)) {
        end();
      }
    });
    boolean result = kUnwritten;
    EXPECT_EQ(winrt::WaitForResults(operation.get(), kBoolHandlerIid, &result,
                                    {c.timeout_ms, stop.get()}),
              c.expected);
    other.join();
    EXPECT_EQ(result, c.expected == S_OK ? 1 : kUnwritten);
    const bool given_up = c.ending == Ending::kNever || c.ending == Ending::kStopDuringTheWait;
    EXPECT_EQ(log_.cancel_calls, given_up ? 1 : 0);
  }
  EXPECT_EQ(log_.live_objects, 0);
  EXPECT_EQ(log_.handler_left_on_drop, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Endings,
    AsyncWaitTest,
    testing::Values(WaitCase{"CompletedLater", Ending::kDuringTheWait, AsyncStatus::kCompleted,
                             S_OK, kLongTimeoutMs, S_OK},
                    WaitCase{"CompletedAlready", Ending::kBeforeTheWait, AsyncStatus::kCompleted,
                             S_OK, kLongTimeoutMs, S_OK},
                    WaitCase{"Failed", Ending::kDuringTheWait, AsyncStatus::kError,
                             static_cast<HRESULT>(0x80070005), kLongTimeoutMs,
                             static_cast<HRESULT>(0x80070005)},
                    WaitCase{"FailedWithoutACode", Ending::kBeforeTheWait, AsyncStatus::kError,
                             S_OK, kLongTimeoutMs, static_cast<HRESULT>(0x80004005)},
                    WaitCase{"Canceled", Ending::kDuringTheWait, AsyncStatus::kCanceled, S_OK,
                             kLongTimeoutMs, static_cast<HRESULT>(0x80004004)},
                    WaitCase{"TimedOut", Ending::kNever, AsyncStatus::kStarted, S_OK, 50,
                             static_cast<HRESULT>(0x800705B4)},
                    WaitCase{"Stopped", Ending::kStopDuringTheWait, AsyncStatus::kStarted, S_OK,
                             kLongTimeoutMs, static_cast<HRESULT>(0x800704C7)}),
    [](const testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

}  // namespace
