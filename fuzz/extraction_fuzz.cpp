// A page's text as the grab reads it: the movie pattern, the list the window fills, and the
// streaming search that must find what one search of the whole page finds. The first byte
// chooses the size of the writes into the stream.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/exception.h"
#include "base/string_list.h"
#include "base/text.h"
#include "fuzz/fuzz_input.h"
#include "rescue/swf_extraction.h"
#include "rescue/swf_url_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input(data, size);
  const std::string page = input.AfterChoice();
  std::vector<std::string> whole;
  try {
    whole = FindSwfUrls(page);
  } catch (const Exception&) {
    // The matcher's limits (match or recursion) are its errors to raise.
    return 0;
  }
  TStringList list;
  FillSwfUrlList(whole, CompareText, list);

  const size_t piece = input.Choice() + 1;
  TSwfUrlStream stream;
  for (size_t at = 0; at < page.size(); at += piece)
    stream.WriteBuffer(page.data() + at, static_cast<int64_t>(std::min(piece, page.size() - at)));
  if (stream.Finish() != whole) std::abort();
  return 0;
}
