// The capsule pipe's failures that Wine never produces, made through the proc table.
#include "capsule/capsule_pipe.h"

#include <gtest/gtest.h>

#include <new>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/win32_procs.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"

namespace {

class CapsulePipeFailureTest : public ::testing::Test {
 protected:
  void TearDown() override {
    StopCapsule(&window_);
    GetWin32Procs() = saved_;
    SetCapsuleExecutable(L"");
  }

  const Win32Procs saved_ = GetWin32Procs();
  FlutterWindow window_{flutter::DartProject(L"data")};
};

TEST_F(CapsulePipeFailureTest, WithoutTheOwnerOnlyProtectionNoPipeAndNoCapsule) {
  GetWin32Procs().convert_security_descriptor = [](LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*,
                                                   PULONG) -> BOOL {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  };
  kr_test::LogReader log(DebugLogPath());
  StartCapsule(&window_);
  EXPECT_EQ(window_.capsule_pipe, INVALID_HANDLE_VALUE);
  EXPECT_EQ(window_.capsule_process.hProcess, nullptr);
  EXPECT_FALSE(window_.pipe_thread.joinable());
  EXPECT_EQ(log.CountMessages("[KR] Capsule pipe security descriptor failed: 8"), 1u);
}

TEST_F(CapsulePipeFailureTest, AnExceptionOnThePipeThreadEndsThePipeNotTheProcess) {
  // Any program that ends at once will do as the capsule here.
  SetCapsuleExecutable(kr_test::ProgramFolder() + L"kr_log_writer.exe");
  GetWin32Procs().read_file = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) -> BOOL {
    throw std::bad_alloc();
  };
  kr_test::LogReader log(DebugLogPath());
  StartCapsule(&window_);
  ASSERT_TRUE(window_.pipe_thread.joinable());
  UniqueFileHandle client(::CreateFileW(L"\\\\.\\pipe\\Kestrune_Capsule",
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
  ASSERT_TRUE(client.is_valid());
  EXPECT_TRUE(log.WaitForMessage("[KR] Capsule pipe thread ended by an exception"));
  // Nothing is queued for a pipe nobody writes any more.
  EXPECT_EQ(window_.pipe_outbox.Push("{}").outcome, PipeOutbox::PushOutcome::kClosed);
}

}  // namespace
