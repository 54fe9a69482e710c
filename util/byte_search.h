// Candidate scan shared by the text searches: finds the places where two bytes of a needle stand
// in the text, 16 places at a time with SSE2 where the processor has it, and lets the caller
// check each candidate in full. Internal to util/.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sx::detail {

// Each of the two probes is a byte offset within the needle and the two byte values accepted
// there (equal when only one is).
struct Probe {
  size_t offset;
  unsigned char a, b;
};

// The first place p in [from, last] where text[p + first.offset] and text[p + second.offset] are
// accepted by their probes and verify(p) is true; npos when there is none. The caller makes sure
// that p + offset stays inside the text for every p up to `last`.
template <typename Verify>
size_t FindCandidate(std::string_view text, size_t from, size_t last, Probe first, Probe second,
                     Verify verify) {
  const unsigned char* const data = reinterpret_cast<const unsigned char*>(text.data());
  size_t p = from;
#if defined(__SSE2__)
  const __m128i firstA = _mm_set1_epi8(static_cast<char>(first.a));
  const __m128i firstB = _mm_set1_epi8(static_cast<char>(first.b));
  const __m128i secondA = _mm_set1_epi8(static_cast<char>(second.a));
  const __m128i secondB = _mm_set1_epi8(static_cast<char>(second.b));
  // Whole blocks of 16 places, all of them at or before `last`.
  for (; p <= last && last - p >= 15; p += 16) {
    const __m128i x =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p + first.offset));
    const __m128i y =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p + second.offset));
    const __m128i hitX = _mm_or_si128(_mm_cmpeq_epi8(x, firstA), _mm_cmpeq_epi8(x, firstB));
    const __m128i hitY = _mm_or_si128(_mm_cmpeq_epi8(y, secondA), _mm_cmpeq_epi8(y, secondB));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(hitX, hitY)));
    while (mask) {
      const size_t candidate = p + static_cast<size_t>(__builtin_ctz(mask));
      if (verify(candidate)) return candidate;
      mask &= mask - 1;
    }
  }
#endif
  for (; p <= last; ++p) {
    const unsigned char x = data[p + first.offset], y = data[p + second.offset];
    if ((x == first.a || x == first.b) && (y == second.a || y == second.b) && verify(p)) return p;
  }
  return std::string_view::npos;
}

}  // namespace sx::detail
