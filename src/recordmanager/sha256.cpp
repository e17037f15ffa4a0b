#include "recordmanager/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace varnok::rm {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context_);
    throw std::runtime_error("SHA-256 is not available");
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

void Sha256::add(const void* bytes, std::size_t length) {
  EVP_DigestUpdate(context_, bytes, length);
}

std::string Sha256::hex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_, digest, &length);
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 0xF];
  }
  return text;
}

}  // namespace varnok::rm
