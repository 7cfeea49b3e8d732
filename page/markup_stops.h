// The vector search of the markup scanner: the bytes of markup text that start something to
// look at, a "<" or a "." that may begin ".swf". Most bytes of a page start nothing, so they
// are looked at sixteen at a time where the processor allows, a window of kWindow bytes making
// one mask, and only the stops are looked at one by one.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace markup_stops {

// The first "<" in d[from, to), or the first "." that may begin ".swf" (the byte after it is
// "s" or "S", or not there yet), or `to`: the stops where a window does not fit.
size_t NextLessThanOrSwfDot(const char* d, size_t from, size_t to);

// What a window reads beyond its end: the two bytes each stop is told by.
inline constexpr size_t kStopWindowReach = 64 + 2;
// How far ahead of the scan the bytes are asked for: the processor's own prefetching does not
// keep up with the scan.
inline constexpr size_t kStopPrefetchDistance = 4096;

// Bit i set for d[i] (i < 64, a window) a "<" that does not open an end tag other than one starting
// with `endInitial`, or a "." followed by "sw" in any case (host names are full of ".s").
// Reads d[0, kStopWindowReach).
[[gnu::always_inline]] inline uint64_t StopsAt(const char* d, char endInitial) {
  uint64_t mask = 0;
#if defined(__SSE2__)
  const __m128i lessThan = _mm_set1_epi8('<');
  const __m128i dot = _mm_set1_epi8('.');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i lowerCase = _mm_set1_epi8(0x20);
  const __m128i s = _mm_set1_epi8('s');
  const __m128i initial = _mm_set1_epi8(endInitial);
  const __m128i w = _mm_set1_epi8('w');
#pragma GCC unroll 4
  for (size_t k = 0; k < 64; k += 16) {
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 1));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 2));
    const __m128i plainEnd = _mm_andnot_si128(_mm_cmpeq_epi8(_mm_or_si128(b2, lowerCase), initial),
                                              _mm_cmpeq_epi8(b1, slash));
    const __m128i lt = _mm_andnot_si128(plainEnd, _mm_cmpeq_epi8(b0, lessThan));
    const __m128i swfDot = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(b0, dot), _mm_cmpeq_epi8(_mm_or_si128(b1, lowerCase), s)),
        _mm_cmpeq_epi8(_mm_or_si128(b2, lowerCase), w));
    const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(_mm_or_si128(lt, swfDot)));
    mask |= static_cast<uint64_t>(bits) << k;
  }
#else
  for (size_t i = 0; i < 64; ++i) {
    const auto folded = [](char c) { return static_cast<char>(c | 0x20); };
    const bool lt = d[i] == '<' && !(d[i + 1] == '/' && folded(d[i + 2]) != endInitial);
    const bool swfDot = d[i] == '.' && folded(d[i + 1]) == 's' && folded(d[i + 2]) == 'w';
    if (lt || swfDot) mask |= uint64_t{1} << i;
  }
#endif
  return mask;
}

}  // namespace markup_stops

class TMarkupStops {
 public:
  static constexpr size_t kWindow = 64;

  // The stops of d[0, end). A "<" that opens an end tag whose name does not start with
  // `endInitial` (lower case) need not stop the search, and mostly does not.
  TMarkupStops(const char* d, size_t end, char endInitial)
      : d_(d), end_(end), end_initial_(endInitial) {}

  // The first stop at or after `from`, or the end when there is none. Near the end, where a
  // window does not fit, every "." followed by "s" (or by nothing yet) is a stop. Inlined, with
  // the window search, into the scan: the search's constants then stay in registers.
  size_t Next(size_t from) {
    if (from >= window_ && from - window_ < kWindow) {
      const uint64_t left = mask_ & (~uint64_t{0} << (from - window_));
      if (left != 0) return window_ + static_cast<size_t>(__builtin_ctzll(left));
      from = window_ + kWindow;
    }
    return NextFromWindow(from);
  }

 private:
  size_t NextFromWindow(size_t from);

  const char* d_;
  size_t end_;
  char end_initial_;
  // The window looked at last and its stops; none yet.
  size_t window_ = SIZE_MAX;
  uint64_t mask_ = 0;
};

[[gnu::always_inline]] inline size_t TMarkupStops::NextFromWindow(size_t from) {
  // Held apart from the members: the vector loads may alias them, which would have them
  // stored and loaded again for every window.
  const char* const d = d_;
  const size_t end = end_;
  const char endInitial = end_initial_;
  while (from + markup_stops::kStopWindowReach <= end) {
    __builtin_prefetch(d + from + markup_stops::kStopPrefetchDistance);
    const uint64_t mask = markup_stops::StopsAt(d + from, endInitial);
    if (mask != 0) {
      window_ = from;
      mask_ = mask;
      return from + static_cast<size_t>(__builtin_ctzll(mask));
    }
    from += kWindow;
  }
  window_ = SIZE_MAX;
  mask_ = 0;
  return markup_stops::NextLessThanOrSwfDot(d, from, end);
}
