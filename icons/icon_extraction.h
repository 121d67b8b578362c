#ifndef KESTRUNE_ICONS_ICON_EXTRACTION_H_
#define KESTRUNE_ICONS_ICON_EXTRACTION_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <flutter/encodable_value.h>

enum class IconMethod { kApp, kFile };

// One list item of a request, as read on the main thread.
struct IconItem {
  enum class Kind { kPath, kSkipped, kPathNotString };
  Kind kind = Kind::kSkipped;
  std::string path;  // UTF-8, exactly as received
};

struct IconRequest {
  IconMethod method = IconMethod::kApp;
  std::vector<IconItem> items;
};

// The answer to one request: the entries, or no local application-data folder.
struct IconReply {
  bool no_app_data = false;
  flutter::EncodableList entries;
};

// The argb pixels of an icon, rows top-down, alpha straight (not premultiplied).
struct IconPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
};

// Where extraction meets the system; tests replace a member to steer one case.
struct IconSeams {
  // The user's local application-data folder; nothing when there is none.
  std::function<std::optional<std::wstring>()> local_app_data;
  // The icon for |source| (a shortcut already resolved), owned by the caller;
  // null when there is none.
  std::function<HICON(const std::wstring& source, IconMethod method)> icon_for;
  // Runs on the extraction thread before each item, with its path.
  std::function<void(const std::string& path)> before_item;
};

// The seams every extraction uses; the defaults are the real calls.
IconSeams& GetIconSeams();

// The pixels of |icon|: from its colour bitmap when that carries alpha, else the
// colour with the mask as alpha; nothing when the icon cannot be read.
std::optional<IconPixels> ReadIconPixels(HICON icon);

// Runs one request to its end, with the log lines of its method. Blocks on the
// shell: call it on the extraction thread, which has a COM apartment. Gives up
// between items once |keep_going| is false.
IconReply ExtractIcons(const IconRequest& request, const std::atomic<bool>& keep_going);

#endif  // KESTRUNE_ICONS_ICON_EXTRACTION_H_
