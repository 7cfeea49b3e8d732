#include "page/page_charset.h"

#include <utility>

#include "base/charset.h"
#include "page/markup_text.h"

namespace {

// The first bytes of the double-byte encodings whose second byte may be ASCII ("\" among them,
// as in Shift_JIS "\x83\x5C"): that byte is not a character of its own.
constexpr TByteSet kShiftJisLeads(0x81, 0x9F, 0xE0, 0xFC);
constexpr TByteSet kWideLeads(0x81, 0xFE);  // GBK, GB 18030, Big5, EUC-KR

const bool* LeadBytesOf(std::string_view charset) {
  if (charset == "Shift_JIS") return kShiftJisLeads.Has;
  if (charset == "GBK" || charset == "gb18030" || charset == "Big5" || charset == "EUC-KR")
    return kWideLeads.Has;
  return nullptr;
}

}  // namespace

TPageCharset::TPageCharset() : fallback_(FallbackPageCharset()) {}

bool TPageCharset::SetHttp(std::string charset) {
  http_ = std::move(charset);
  return Use(!http_.empty() ? http_ : declared_);
}

bool TPageCharset::Declare(std::string charset) {
  if (charset.empty() || !declared_.empty()) return false;
  declared_ = std::move(charset);
  return http_.empty() && Use(declared_);
}

bool TPageCharset::Use(std::string charset) {
  if (charset == used_) return false;
  used_ = std::move(charset);
  lead_bytes_ = LeadBytesOf(used_);
  return true;
}

std::string_view TPageCharset::Of(std::string_view address) const {
  if (!used_.empty()) return used_;
  return IsUtf8(address) ? std::string_view(kUtf8) : std::string_view(fallback_);
}
