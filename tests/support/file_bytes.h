// Whole files as byte strings, for tests that compare or damage files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace varnok::testing {

inline std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace varnok::testing
