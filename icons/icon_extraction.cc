#include "icons/icon_extraction.h"

#include <objidl.h>
// objidl.h first: GDI+ needs its declarations, which WIN32_LEAN_AND_MEAN leaves out.
#include <gdiplus.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "icons/icon_cache_name.h"
#include "runner/debug_log.h"
#include "runner/unique_resource.h"
#include "runner/utils.h"
#include "winrt/com_ptr.h"

namespace {

namespace gdip = Gdiplus::DllExports;

struct IconTraits {
  using Type = HICON;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DestroyIcon(h); }
};
struct BitmapTraits {
  using Type = HBITMAP;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct ScreenDcTraits {
  using Type = HDC;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::ReleaseDC(nullptr, h); }
};
struct GdipImageTraits {
  using Type = Gdiplus::GpBitmap*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { gdip::GdipDisposeImage(h); }
};
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueBitmap = UniqueResource<BitmapTraits>;
using UniqueScreenDc = UniqueResource<ScreenDcTraits>;
using UniqueGdipBitmap = UniqueResource<GdipImageTraits>;

// GDI+ for the length of one request.
class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
      token_ = 0;
    }
  }
  ~GdiplusSession() {
    if (token_ != 0) {
      Gdiplus::GdiplusShutdown(token_);
    }
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

// The class id of the "image/png" encoder, all zero when there is none.
CLSID FindPngEncoder() {
  CLSID clsid{};
  UINT count = 0;
  UINT bytes = 0;
  if (gdip::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) {
    return clsid;
  }
  // ImageCodecInfo records followed by the strings they point to.
  std::vector<Gdiplus::ImageCodecInfo> buffer(bytes / sizeof(Gdiplus::ImageCodecInfo) + 1);
  if (gdip::GdipGetImageEncoders(count, bytes, buffer.data()) != Gdiplus::Ok) {
    return clsid;
  }
  for (UINT i = 0; i < count; ++i) {
    if (buffer[i].MimeType != nullptr && std::wcscmp(buffer[i].MimeType, L"image/png") == 0) {
      return buffer[i].Clsid;
    }
  }
  return clsid;
}

bool IsZero(const CLSID& clsid) {
  return clsid == CLSID{};
}

std::optional<std::wstring> Utf8ToUtf16(const std::string& text) {
  if (text.empty()) {
    return std::wstring();
  }
  int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (units <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), units);
  return wide;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::wstring> ShellLocalAppData() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder))) {
    return std::nullopt;
  }
  return std::wstring(folder);
}

HICON ShellIcon(const std::wstring& path) {
  SHFILEINFOW info{};
  if (::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON) == 0) {
    return nullptr;
  }
  return info.hIcon;
}

HICON SystemIcon(const std::wstring& source, IconMethod method) {
  if (method == IconMethod::kApp) {
    HICON icon = ::ExtractIconW(::GetModuleHandleW(nullptr), source.c_str(), 0);
    // 1: the file is not an executable, library or icon file.
    if (icon != nullptr && icon != reinterpret_cast<HICON>(1)) {
      return icon;
    }
  }
  return ShellIcon(source);
}

// The target of the shortcut at |path| when it exists, else |path| itself.
std::wstring ResolveShortcut(const std::wstring& path) {
  winrt::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void()))) {
    return path;
  }
  winrt::ComPtr<IPersistFile> file = link.As<IPersistFile>(IID_IPersistFile);
  if (!file || FAILED(file->Load(path.c_str(), STGM_READ))) {
    return path;
  }
  link->Resolve(nullptr, SLR_NO_UI | SLR_NOSEARCH);
  wchar_t target[MAX_PATH] = {};
  if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)) || target[0] == L'\0' ||
      !Exists(target)) {
    return path;
  }
  return target;
}

std::vector<uint32_t> ReadRows(HDC dc, HBITMAP bitmap, int width, int rows) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -rows;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * rows);
  if (::GetDIBits(dc, bitmap, 0, rows, pixels.data(), &info, DIB_RGB_COLORS) != rows) {
    return {};
  }
  return pixels;
}

// One entry of the answer.
flutter::EncodableValue Entry(const std::string& path, const std::wstring& png) {
  return flutter::EncodableValue(flutter::EncodableMap{
      {flutter::EncodableValue("path"), flutter::EncodableValue(path)},
      {flutter::EncodableValue("icon"), flutter::EncodableValue(Utf16ToUtf8(png.c_str()))},
  });
}

enum class Saved { kTooSmall, kWritten, kWriteFailed, kNoBitmap, kNoEncoder };

// Makes the PNG of |icon| at |png| when it is at least |floor| pixels each way.
Saved SavePng(HICON icon, int floor, const CLSID& encoder, const std::wstring& png) {
  std::optional<IconPixels> pixels = ReadIconPixels(icon);
  if (!pixels) {
    return Saved::kNoBitmap;
  }
  UniqueGdipBitmap bitmap;
  Gdiplus::GpBitmap* made = nullptr;
  // The pixels are borrowed, not copied; they outlive the bitmap.
  if (gdip::GdipCreateBitmapFromScan0(
          pixels->width, pixels->height, pixels->width * 4, PixelFormat32bppARGB,
          reinterpret_cast<BYTE*>(pixels->argb.data()), &made) != Gdiplus::Ok) {
    return Saved::kNoBitmap;
  }
  bitmap.reset(made);
  if (pixels->width < floor || pixels->height < floor) {
    return Saved::kTooSmall;
  }
  if (IsZero(encoder)) {
    return Saved::kNoEncoder;
  }
  return gdip::GdipSaveImageToFile(bitmap.get(), png.c_str(), &encoder, nullptr) == Gdiplus::Ok
             ? Saved::kWritten
             : Saved::kWriteFailed;
}

}  // namespace

IconSeams& GetIconSeams() {
  static IconSeams seams{ShellLocalAppData, SystemIcon, nullptr};
  return seams;
}

std::optional<IconPixels> ReadIconPixels(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) {
    return std::nullopt;
  }
  UniqueBitmap color(info.hbmColor);
  UniqueBitmap mask(info.hbmMask);
  BITMAP shape{};
  if (!mask || ::GetObjectW(color ? color.get() : mask.get(), sizeof(shape), &shape) == 0) {
    return std::nullopt;
  }
  IconPixels pixels;
  pixels.width = shape.bmWidth;
  // A monochrome icon stacks its AND mask over its XOR image in one bitmap.
  pixels.height = color ? shape.bmHeight : shape.bmHeight / 2;
  if (pixels.width <= 0 || pixels.height <= 0) {
    return std::nullopt;
  }
  UniqueScreenDc dc(::GetDC(nullptr));
  std::vector<uint32_t> mask_rows =
      ReadRows(dc.get(), mask.get(), pixels.width, color ? pixels.height : pixels.height * 2);
  if (mask_rows.empty()) {
    return std::nullopt;
  }
  size_t count = static_cast<size_t>(pixels.width) * pixels.height;
  if (color) {
    pixels.argb = ReadRows(dc.get(), color.get(), pixels.width, pixels.height);
    if (pixels.argb.empty()) {
      return std::nullopt;
    }
    if (std::any_of(pixels.argb.begin(), pixels.argb.end(),
                    [](uint32_t pixel) { return (pixel >> 24) != 0; })) {
      return pixels;
    }
  } else {
    pixels.argb.assign(mask_rows.begin() + static_cast<ptrdiff_t>(count), mask_rows.end());
  }
  // Without alpha, a set mask bit is a transparent pixel.
  for (size_t i = 0; i < count; ++i) {
    pixels.argb[i] =
        (pixels.argb[i] & 0x00FFFFFFu) | ((mask_rows[i] & 0x00FFFFFFu) ? 0u : 0xFF000000u);
  }
  return pixels;
}

IconReply ExtractIcons(const IconRequest& request, const std::atomic<bool>& keep_going) {
  const IconSeams& seams = GetIconSeams();
  const bool app = request.method == IconMethod::kApp;
  IconReply reply;
  std::optional<std::wstring> root = seams.local_app_data();
  if (!root) {
    reply.no_app_data = true;
    return reply;
  }
  // Both levels: on a fresh profile nothing has made the first one yet.
  std::wstring folder = *root + L"\\Kestrune";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\app_icons";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  if (app) {
    DebugLogF("[Icon] cacheDir=%s, items=%zu", Utf16ToUtf8(folder.c_str()).c_str(),
              request.items.size());
  }

  GdiplusSession gdiplus;
  CLSID encoder = FindPngEncoder();
  if (app) {
    DebugLogF("[Icon] pngClsid.Data1=%u (0=not found)", static_cast<unsigned>(encoder.Data1));
  }

  int ok = 0;
  int fail_icon = 0;
  int fail_save = 0;
  for (size_t index = 0; index < request.items.size() && keep_going; ++index) {
    const IconItem& item = request.items[index];
    if (item.kind == IconItem::Kind::kPathNotString) {
      DebugLogF("[Icon] item %zu: path is not a string", index);
    }
    if (item.kind != IconItem::Kind::kPath) {
      continue;
    }
    if (seams.before_item) {
      seams.before_item(item.path);
    }
    std::wstring png = folder + L"\\" + Utf8ToUtf16(IconCacheFileName(item.path)).value();
    if (Exists(png)) {
      reply.entries.push_back(Entry(item.path, png));
      continue;
    }
    std::optional<std::wstring> path = Utf8ToUtf16(item.path);
    UniqueIcon icon;
    if (path) {
      icon.reset(seams.icon_for(app ? ResolveShortcut(*path) : *path, request.method));
    }
    if (!icon) {
      fail_icon += app ? 1 : 0;
      continue;
    }
    switch (SavePng(icon.get(), app ? 32 : 16, encoder, png)) {
      case Saved::kWritten:
        ++ok;
        reply.entries.push_back(Entry(item.path, png));
        break;
      case Saved::kTooSmall:
        fail_icon += app ? 1 : 0;
        break;
      case Saved::kWriteFailed:
        fail_save += app ? 1 : 0;
        break;
      default:
        break;
    }
  }
  if (app) {
    DebugLogF("[Icon] done: ok=%d failIcon=%d failSave=%d results=%zu", ok, fail_icon, fail_save,
              reply.entries.size());
  }
  return reply;
}
