// Cost of one calendar file update under Wine: the text for 500 appointments
// built and written through the temporary file and the replace, beside a floor
// that writes the same bytes straight into the file with bare Win32 calls.
// Medians and 90th percentiles of 200 interleaved runs, in ms.
//   tools/wine-run build/win64/wine build/win64/bin/calendar_write_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "feeds/calendar/calendar_json.h"
#include "feeds/calendar/calendar_sync.h"

namespace {

constexpr int kAppointments = 500;
constexpr int kRuns = 200;

std::string BuildText() {
  CalendarJson json;
  for (int i = 0; i < kAppointments; ++i) {
    json.Add(i / 60 % 24, i % 60, "Review \"Q" + std::to_string(i) + "\" plan\twith the 团队");
  }
  return json.Finish();
}

void WriteBare(const std::wstring& path, const std::string& text) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

void Report(const char* name, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-34s median %.3f ms  p90 %.3f ms\n", name, ms[ms.size() / 2],
              ms[ms.size() * 9 / 10]);
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring calendar = std::wstring(temp) + L"kr_calendar_bench.json";
  const std::wstring floor = std::wstring(temp) + L"kr_calendar_bench_floor.json";
  std::vector<double> build, product, bare;
  size_t bytes = 0;
  for (int run = 0; run < kRuns; ++run) {
    const double start = NowMicroseconds();
    const std::string text = BuildText();
    const double built = NowMicroseconds();
    ReplaceCalendarFile(calendar, text, nullptr);
    const double written = NowMicroseconds();
    WriteBare(floor, text);
    bare.push_back((NowMicroseconds() - written) / 1e3);
    product.push_back((written - start) / 1e3);
    build.push_back((built - start) / 1e3);
    bytes = text.size();
  }
  std::printf("%d appointments, %zu bytes\n", kAppointments, bytes);
  Report("text alone", build);
  Report("text + temporary file + replace", product);
  Report("floor: bare CreateFile/WriteFile", bare);
  std::sort(product.begin(), product.end());
  std::sort(bare.begin(), bare.end());
  std::printf("ratio of medians (product / floor) %.2f\n", product[kRuns / 2] / bare[kRuns / 2]);
  ::DeleteFileW(calendar.c_str());
  ::DeleteFileW(floor.c_str());
  return 0;
}
