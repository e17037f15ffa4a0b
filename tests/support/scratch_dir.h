// A scratch folder for a test, and files read and written whole.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace varnok::testing {

// A folder that is removed with everything in it when the object goes, even
// where a test took away its permissions.
class ScratchDir {
 public:
  explicit ScratchDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    std::string pattern = (base / "varnok-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of a file in the folder.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // A sub-folder, made on demand, as the operator would type it (ending in '/').
  std::string folder(const std::string& name) const {
    std::filesystem::create_directories(path_ / name);
    return (path_ / name).string() + "/";
  }
  // The names in the folder, to see that nothing was left beside a book.
  std::set<std::string> names() const {
    std::set<std::string> result;
    for (const auto& item : std::filesystem::directory_iterator(path_))
      result.insert(item.path().filename().string());
    return result;
  }

 private:
  std::filesystem::path path_;
};

// The file's bytes; empty for anything but a regular file.
inline std::string fileBytes(const std::filesystem::path& path) {
  if (!std::filesystem::is_regular_file(path)) return {};
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace varnok::testing
