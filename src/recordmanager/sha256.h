// SHA-256 as the engine hashes books, in lower-case hex; the layers above
// hash their own files (backups, reports) the same way.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct evp_md_ctx_st;

namespace varnok::rm {

class Sha256 {
 public:
  // Throws std::runtime_error when the library has no SHA-256.
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void add(const void* bytes, std::size_t length);
  // The digest of everything added; call once.
  std::string hex();

 private:
  evp_md_ctx_st* context_;
};

}  // namespace varnok::rm
