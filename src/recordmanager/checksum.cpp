#include "recordmanager/checksum.h"

#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace varnok::rm {
namespace {

uint32_t byTables(uint32_t crc, const uint8_t* data, std::size_t length) {
  return uint32_t(::crc32(crc, data, uInt(length)));
}

#if defined(__x86_64__)
#define VARNOK_FOLDS __attribute__((target("pclmul,sse4.1")))

VARNOK_FOLDS __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// a times k, folded onto the 128 bits that follow it, b.
VARNOK_FOLDS __m128i fold(__m128i a, __m128i k, __m128i b) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), b);
}

// Folding by carry-less multiplication, after Gopal et al., "Fast CRC
// computation for generic polynomials using PCLMULQDQ" (Intel, 2009), in
// the bit-reflected domain. Takes the running register (the CRC before its
// final inversion) and a length that is a multiple of 16 and at least 64.
VARNOK_FOLDS uint32_t byFolding(uint32_t reg, const uint8_t* data, std::size_t length) {
  // x^(4*128+32) and x^(4*128-32) mod P, for folding 512 bits at a time;
  // x^(128+32) and x^(128-32), for 128; x^64 for the last 64 bits; then P
  // itself and floor(x^64 / P) for Barrett's reduction. All reflected.
  const __m128i by512 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i by128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i by64 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i barrett = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(int(reg)));
  __m128i x2 = load(data + 16), x3 = load(data + 32), x4 = load(data + 48);
  data += 64;
  length -= 64;
  for (; length >= 64; data += 64, length -= 64) {
    x1 = fold(x1, by512, load(data));
    x2 = fold(x2, by512, load(data + 16));
    x3 = fold(x3, by512, load(data + 32));
    x4 = fold(x4, by512, load(data + 48));
  }
  x1 = fold(x1, by128, x2);
  x1 = fold(x1, by128, x3);
  x1 = fold(x1, by128, x4);
  for (; length >= 16; data += 16, length -= 16) x1 = fold(x1, by128, load(data));

  // 128 bits to 64, then Barrett's reduction to 32.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, by128, 0x10));
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                     _mm_clmulepi64_si128(_mm_and_si128(x1, low32), by64, 0x00));
  __m128i quotient = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
  quotient = _mm_clmulepi64_si128(_mm_and_si128(quotient, low32), barrett, 0x00);
  return uint32_t(_mm_extract_epi32(_mm_xor_si128(x1, quotient), 1));
}

#undef VARNOK_FOLDS

bool canFold() {
  static const bool supported =
      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return supported;
}
#endif

}  // namespace

uint32_t zipCrc32(const uint8_t* data, std::size_t length) {
#if defined(__x86_64__)
  if (length >= 64 && canFold()) {
    const std::size_t folded = length & ~std::size_t(15);
    const uint32_t crc = ~byFolding(~0u, data, folded);
    return byTables(crc, data + folded, length - folded);
  }
#endif
  return byTables(0, data, length);
}

}  // namespace varnok::rm
