#ifndef KESTRUNE_EMBEDDER_DART_PROJECT_H_
#define KESTRUNE_EMBEDDER_DART_PROJECT_H_

#include <string>
#include <vector>

namespace flutter {

// Where the engine finds the interface: a folder (relative paths are taken
// beside the executable) with "flutter_assets", "icudtl.dat" and "app.so".
class DartProject {
 public:
  explicit DartProject(const std::wstring& path)
      : assets_path_(path + L"\\flutter_assets"),
        icu_data_path_(path + L"\\icudtl.dat"),
        aot_library_path_(path + L"\\app.so") {}

  void set_dart_entrypoint_arguments(std::vector<std::string> arguments) {
    dart_entrypoint_arguments_ = std::move(arguments);
  }
  const std::vector<std::string>& dart_entrypoint_arguments() const {
    return dart_entrypoint_arguments_;
  }

 private:
  friend class FlutterEngine;
  friend class FlutterViewController;

  const std::wstring& assets_path() const { return assets_path_; }
  const std::wstring& icu_data_path() const { return icu_data_path_; }
  const std::wstring& aot_library_path() const { return aot_library_path_; }

  std::wstring assets_path_;
  std::wstring icu_data_path_;
  std::wstring aot_library_path_;
  std::vector<std::string> dart_entrypoint_arguments_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_DART_PROJECT_H_
