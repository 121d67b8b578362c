// Cost of icon extraction under Wine for a list of 200 paths (executables and
// libraries of the system folder), per item: new items (cache emptied first) and
// cached items, each beside its floor of bare calls (ExtractIconW, or
// SHGetFileInfoW when that has none, then DestroyIcon; one GetFileAttributesW for
// a cached item). Median of five runs of each, in one process.
//   tools/wine-run build/win64/wine build/win64/bin/icon_extraction_wine_bench.exe
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "bench/bench_clock.h"
#include "icons/icon_cache_name.h"
#include "icons/icon_extraction.h"
#include "runner/utils.h"

namespace {

constexpr size_t kItems = 200;
constexpr int kRuns = 5;
const wchar_t kProfile[] = L"C:\\kr_icon_bench";

// Microseconds per item, median of the runs; |before| runs untimed before each.
double PerItem(const std::function<void()>& before, const std::function<void()>& work) {
  std::vector<double> runs;
  for (int run = 0; run < kRuns; ++run) {
    before();
    double start = NowMicroseconds();
    work();
    runs.push_back((NowMicroseconds() - start) / kItems);
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::vector<std::wstring> paths;
  IconRequest request;
  for (const auto& file : fs::directory_iterator(L"C:\\windows\\system32")) {
    std::wstring extension = file.path().extension().wstring();
    if (paths.size() < kItems && (extension == L".exe" || extension == L".dll")) {
      paths.push_back(file.path().wstring());
      request.items.push_back({IconItem::Kind::kPath, Utf16ToUtf8(file.path().c_str())});
    }
  }
  GetIconSeams().local_app_data = [] { return std::optional<std::wstring>(kProfile); };
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::atomic<bool> keep_going{true};
  size_t results = 0;
  auto empty_cache = [] {
    fs::remove_all(kProfile);
    fs::create_directory(kProfile);
  };

  double floor_new =
      PerItem([] {},
              [&] {
                for (const std::wstring& path : paths) {
                  HICON icon = ::ExtractIconW(::GetModuleHandleW(nullptr), path.c_str(), 0);
                  if (icon == nullptr || icon == reinterpret_cast<HICON>(1)) {
                    SHFILEINFOW info{};
                    ::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON);
                    icon = info.hIcon;
                  }
                  if (icon != nullptr) {
                    ::DestroyIcon(icon);
                  }
                }
              });
  double fresh =
      PerItem(empty_cache, [&] { results = ExtractIcons(request, keep_going).entries.size(); });
  double cached = PerItem([] {}, [&] { ExtractIcons(request, keep_going); });
  // The same files the cached run found.
  std::vector<std::wstring> pngs;
  for (const IconItem& item : request.items) {
    std::string name = IconCacheFileName(item.path);
    pngs.push_back(std::wstring(kProfile) + L"\\Kestrune\\app_icons\\" +
                   std::wstring(name.begin(), name.end()));
  }
  double floor_cached = PerItem([] {},
                                [&] {
                                  for (const std::wstring& png : pngs) {
                                    ::GetFileAttributesW(png.c_str());
                                  }
                                });
  std::printf("%zu paths, %zu with an icon saved\n", paths.size(), results);
  std::printf("new item:    %9.1f us   floor (extract + destroy icon) %9.1f us   ratio %.2f\n",
              fresh, floor_new, fresh / floor_new);
  std::printf("cached item: %9.1f us   floor (one attribute query)     %9.1f us   ratio %.2f\n",
              cached, floor_cached, cached / floor_cached);
  fs::remove_all(kProfile);
  ::CoUninitialize();
  return 0;
}
