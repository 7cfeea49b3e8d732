#include "page/page_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/charset.h"
#include "base/text.h"
#include "page/character_references.h"
#include "page/reference_resolution.h"
#include "page/web_archive_capture.h"
#include "uri/address_encoding.h"

namespace {

// Bytes kept before the scan position: a quoted address is looked for backwards from its
// ".swf".
constexpr size_t kLookBehind = TPageReader::kMaxAddress + 16;
// Script literals longer than this are not addresses and are not kept.
constexpr size_t kMaxString = 16 << 10;
// Identifiers longer than this are not the names of script calls.
constexpr size_t kMaxIdentifier = 64;

constexpr const char* kFlashTypes[] = {"application/x-shockwave-flash", "application/futuresplash",
                                       "application/vnd.adobe.flash.movie"};
constexpr char kFlashClassId[] = "d27cdb6e-ae6d-11cf-96b8-444553540000";
// Players of video sites: their Flash embeds are not movies to save.
constexpr const char* kVideoHosts[] = {"youtube.com", "youtube-nocookie.com", "youtu.be",
                                       "vimeo.com",   "dailymotion.com",      "metacafe.com"};
constexpr const char* kMovieSchemes[] = {"http", "https", "ftp"};
// A set of bytes, looked up by table: find_first_of would search the set once per byte.
struct TByteSet {
  bool Has[256] = {};
  constexpr explicit TByteSet(std::string_view bytes) {
    for (const char c : bytes)
      Has[static_cast<unsigned char>(c)] = true;
  }
  // The bytes from `from` to `to`, and from `from2` to `to2`.
  constexpr TByteSet(int from, int to, int from2 = 1, int to2 = 0) {
    for (int c = from; c <= to; ++c)
      Has[c] = true;
    for (int c = from2; c <= to2; ++c)
      Has[c] = true;
  }
  bool AnyIn(std::string_view text) const {
    for (const char c : text)
      if (Has[static_cast<unsigned char>(c)]) return true;
    return false;
  }
};
// Characters that no movie address the reader lists has in its path.
constexpr TByteSet kNotInPath("&={};|^\\$");

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
// What the bytes of a candidate value say, told in one pass: a byte no address has (controls,
// "<", ">" and quotes), a tab or line break (which browsers drop from addresses), a byte that
// goes percent-encoded on the wire (above ASCII, the blank, "{", "}"), or one that a value from
// markup may need decoded (a character reference or an escaped slash).
enum : unsigned char {
  kNotInAddress = 1,
  kToDecode = 2,
  kToStrip = 4,
  kToEncode = 8,
  kBlank = 16,
  kUpper = 32,  // a capital letter, which a host may not keep
};
struct TValueBytes {
  unsigned char Of[256] = {};
  constexpr TValueBytes() {
    for (int c = 0; c < ' '; ++c)
      Of[c] = kNotInAddress;
    Of[static_cast<unsigned char>('\t')] = Of[static_cast<unsigned char>('\n')] =
        Of[static_cast<unsigned char>('\r')] = kToStrip;
    Of[static_cast<unsigned char>(' ')] = kToEncode | kBlank;
    for (const char c : std::string_view("\x7f<>\"'`"))
      Of[static_cast<unsigned char>(c)] = kNotInAddress;
    for (int c = 0x80; c < 256; ++c)
      Of[c] = kToEncode;
    Of[static_cast<unsigned char>('{')] = Of[static_cast<unsigned char>('}')] = kToEncode;
    for (int c = 'A'; c <= 'Z'; ++c)
      Of[c] = kUpper;
    Of[static_cast<unsigned char>('&')] = Of[static_cast<unsigned char>('\\')] = kToDecode;
  }
  unsigned In(std::string_view text) const {
    unsigned found = 0;
    for (const char c : text)
      found |= Of[static_cast<unsigned char>(c)];
    return found;
  }
};
constexpr TValueBytes kValueBytes;

// ASCII only, and without the locale's lookup: this runs for every tag and attribute name.
char Folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Folded(a[i]) != Folded(b[i])) return false;
  return true;
}

bool EndsFolded(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && SameFolded(text.substr(text.size() - end.size()), end);
}

bool ContainsFolded(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (SameFolded(text.substr(i, part.size()), part)) return true;
  return false;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// ASCII classes by table: the locale's isalnum/isalpha cost a call per byte, and tag names are
// ASCII in every code page.
enum : unsigned char { kLetter = 1, kDigit = 2, kIdentifierOnly = 4 };

struct TByteClasses {
  unsigned char Of[256] = {};
  constexpr TByteClasses() {
    for (int c = 'a'; c <= 'z'; ++c)
      Of[c] = Of[c - 'a' + 'A'] = kLetter;
    for (int c = '0'; c <= '9'; ++c)
      Of[c] = kDigit;
    Of[static_cast<unsigned char>('_')] = Of[static_cast<unsigned char>('$')] = kIdentifierOnly;
  }
};
constexpr TByteClasses kClasses;

bool IsLetter(char c) {
  return kClasses.Of[static_cast<unsigned char>(c)] & kLetter;
}

bool IsAlnum(char c) {
  return kClasses.Of[static_cast<unsigned char>(c)] & (kLetter | kDigit);
}

bool IsQuote(char c) {
  return c == '"' || c == '\'' || c == '`';
}

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

bool IsIdentifierStart(char c) {
  return kClasses.Of[static_cast<unsigned char>(c)] & (kLetter | kIdentifierOnly);
}

bool IsIdentifier(char c) {
  return kClasses.Of[static_cast<unsigned char>(c)] != 0;
}

bool IsSwfAt(const char* d, size_t dot) {
  return d[dot] == '.' && Folded(d[dot + 1]) == 's' && Folded(d[dot + 2]) == 'w' &&
         Folded(d[dot + 3]) == 'f';
}

// Whether ".swf" (any case) occurs in `text`: most attribute values and literals are rejected
// by this alone.
bool HasSwf(std::string_view text) {
  const char* d = text.data();
  size_t at = 0;
  while (at + 4 <= text.size()) {
    const void* dot = std::memchr(d + at, '.', text.size() - at - 3);
    if (!dot) return false;
    at = static_cast<size_t>(static_cast<const char*>(dot) - d);
    if (IsSwfAt(d, at)) return true;
    ++at;
  }
  return false;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

bool IsFlashType(std::string_view type) {
  type = Trimmed(type.substr(0, type.find(';')));
  for (const char* flash : kFlashTypes)
    if (SameFolded(type, flash)) return true;
  return false;
}

bool IsVideoHost(std::string_view address) {
  const size_t slashes = address.find("//");
  if (slashes == std::string::npos) return false;
  const size_t start = slashes + 2;
  const size_t end = std::min(address.find_first_of("/?#", start), address.size());
  std::string_view host = address.substr(start, end - start);
  host = host.substr(host.rfind('@') == std::string::npos ? 0 : host.rfind('@') + 1);
  host = host.substr(0, host.find(':'));
  for (const char* video : kVideoHosts) {
    const std::string_view v(video);
    if (SameFolded(host, v) ||
        (host.size() > v.size() && EndsFolded(host, v) && host[host.size() - v.size() - 1] == '.'))
      return true;
  }
  return false;
}

// "\/" as "/": script and JSON text escapes its slashes. The second byte of a double-byte
// character (after a byte of `leads`) is never a "\" of its own.
std::string Unbackslashed(std::string text, const bool* leads = nullptr) {
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (leads && leads[static_cast<unsigned char>(text[i])] && i + 1 < text.size()) {
      text[out++] = text[i++];
    } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '/') {
      continue;
    }
    text[out++] = text[i];
  }
  text.resize(out);
  return text;
}

// Whether a byte of `set` is in `text`, the second bytes of double-byte characters (after a
// byte of `leads`) not counted.
bool AnyInCharacters(const TByteSet& set, std::string_view text, const bool* leads) {
  if (!leads) return set.AnyIn(text);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (leads[c])
      ++i;
    else if (set.Has[c])
      return true;
  }
  return false;
}

// The first "<" in d[from, to), or the first "." that may begin ".swf" (the byte after it is
// "s" or "S", or not there yet), or `to`: the only bytes of markup text that start something to
// look at. Sixteen bytes at a time where the processor allows, as most bytes start nothing.
size_t NextLessThanOrSwfDot(const char* d, size_t from, size_t to) {
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

// Markup text is looked at kWindow bytes at a time: a mask of the bytes that may start
// something (see StopsAt) is made at once, and only they are looked at one by one.
constexpr size_t kWindow = 64;
// What a window needs beyond its end: the two bytes StopsAt compares, the longest tag name
// looked at, and the longest opening AtLessThan tells apart.
constexpr size_t kWindowReach = kWindow + kMaxIdentifier + 8;
// How far ahead of the scan the bytes are asked for.
constexpr size_t kPrefetchDistance = 4096;

// Bit i set for d[i] (i < kWindow) a "<" that does not open an end tag other than "</o...", or a
// "." followed by "sw" in any case (host names are full of ".s"). Reads d[0, kWindow + 2).
uint64_t StopsAt(const char* d) {
  uint64_t mask = 0;
#if defined(__SSE2__)
  const __m128i lessThan = _mm_set1_epi8('<');
  const __m128i dot = _mm_set1_epi8('.');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i lowerCase = _mm_set1_epi8(0x20);
  const __m128i s = _mm_set1_epi8('s');
  const __m128i o = _mm_set1_epi8('o');
  const __m128i w = _mm_set1_epi8('w');
#pragma GCC unroll 4
  for (size_t k = 0; k < kWindow; k += 16) {
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 1));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 2));
    const __m128i plainEnd =
        _mm_andnot_si128(_mm_cmpeq_epi8(_mm_or_si128(b2, lowerCase), o), _mm_cmpeq_epi8(b1, slash));
    const __m128i lt = _mm_andnot_si128(plainEnd, _mm_cmpeq_epi8(b0, lessThan));
    const __m128i swfDot = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(b0, dot), _mm_cmpeq_epi8(_mm_or_si128(b1, lowerCase), s)),
        _mm_cmpeq_epi8(_mm_or_si128(b2, lowerCase), w));
    const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(_mm_or_si128(lt, swfDot)));
    mask |= static_cast<uint64_t>(bits) << k;
  }
#else
  for (size_t i = 0; i < kWindow; ++i) {
    const bool lt = d[i] == '<' && !(d[i + 1] == '/' && Folded(d[i + 2]) != 'o');
    const bool swfDot = d[i] == '.' && Folded(d[i + 1]) == 's' && Folded(d[i + 2]) == 'w';
    if (lt || swfDot) mask |= uint64_t{1} << i;
  }
#endif
  return mask;
}

// Where the name of the start tag at d[lt] == '<' ends (at most kMaxIdentifier bytes are looked
// at), and whether it has a "-", as the names of custom elements do.
size_t StartTagNameEnd(const char* d, size_t lt, size_t end, bool& custom) {
  size_t i = lt + 1;
  while (i < end && i - lt <= kMaxIdentifier && (IsAlnum(d[i]) || d[i] == '-')) {
    custom = custom || d[i] == '-';
    ++i;
  }
  return i;
}

// Classes of the bytes after a "<", for IsPlainStartTag.
enum : unsigned char { kNameByte = 1, kNameEnd = 2, kTakenStart = 4 };

struct TTagBytes {
  unsigned char Of[256] = {};
  constexpr TTagBytes() {
    for (int c = 0; c < 256; ++c)
      Of[c] = (kClasses.Of[c] & (kLetter | kDigit)) ? kNameByte : (c == '-' ? 0 : kNameEnd);
    for (const char c : std::string_view("bemops")) {
      Of[static_cast<unsigned char>(c)] |= kTakenStart;
      Of[static_cast<unsigned char>(c - 'a' + 'A')] |= kTakenStart;
    }
  }
};
constexpr TTagBytes kTagBytes;

// Whether the start tag at d[lt] == '<' (a letter after it) is one AtLessThan lets be, as told
// from its first bytes alone: a name of at most four letters and digits whose first letter
// starts none of the taken names. False when it takes a closer look. Reads d[lt, lt + 6); no
// branch on the name's length, as names of every length come one after another.
bool IsPlainStartTag(const char* d, size_t lt) {
  const auto of = [d, lt](size_t i) { return kTagBytes.Of[static_cast<unsigned char>(d[lt + i])]; };
  const unsigned first = of(1), c2 = of(2), c3 = of(3), c4 = of(4), c5 = of(5);
  const unsigned a2 = c2 & kNameByte, a3 = c3 & kNameByte, a4 = c4 & kNameByte;
  const unsigned ends =
      (c2 >> 1) | (a2 & (c3 >> 1)) | (a2 & a3 & (c4 >> 1)) | (a2 & a3 & a4 & (c5 >> 1));
  return (ends & 1) != 0 && (first & kTakenStart) == 0;
}

// The elements AtLessThan takes apart, besides custom ones.
bool IsTakenElement(std::string_view name) {
  // By length first: most names are told apart without comparing a byte.
  switch (name.size()) {
    case 4:
      return SameFolded(name, "base") || SameFolded(name, "meta");
    case 5:
      return SameFolded(name, "embed") || SameFolded(name, "param") || SameFolded(name, "frame");
    case 6:
      return SameFolded(name, "object") || SameFolded(name, "script") || SameFolded(name, "iframe");
    default:
      return false;
  }
}

// As browsers do, tabs and line breaks inside an address are dropped.
void DropTabsAndLineBreaks(std::string& address) {
  std::erase_if(address, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
}

// The attributes that hold an address: a blank in their value is part of it.
bool IsAddressAttribute(std::string_view name) {
  switch (name.size()) {
    case 3:
      return SameFolded(name, "src");
    case 4:
      return SameFolded(name, "data") || SameFolded(name, "href");
    case 5:
      return SameFolded(name, "value") || SameFolded(name, "movie");
    default:
      return false;
  }
}

// Whether the scheme and the authority of `address` (whose scheme is `schemeLength` bytes,
// followed by "://") have no upper-case letter: browsers write them in lower case.
bool LowerCaseOrigin(std::string_view address, size_t schemeLength) {
  const auto capital = [](char c) { return static_cast<unsigned char>(c - 'A') < 26; };
  for (size_t i = 0; i < schemeLength; ++i)
    if (capital(address[i])) return false;
  for (size_t i = schemeLength + 3; i < address.size(); ++i) {
    const char c = address[i];
    if (c == '/' || c == '?' || c == '#') return true;
    if (capital(c)) return false;
  }
  return true;
}

enum class THit { hNone, hFound, hMore };

// The quoted text around the ".swf" at `dot`: from the nearest quote before it (at most
// kMaxAddress back, never before `floor`, no white space but blanks and no "<" ">" between) to the
// same quote after it, with at most a query or fragment between ".swf" and the quote. A quote with
// "\" in front closes too (JSON inside a string). `complete`: the bytes up to `hi` are all there
// are.
THit QuotedAt(const char* d, size_t floor, size_t dot, size_t hi, bool complete, size_t& from,
              size_t& to, size_t& after) {
  const THit short_ = complete ? THit::hNone : THit::hMore;
  if (dot + 4 > hi) return short_;
  if (!IsSwfAt(d, dot)) return THit::hNone;
  size_t j = dot;
  char open = 0;
  while (j > floor && dot - j < TPageReader::kMaxAddress) {
    const char c = d[j - 1];
    if (const unsigned kind = QuotedByte(c)) {
      if (kind == kStopByte) return THit::hNone;
      open = c;
      break;
    }
    --j;
  }
  if (!open) return THit::hNone;
  for (size_t k = dot + 4;; ++k) {
    if (k >= hi) return short_;
    if (k - dot > TPageReader::kMaxAddress) return THit::hNone;
    const char c = d[k];
    if (c == open) {
      from = j;
      to = k;
      after = k + 1;
      return THit::hFound;
    }
    if (c == '\\') {
      if (k + 1 >= hi) return short_;
      if (d[k + 1] == open) {
        from = j;
        to = k;
        after = k + 2;
        return THit::hFound;
      }
    }
    if (k == dot + 4 && c != '?' && c != '#') return THit::hNone;
    if (QuotedByte(c)) return THit::hNone;
  }
}

// One escape of a script literal at d[i] == '\\': appends what it stands for and returns the
// bytes it takes, or 0 when they are not all at hand.
size_t TakeEscape(const char* d, size_t i, size_t end, std::string& out) {
  if (i + 1 >= end) return 0;
  const char e = d[i + 1];
  auto hex = [&](size_t at, size_t count) -> int {
    int value = 0;
    for (size_t k = 0; k < count; ++k) {
      const int digit = HexDigitValue(d[at + k]);
      if (digit < 0) return -1;
      value = value * 16 + digit;
    }
    return value;
  };
  switch (e) {
    case 'n':
      out += '\n';
      return 2;
    case 'r':
      out += '\r';
      return 2;
    case 't':
      out += '\t';
      return 2;
    case '\r':
    case '\n':
      return 2;  // a line continuation
    case 'x': {
      if (i + 4 > end) return 0;
      const int value = hex(i + 2, 2);
      if (value < 0) break;
      out += static_cast<char>(value);
      return 4;
    }
    case 'u': {
      if (i + 6 > end) return 0;
      const int value = hex(i + 2, 4);
      // Only ASCII has one byte in every code page.
      if (value < 0 || value > 0x7F) break;
      out += static_cast<char>(value);
      return 6;
    }
    default:
      break;
  }
  out += e;
  return 2;
}

}  // namespace

TPageReader::TPageReader(std::string pageAddress)
    : page_(std::move(pageAddress)), fallback_charset_(FallbackPageCharset()) {
  Prepare();
}

void TPageReader::Begin(bool final) {
  // The page's first bytes are at start_ until a scan has gone far enough to let them go, which
  // it does not before they are looked at here.
  if (buffer_.size() - start_ < 3 && !final) return;
  started_ = true;
  // A byte-order mark says more than anything the page declares.
  if (buffer_.compare(start_, 3, "\xEF\xBB\xBF") == 0) {
    declared_charset_ = kUtf8;
    if (http_charset_.empty()) SetCharset(kUtf8);
  }
}

void TPageReader::Feed(std::string_view piece) {
  if (piece.empty()) return;
  if (start_ > 0) {
    buffer_.erase(0, start_);
    Rebase(0);
  }
  buffer_.append(piece);
  Scan(false);
  LetGo();
}

void TPageReader::Feed(std::string& piece, size_t room) {
  if (piece.size() <= room) return;
  const size_t kept = buffer_.size() - start_;
  if (kept > room) {
    // What is still needed does not fit in front of the piece: copied after all.
    Feed(std::string_view(piece).substr(room));
    return;
  }
  const size_t to = room - kept;
  std::memcpy(piece.data() + to, buffer_.data() + start_, kept);
  Rebase(to);
  buffer_.swap(piece);
  Scan(false);
  LetGo();
}

void TPageReader::Rebase(size_t to) {
  pos_ = pos_ - start_ + to;
  consumed_ = consumed_ > start_ ? consumed_ - start_ + to : to;
  start_ = to;
}

void TPageReader::LetGo() {
  if (pos_ > start_ + kLookBehind) start_ = pos_ - kLookBehind;
}

std::vector<std::string> TPageReader::Finish(const std::string& finalAddress) {
  TStringBlock keys;
  return Finish(finalAddress, keys);
}

std::vector<std::string> TPageReader::Finish(const std::string& finalAddress, TStringBlock& keys) {
  return FinishInBlock(finalAddress, keys).Strings();
}

TStringBlock TPageReader::FinishInBlock(const std::string& finalAddress, TStringBlock& keys) {
  Scan(true);
  std::string pageAddress = page_;
  // The references were resolved as they were found, against the address the reader was
  // made with; only another one makes them worth resolving again.
  if (!finalAddress.empty() && finalAddress != page_) {
    page_ = finalAddress;
    Prepare();
    ResolveAll();
  }
  std::vector<std::string> frames;
  for (const std::string& reference : frame_references_) {
    std::string frame = Resolve(reference);
    if (!frame.empty() && frame != page_ &&
        std::find(frames.begin(), frames.end(), frame) == frames.end())
      frames.push_back(std::move(frame));
  }
  TStringBlock result = addresses_.TakeStore();
  keys = std::move(keys_);
  TKeyOf keyOf = std::move(key_of_);
  const size_t relistings = relistings_;
  *this = TPageReader(std::move(pageAddress));
  key_of_ = std::move(keyOf);
  relistings_ = relistings;
  frames_ = std::move(frames);
  return result;
}

void TPageReader::Scan(bool final) {
  if (!started_) Begin(final);
  for (;;) {
    bool changed = false;
    switch (mode_) {
      case TMode::mdMarkup:
        changed = ScanMarkup(final);
        break;
      case TMode::mdComment:
        changed = ScanComment(final);
        break;
      case TMode::mdScript:
        changed = ScanScript(final);
        break;
    }
    if (!changed) return;
  }
}

bool TPageReader::ScanMarkup(bool final) {
  const char* d = buffer_.data();
  const size_t end = buffer_.size();
  while (pos_ + kWindowReach <= end) {
    const size_t window = pos_;
    // The processor's own prefetching does not keep up with the scan.
    __builtin_prefetch(d + window + kPrefetchDistance);
    uint64_t stops = StopsAt(d + window);
    size_t next = window + kWindow;
    while (stops != 0) {
      const size_t at = window + static_cast<size_t>(__builtin_ctzll(stops));
      stops &= stops - 1;
      if (d[at] == '.') {
        size_t after = 0;
        if (TakeQuoted(at, final, after) == TStep::stMore) {
          pos_ = at;
          return false;
        }
        if (after == 0) continue;
        next = after;
      } else {
        if (IsLetter(d[at + 1])) {
          if (IsPlainStartTag(d, at)) continue;
          bool custom = false;
          const size_t nameEnd = StartTagNameEnd(d, at, end, custom);
          if (!custom && !IsTakenElement(std::string_view(d + at + 1, nameEnd - at - 1))) continue;
        }
        pos_ = at;
        if (AtLessThan(at, final) == TStep::stMore) return false;
        if (mode_ != TMode::mdMarkup) return true;
        next = pos_;
      }
      // The stops the step went past are not looked at.
      if (next >= window + kWindow) break;
      stops &= ~uint64_t{0} << (next - window);
      next = window + kWindow;
    }
    pos_ = next;
  }
  while (pos_ < end) {
    const size_t at = NextLessThanOrSwfDot(d, pos_, end);
    if (at == end) {
      pos_ = end;
      return false;
    }
    if (d[at] == '.') {
      size_t after = 0;
      if (TakeQuoted(at, final, after) == TStep::stMore) {
        pos_ = at;
        return false;
      }
      pos_ = after != 0 ? after : at + 1;
      continue;
    }
    // Most tags of a page say nothing; they are stepped over here, without the call.
    if (at + 2 < end) {
      const char next = d[at + 1];
      if (next == '/' && Folded(d[at + 2]) != 'o') {
        pos_ = at + 2;
        continue;
      }
      if (IsLetter(next)) {
        bool custom = false;
        const size_t nameEnd = StartTagNameEnd(d, at, end, custom);
        if (nameEnd < end && !custom &&
            !IsTakenElement(std::string_view(d + at + 1, nameEnd - at - 1))) {
          pos_ = at + 1;
          continue;
        }
      }
    }
    pos_ = at;
    if (AtLessThan(at, final) == TStep::stMore) return false;
    if (mode_ != TMode::mdMarkup) return true;
  }
  return false;
}

TPageReader::TStep TPageReader::TakeQuoted(size_t dot, bool final, size_t& after) {
  after = 0;
  if (dot < consumed_) return TStep::stDone;
  const char* d = buffer_.data();
  size_t start = 0, stop = 0, end = 0;
  // A "<" ends quoted text too (it is a stop), so the bytes up to the end can be given.
  const THit hit = QuotedAt(d, start_, dot, buffer_.size(), final, start, stop, end);
  if (hit == THit::hMore) return TStep::stMore;
  if (hit == THit::hFound) {
    Candidate(std::string_view(d + start, stop - start), TKind::rkSwfAddress, true, TPlace::plText);
    consumed_ = after = end;
  }
  return TStep::stDone;
}

TPageReader::TStep TPageReader::AtLessThan(size_t lt, bool final) {
  const char* d = buffer_.data();
  const size_t end = buffer_.size();
  const size_t avail = end - lt;
  auto has = [&](std::string_view text) {
    return avail >= text.size() && SameFolded(std::string_view(d + lt, text.size()), text);
  };
  // "<!--[if" is the longest opening told apart here.
  if (avail < 7 && !final) return TStep::stMore;
  if (avail < 2) {
    pos_ = lt + 1;
    return TStep::stDone;
  }
  const char next = d[lt + 1];
  if (next == '!' && has("<!--")) {
    // IE's conditional comments hold markup that IE reads: look inside.
    if (has("<!--[if")) {
      const size_t window = std::min(avail, kMaxTag);
      const size_t close = std::string_view(d + lt, window).find("]>");
      if (close != std::string_view::npos) {
        pos_ = lt + close + 2;
        return TStep::stDone;
      }
      if (window < kMaxTag && !final) return TStep::stMore;
    }
    mode_ = TMode::mdComment;
    pos_ = lt + 2;  // "<!-->" is a whole comment
    return TStep::stDone;
  }
  if (next == '!' || next == '?') return SkipTo(lt, lt + 2, ">", final);
  if (next == '/') {
    // Of the end tags only </object> says something; the others are stepped over at once.
    if (avail > 2 && Folded(d[lt + 2]) != 'o') {
      pos_ = lt + 2;
      return TStep::stDone;
    }
    size_t i = lt + 2;
    while (i < end && i - lt < kMaxIdentifier && IsAlnum(d[i]))
      ++i;
    if (i == end && !final) return TStep::stMore;
    if (SameFolded(std::string_view(d + lt + 2, i - lt - 2), "object") && i < end &&
        !IsAlnum(d[i])) {
      const TStep step = SkipTo(lt, i, ">", final);
      if (step == TStep::stDone && pos_ > lt + 1 && !objects_.empty()) objects_.pop_back();
      return step;
    }
    pos_ = lt + 2;  // other end tags say nothing
    return TStep::stDone;
  }
  if (IsLetter(next)) {
    // Only the elements that name movies in attributes of their own, that change how what
    // follows is read, or custom ones are taken apart; the quoted values of the others are
    // found as quoted text, which costs far less.
    bool custom = false;
    const size_t i = StartTagNameEnd(d, lt, end, custom);
    if (i == end && !final) return TStep::stMore;
    if (custom || IsTakenElement(std::string_view(d + lt + 1, i - lt - 1)))
      return AtStartTag(lt, final);
  }
  pos_ = lt + 1;
  return TStep::stDone;
}

TPageReader::TStep TPageReader::SkipTo(size_t lt, size_t from, std::string_view close, bool final) {
  const size_t window = std::min(buffer_.size() - lt, kMaxTag);
  const size_t found = std::string_view(buffer_.data() + lt, window).find(close, from - lt);
  if (found != std::string_view::npos) {
    pos_ = lt + found + close.size();
    return TStep::stDone;
  }
  if (window < kMaxTag && !final) return TStep::stMore;
  pos_ = lt + 1;
  return TStep::stDone;
}

TPageReader::TStep TPageReader::AtStartTag(size_t lt, bool final) {
  const char* d = buffer_.data();
  const size_t limit = std::min(buffer_.size(), lt + kMaxTag);
  // Running into `limit`: more bytes decide, unless the tag is too long or the page ended.
  const bool truncated = limit < lt + kMaxTag && !final;
  auto giveUp = [&]() {
    if (truncated) return TStep::stMore;
    pos_ = lt + 1;
    return TStep::stDone;
  };
  size_t i = lt + 1;
  while (i < limit && !IsSpace(d[i]) && d[i] != '>' && d[i] != '/')
    ++i;
  const std::string_view name(d + lt + 1, i - lt - 1);
  attributes_.clear();
  bool selfClosing = false;
  for (;;) {
    while (i < limit && (IsSpace(d[i]) || d[i] == '/')) {
      selfClosing = d[i] == '/';
      ++i;
    }
    if (i >= limit) return giveUp();
    if (d[i] == '>') break;
    selfClosing = false;
    const size_t nameStart = i;
    while (i < limit && !IsSpace(d[i]) && d[i] != '=' && d[i] != '>' && d[i] != '/')
      ++i;
    TAttribute attribute;
    attribute.Name = std::string_view(d + nameStart, i - nameStart);
    size_t j = i;
    while (j < limit && IsSpace(d[j]))
      ++j;
    if (j >= limit) return giveUp();
    if (d[j] == '=') {
      ++j;
      while (j < limit && IsSpace(d[j]))
        ++j;
      if (j >= limit) return giveUp();
      if (d[j] == '"' || d[j] == '\'') {
        const void* close = std::memchr(d + j + 1, d[j], limit - j - 1);
        if (!close) return giveUp();
        const size_t closeAt = static_cast<size_t>(static_cast<const char*>(close) - d);
        attribute.Value = std::string_view(d + j + 1, closeAt - j - 1);
        i = closeAt + 1;
      } else {
        const size_t valueStart = j;
        while (j < limit && !IsSpace(d[j]) && d[j] != '>')
          ++j;
        attribute.Value = std::string_view(d + valueStart, j - valueStart);
        i = j;
      }
    }
    if (!attribute.Name.empty()) attributes_.push_back(attribute);
    if (i - nameStart == 0) ++i;  // a lone "=": step over it
  }
  pos_ = i + 1;
  TakeTag(name, selfClosing);
  return TStep::stDone;
}

void TPageReader::TakeTag(std::string_view name, bool selfClosing) {
  auto attribute = [this](std::string_view wanted) -> TAttribute* {
    for (TAttribute& a : attributes_)
      if (SameFolded(a.Name, wanted)) return &a;
    return nullptr;
  };
  const bool custom = name.find('-') != std::string_view::npos;
  const bool isObject = SameFolded(name, "object");
  const bool isEmbed = SameFolded(name, "embed");
  bool flash = false;
  if (const TAttribute* type = attribute("type")) flash = IsFlashType(type->Value);
  if (const TAttribute* classId = attribute("classid"))
    flash = flash || ContainsFolded(classId->Value, kFlashClassId);

  if (SameFolded(name, "base") && !have_base_) {
    if (TAttribute* href = attribute("href")) {
      have_base_ = true;
      base_href_ = Unbackslashed(DecodeCharacterReferences(Trimmed(href->Value)));
      href->Used = true;
      // What was found before the <base> is resolved against it too.
      Prepare();
      ResolveAll();
    }
  }
  if (SameFolded(name, "param")) {
    const TAttribute* paramName = attribute("name");
    TAttribute* value = attribute("value");
    if (paramName && value &&
        (SameFolded(Trimmed(paramName->Value), "movie") ||
         SameFolded(Trimmed(paramName->Value), "src"))) {
      const bool inFlash = !objects_.empty() && objects_.back();
      Candidate(value->Value, inFlash ? TKind::rkFlash : TKind::rkSwfAddress, true,
                TPlace::plAddress);
      value->Used = true;
    }
  }
  if (SameFolded(name, "meta")) TakeMeta();
  const bool frame = SameFolded(name, "iframe") || SameFolded(name, "frame");
  for (TAttribute& a : attributes_) {
    if (a.Used || a.Value.empty()) continue;
    const bool movieAttribute = ((isEmbed || custom) && SameFolded(a.Name, "src")) ||
                                ((isObject || custom) && SameFolded(a.Name, "data"));
    const TKind kind = movieAttribute && flash ? TKind::rkFlash : TKind::rkSwfAddress;
    if (Candidate(a.Value, kind, true, TPlace::plAttribute, a.Name)) continue;
    // A frame that is no movie itself shows a page, whose movies the grab may read too.
    if (frame && SameFolded(a.Name, "src"))
      TakeFrame(a.Value);
    else if (a.Value.find_first_of("\"'`") != std::string_view::npos)
      ScanSpan(DecodeCharacterReferences(a.Value));
  }
  if (isObject && !selfClosing) objects_.push_back(flash);
  // As browsers do, "<script/>" opens a script too.
  if (SameFolded(name, "script")) {
    mode_ = TMode::mdScript;
    script_ = TScriptState::ssCode;
  }
}

void TPageReader::ScanSpan(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t dot = text.find('.', i);
    if (dot == std::string_view::npos) return;
    size_t start = 0, stop = 0, after = 0;
    if (QuotedAt(text.data(), 0, dot, text.size(), true, start, stop, after) == THit::hFound) {
      Candidate(text.substr(start, stop - start), TKind::rkSwfAddress, true, TPlace::plText);
      i = after;
    } else {
      i = dot + 1;
    }
  }
}

bool TPageReader::ScanComment(bool final) {
  const size_t close = buffer_.find("-->", pos_);
  if (close == std::string::npos) {
    pos_ = final ? buffer_.size() : std::max(pos_, buffer_.size() > 2 ? buffer_.size() - 2 : 0);
    return false;
  }
  pos_ = close + 3;
  mode_ = TMode::mdMarkup;
  return true;
}

bool TPageReader::ScanScript(bool final) {
  const char* d = buffer_.data();
  const size_t end = buffer_.size();
  size_t i = pos_;
  // Stops with pos_ at `at` until more bytes come.
  auto more = [&](size_t at) {
    pos_ = at;
    return false;
  };
  while (i < end) {
    const char c = d[i];
    if (c == '<') {
      // The element ends at "</script" whatever the script's own state.
      constexpr std::string_view kEnd = "</script";
      if (end - i <= kEnd.size() && !final) return more(i);
      if (end - i >= kEnd.size() && SameFolded(std::string_view(d + i, kEnd.size()), kEnd) &&
          (end - i == kEnd.size() || IsSpace(d[i + kEnd.size()]) || d[i + kEnd.size()] == '>' ||
           d[i + kEnd.size()] == '/')) {
        mode_ = TMode::mdMarkup;
        pos_ = i;
        return true;
      }
    }
    switch (script_) {
      case TScriptState::ssLineComment:
        if (c == '\n' || c == '\r') script_ = TScriptState::ssCode;
        ++i;
        break;
      case TScriptState::ssBlockComment:
        if (c == '*') {
          if (i + 1 >= end && !final) return more(i);
          if (i + 1 < end && d[i + 1] == '/') {
            script_ = TScriptState::ssCode;
            ++i;
          }
        }
        ++i;
        break;
      case TScriptState::ssString:
        if (static_cast<unsigned char>(c) > 0x80 && lead_bytes_ &&
            lead_bytes_[static_cast<unsigned char>(c)]) {
          // A double-byte character, whose second byte may look like "\\" or a quote.
          if (i + 1 >= end && !final) return more(i);
          const size_t n = std::min<size_t>(2, end - i);
          if (string_.size() + n <= kMaxString)
            string_.append(d + i, n);
          else
            string_overflow_ = true;
          i += n;
        } else if (c == '\\') {
          std::string escaped;
          const size_t n = TakeEscape(d, i, end, escaped);
          if (n == 0) {
            if (!final) return more(i);
            i = end;
            break;
          }
          if (string_.size() + escaped.size() <= kMaxString)
            string_ += escaped;
          else
            string_overflow_ = true;
          i += n;
        } else if (c == quote_) {
          TakeScriptString();
          script_ = TScriptState::ssCode;
          ++i;
        } else if ((c == '\n' || c == '\r') && quote_ != '`') {
          script_ = TScriptState::ssCode;  // never closed: not a literal
          ++i;
        } else {
          if (string_.size() < kMaxString)
            string_ += c;
          else
            string_overflow_ = true;
          ++i;
        }
        break;
      case TScriptState::ssCode:
        if (c == '/' || c == '<') {
          const size_t need = c == '/' ? 2 : 4;
          if (end - i < need && !final) return more(i);
          if (c == '/' && end - i >= 2 && d[i + 1] == '/') {
            script_ = TScriptState::ssLineComment;
            i += 2;
          } else if (c == '/' && end - i >= 2 && d[i + 1] == '*') {
            script_ = TScriptState::ssBlockComment;
            i += 2;
          } else if (c == '<' && end - i >= 4 && std::memcmp(d + i, "<!--", 4) == 0) {
            script_ = TScriptState::ssLineComment;  // as scripts read it
            i += 4;
          } else {
            ++i;
          }
        } else if (IsQuote(c)) {
          script_ = TScriptState::ssString;
          quote_ = c;
          string_.clear();
          string_overflow_ = false;
          ++i;
        } else if (IsIdentifierStart(c)) {
          size_t j = i;
          while (j < end && j - i < kMaxIdentifier && IsIdentifier(d[j]))
            ++j;
          if (j == end && !final) return more(i);
          if (TakeCall(i, j, final) == TStep::stMore) return more(i);
          i = j;
        } else {
          ++i;
        }
        break;
    }
  }
  pos_ = i;
  return false;
}

void TPageReader::TakeScriptString() {
  if (string_overflow_) return;
  if (!Candidate(string_, TKind::rkSwfAddress, false, TPlace::plText) &&
      string_.find_first_of("\"'`") != std::string::npos)
    ScanSpan(DecodeCharacterReferences(string_));
}

TPageReader::TStep TPageReader::TakeCall(size_t from, size_t to, bool final) {
  const std::string_view name(buffer_.data() + from, to - from);
  const bool firstArgument = name == "embedSWF" || name == "SWFObject" || name == "FlashObject";
  const bool pairs = name == "AC_FL_RunContent" || name == "AC_RunFlContent";
  if (!firstArgument && !pairs) return TStep::stDone;

  const char* d = buffer_.data();
  const size_t limit = std::min(buffer_.size(), from + kMaxTag);
  const bool truncated = limit < from + kMaxTag && !final;
  const TStep shortOf = truncated ? TStep::stMore : TStep::stDone;
  size_t i = to;
  auto skipSpace = [&]() {
    while (i < limit && IsSpace(d[i]))
      ++i;
  };
  skipSpace();
  if (i >= limit) return shortOf;
  if (d[i] != '(') return TStep::stDone;
  ++i;
  // The arguments: the text of each literal one, nothing for the others.
  std::vector<std::optional<std::string>> arguments;
  for (;;) {
    skipSpace();
    if (i >= limit) return shortOf;
    if (d[i] == ')') break;
    if (IsQuote(d[i])) {
      const char quote = d[i++];
      std::string text;
      for (;;) {
        if (i >= limit) return shortOf;
        if (lead_bytes_ && lead_bytes_[static_cast<unsigned char>(d[i])]) {
          if (i + 1 >= limit) return shortOf;
          text.append(d + i, 2);
          i += 2;
          continue;
        }
        if (d[i] == quote) break;
        if (d[i] == '\n' || d[i] == '\r') return TStep::stDone;
        if (d[i] == '\\') {
          const size_t n = TakeEscape(d, i, limit, text);
          if (n == 0) return shortOf;
          i += n;
        } else {
          text += d[i++];
        }
      }
      ++i;
      arguments.emplace_back(std::move(text));
    } else {
      // An expression: up to the next "," or ")" outside brackets and literals.
      int depth = 0;
      for (;;) {
        if (i >= limit) return shortOf;
        const char c = d[i];
        if (depth == 0 && (c == ',' || c == ')')) break;
        if (c == '(' || c == '[' || c == '{') ++depth;
        if (c == ')' || c == ']' || c == '}') --depth;
        if (IsQuote(c)) {
          const void* close = std::memchr(d + i + 1, c, limit - i - 1);
          if (!close) return shortOf;
          i = static_cast<size_t>(static_cast<const char*>(close) - d);
        }
        ++i;
      }
      arguments.emplace_back();
    }
    if (firstArgument) break;
    skipSpace();
    if (i >= limit) return shortOf;
    if (d[i] == ')') break;
    if (d[i] != ',') return TStep::stDone;
    ++i;
  }
  if (firstArgument) {
    if (!arguments.empty() && arguments[0])
      Candidate(*arguments[0], TKind::rkFlash, false, TPlace::plAddress);
    return TStep::stDone;
  }
  for (const char* key : {"movie", "src"}) {
    for (size_t k = 0; k + 1 < arguments.size(); ++k) {
      if (arguments[k] && arguments[k + 1] && SameFolded(*arguments[k], key)) {
        Candidate(*arguments[k + 1], TKind::rkAddSwf, false, TPlace::plAddress);
        return TStep::stDone;
      }
    }
  }
  return TStep::stDone;
}

bool TPageReader::Candidate(std::string_view value, TKind kind, bool markup, TPlace place,
                            std::string_view attribute) {
  if (kind == TKind::rkSwfAddress && !HasSwf(value)) return false;
  std::string_view v = Trimmed(value);
  // Most values hold neither a character reference nor an escaped slash, and most are listed
  // already: they are looked at where they are, and copied only when new.
  unsigned bytes = kValueBytes.In(v);
  if ((markup && (bytes & kToDecode)) || (bytes & kToStrip)) {
    decoded_ = markup && (bytes & kToDecode)
                   ? Unbackslashed(DecodeCharacterReferences(v), lead_bytes_)
                   : std::string(v);
    DropTabsAndLineBreaks(decoded_);
    v = Trimmed(decoded_);
    bytes = kValueBytes.In(v);
  }
  if (v.empty() || v.size() > kMaxAddress || (bytes & kNotInAddress)) return false;
  if ((bytes & kBlank) && place != TPlace::plAddress &&
      !(place == TPlace::plAttribute && IsAddressAttribute(attribute)) &&
      v.find('/') == std::string_view::npos)
    return false;
  std::string scheme;
  const bool hasScheme = HasScheme(v, &scheme);
  if (hasScheme) {
    bool known = false;
    for (const char* s : kMovieSchemes)
      known = known || SameFolded(scheme, s);
    if (!known) return false;
  } else {
    // A relative address has no ":" before its first "/".
    const size_t colon = v.find(':');
    if (colon != std::string::npos && colon < std::min(v.find('/'), v.find('?'))) return false;
  }
  v = v.substr(0, v.find('#'));
  const size_t query = std::min(v.find('?'), v.size());
  const std::string_view path = v.substr(0, query);
  if (path.empty() || AnyInCharacters(kNotInPath, path, lead_bytes_)) return false;
  const bool swfPath = EndsFolded(path, ".swf");
  const bool swfQuery = !swfPath && query < v.size() && EndsFolded(v, ".swf");
  // An address without capitals has a lower-case origin, without looking for it.
  const bool toEncode = (bytes & kToEncode) != 0 ||
                        (hasScheme && (bytes & kUpper) && !LowerCaseOrigin(v, scheme.size()));
  if (kind == TKind::rkAddSwf && !swfPath) {
    // The call adds ".swf" to its movie.
    std::string added(v);
    added.insert(query, ".swf");
    AddReference(added, hasScheme ? scheme.size() : kNoScheme, toEncode);
    return true;
  }
  if (!swfPath && !swfQuery && kind != TKind::rkFlash) return false;
  if (!swfPath && IsVideoHost(v)) return false;
  AddReference(v, hasScheme ? scheme.size() : kNoScheme, toEncode);
  return true;
}

void TPageReader::AddReference(std::string_view reference, size_t schemeLength, bool toEncode) {
  // Outside an archive an address with a scheme, no dot segment and nothing to encode (a
  // capital in its origin included) resolves to itself: the addresses alone tell whether it is
  // new.
  if (!resolution_.Archived && schemeLength != kNoScheme && !toEncode &&
      ResolvesToItself(reference, schemeLength) && reference.compare(schemeLength, 3, "://") == 0) {
    if (!addresses_.Add(reference)) return;
    references_.push_back(addresses_[addresses_.Size() - 1]);
    KeyLast();
    return;
  }
  if (!relative_.Add(reference)) return;
  references_.push_back(relative_[relative_.Size() - 1]);
  Take(reference);
}

void TPageReader::TakeFrame(std::string_view source) {
  std::string reference(Trimmed(DecodeCharacterReferences(Trimmed(source))));
  DropTabsAndLineBreaks(reference);
  reference = reference.substr(0, reference.find('#'));
  if (reference.empty() || frame_references_.size() >= kMaxFrames) return;
  std::string scheme;
  if (HasScheme(reference, &scheme) && !SameFolded(scheme, "http") && !SameFolded(scheme, "https"))
    return;  // about:blank, javascript:, data:
  if (std::find(frame_references_.begin(), frame_references_.end(), reference) ==
      frame_references_.end())
    frame_references_.push_back(std::move(reference));
}

void TPageReader::TakeMeta() {
  std::string charset;
  const TAttribute* httpEquiv = nullptr;
  const TAttribute* content = nullptr;
  for (const TAttribute& a : attributes_) {
    if (SameFolded(a.Name, "charset")) charset = CharsetOfLabel(a.Value);
    if (SameFolded(a.Name, "http-equiv")) httpEquiv = &a;
    if (SameFolded(a.Name, "content")) content = &a;
  }
  if (charset.empty() && httpEquiv && content &&
      SameFolded(Trimmed(httpEquiv->Value), "content-type"))
    charset = CharsetOfContentType(DecodeCharacterReferences(content->Value));
  // The first declaration counts, and the response's charset over any.
  if (charset.empty() || !declared_charset_.empty()) return;
  declared_charset_ = charset;
  if (http_charset_.empty()) SetCharset(charset);
}

void TPageReader::SetHttpCharset(std::string charset) {
  http_charset_ = std::move(charset);
  SetCharset(!http_charset_.empty() ? http_charset_ : declared_charset_);
}

void TPageReader::SetCharset(std::string charset) {
  if (charset == charset_) return;
  charset_ = std::move(charset);
  lead_bytes_ = LeadBytesOf(charset_);
  // Only addresses with bytes above ASCII were read in a charset; without any nothing changes.
  if (charset_used_) ResolveAll();
}

std::string_view TPageReader::CharsetOf(std::string_view address) const {
  if (!charset_.empty()) return charset_;
  return IsUtf8(address) ? std::string_view(kUtf8) : std::string_view(fallback_charset_);
}

void TPageReader::Take(std::string_view reference) {
  std::string address = Resolve(reference);
  if (!address.empty() && addresses_.Add(address)) KeyLast();
}

void TPageReader::KeyLast() {
  if (!key_of_) return;
  key_.clear();
  key_of_(addresses_[addresses_.Size() - 1], key_);
  keys_.push_back(key_);
}

void TPageReader::ResolveAll() {
  earlier_addresses_.push_back(addresses_.TakeStore());
  keys_.clear();
  ++relistings_;
  for (const std::string_view reference : references_)
    Take(reference);
}

void TPageReader::Prepare() {
  resolution_ = TResolution();
  resolution_.Archived = TWebArchiveCapture::Parse(page_, resolution_.Capture);
  if (!resolution_.Archived) {
    resolution_.Base = have_base_ ? ResolveReference(page_, base_href_) : page_;
    return;
  }
  resolution_.Base = resolution_.Capture.Original;
  if (have_base_) {
    TWebArchiveCapture baseCapture;
    resolution_.Base = AsCapture(base_href_, baseCapture)
                           ? baseCapture.Original
                           : ResolveReference(resolution_.Capture.Original, base_href_);
  }
}

bool TPageReader::AsCapture(const std::string& text, TWebArchiveCapture& found) const {
  const bool absolute =
      HasScheme(text) || text.compare(0, 2, "//") == 0 || text.compare(0, 5, "/web/") == 0;
  return absolute && TWebArchiveCapture::Parse(ResolveReference(page_, text), found) &&
         found.Origin == resolution_.Capture.Origin;
}

std::string TPageReader::Resolve(std::string_view reference) {
  std::string address;
  if (!resolution_.Archived) {
    address = ResolveReference(resolution_.Base, std::string(reference));
    if (address.find("://") == std::string::npos) return std::string();
  } else {
    // A captured page: what it names is an address of the original site, unless the archive
    // already wrote it as a capture.
    TWebArchiveCapture found;
    if (!AsCapture(std::string(reference), found)) {
      found = resolution_.Capture;
      found.Original = ResolveReference(resolution_.Base, std::string(reference));
    }
    address = found.Compose();
  }
  if (!NeedsEncoding(address)) return address;
  if (!IsAscii(address)) charset_used_ = true;
  return EncodedAddress(address, CharsetOf(address));
}
