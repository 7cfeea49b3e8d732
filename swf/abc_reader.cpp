#include "swf/abc_reader.h"

#include <cstdint>

#include "swf/byte_reader.h"
#include "swf/movie_strings.h"

namespace {

// Steps over `count - 1` entries (entry 0 of every pool is implied, never stored).
template <typename SkipOne>
void SkipPool(TByteReader& abc, SkipOne skipOne) {
  const uint32_t count = abc.U30();
  for (uint32_t i = 1; i < count; ++i)
    skipOne();
}

}  // namespace

void ReadAbcStrings(TByteReader& abc, TMovieStrings& strings) {
  abc.Skip(4);                           // minor and major version
  SkipPool(abc, [&abc] { abc.U30(); });  // signed integers share the variable-length form
  SkipPool(abc, [&abc] { abc.U30(); });
  const uint32_t doubles = abc.U30();
  // Checked before multiplying: a count of billions in a small file is a lie.
  if (doubles > 1) abc.Skip(size_t{doubles - 1} * 8);
  const uint32_t count = abc.U30();
  for (uint32_t i = 1; i < count; ++i) {
    const uint32_t length = abc.U30();
    strings.Add(abc.Bytes(length));
  }
}
