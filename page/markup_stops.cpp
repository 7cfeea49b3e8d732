#include "page/markup_stops.h"

#include "page/markup_text.h"

size_t markup_stops::NextLessThanOrSwfDot(const char* d, size_t from, size_t to) {
#if defined(__SSE2__)
  const __m128i lessThan = _mm_set1_epi8('<');
  const __m128i dot = _mm_set1_epi8('.');
  const __m128i lowerCase = _mm_set1_epi8(0x20);
  const __m128i s = _mm_set1_epi8('s');
  // Each block is compared with the block one byte on as well, which must be there.
  while (from + 17 <= to) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + from));
    const __m128i following = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + from + 1));
    const __m128i swfDot = _mm_and_si128(_mm_cmpeq_epi8(block, dot),
                                         _mm_cmpeq_epi8(_mm_or_si128(following, lowerCase), s));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, lessThan), swfDot));
    if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    from += 16;
  }
#endif
  for (; from < to; ++from) {
    const char c = d[from];
    if (c == '<' || (c == '.' && (from + 1 == to || Folded(d[from + 1]) == 's'))) return from;
  }
  return to;
}
