#include "page/quoted_address.h"

#include "page/markup_text.h"

namespace {

// What ends the search for a quoted address, told by table (it runs for every byte looked
// at): a quote, or where a quoted address cannot go on (white space but the blank, which can
// be part of one as in "my game.swf", and tag brackets).
enum : unsigned char { kQuoteByte = 1, kStopByte = 2 };
struct TQuotedBytes {
  unsigned char Of[256] = {};
  constexpr TQuotedBytes() {
    for (const char c : std::string_view("\"'`"))
      Of[static_cast<unsigned char>(c)] = kQuoteByte;
    for (const char c : std::string_view("\t\n\r\f\v<>"))
      Of[static_cast<unsigned char>(c)] = kStopByte;
  }
};
constexpr TQuotedBytes kQuotedBytes;

unsigned QuotedByte(char c) {
  return kQuotedBytes.Of[static_cast<unsigned char>(c)];
}

}  // namespace

TQuotedHit QuotedAddressAt(const char* d, size_t floor, size_t dot, size_t hi, bool complete,
                           size_t& from, size_t& to, size_t& after) {
  const TQuotedHit short_ = complete ? TQuotedHit::qhNone : TQuotedHit::qhMore;
  if (dot + 4 > hi) return short_;
  if (!IsSwfAt(d, dot)) return TQuotedHit::qhNone;
  size_t j = dot;
  char open = 0;
  while (j > floor && dot - j < kMaxQuotedAddress) {
    const char c = d[j - 1];
    if (const unsigned kind = QuotedByte(c)) {
      if (kind == kStopByte) return TQuotedHit::qhNone;
      open = c;
      break;
    }
    --j;
  }
  if (!open) return TQuotedHit::qhNone;
  for (size_t k = dot + 4;; ++k) {
    if (k >= hi) return short_;
    if (k - dot > kMaxQuotedAddress) return TQuotedHit::qhNone;
    const char c = d[k];
    if (c == open) {
      from = j;
      to = k;
      after = k + 1;
      return TQuotedHit::qhFound;
    }
    if (c == '\\') {
      if (k + 1 >= hi) return short_;
      if (d[k + 1] == open) {
        from = j;
        to = k;
        after = k + 2;
        return TQuotedHit::qhFound;
      }
    }
    if (k == dot + 4 && c != '?' && c != '#') return TQuotedHit::qhNone;
    if (QuotedByte(c)) return TQuotedHit::qhNone;
  }
}
