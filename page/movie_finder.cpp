#include "page/movie_finder.h"

#include <algorithm>

#include "base/charset.h"
#include "page/character_references.h"
#include "page/markup_text.h"
#include "page/page_charset.h"
#include "page/quoted_address.h"
#include "page/reference_list.h"
#include "page/reference_resolution.h"

namespace {

constexpr const char* kFlashTypes[] = {"application/x-shockwave-flash", "application/futuresplash",
                                       "application/vnd.adobe.flash.movie"};
constexpr char kFlashClassId[] = "d27cdb6e-ae6d-11cf-96b8-444553540000";
// Players of video sites: their Flash embeds are not movies to save.
constexpr const char* kVideoHosts[] = {"youtube.com", "youtube-nocookie.com", "youtu.be",
                                       "vimeo.com",   "dailymotion.com",      "metacafe.com"};
constexpr const char* kMovieSchemes[] = {"http", "https", "ftp"};
// The script calls that embed a movie: the first three name it first, the others in "movie"
// or "src" followed by the movie, without ".swf".
enum : size_t { kEmbedSwf, kSwfObject, kFlashObject, kRunContent, kRunFlContent };

// Characters that no movie address the reader lists has in its path.
constexpr TByteSet kNotInPath("&={};|^\\$");

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

}  // namespace

TMovieFinder::TMovieFinder(TReferenceList& references, TPageCharset& charset)
    : references_(references), charset_(charset) {}

const TMarkupVocabulary& TMovieFinder::Vocabulary() {
  static const TMarkupVocabulary vocabulary = {
      {"base", "meta", "embed", "param", "frame", "object", "iframe"},
      "object",
      {{"embedSWF", true},
       {"SWFObject", true},
       {"FlashObject", true},
       {"AC_FL_RunContent", false},
       {"AC_RunFlContent", false}},
  };
  return vocabulary;
}

void TMovieFinder::OnByteOrderMark() {
  // A byte-order mark says more than anything the page declares.
  Declare(kUtf8);
}

void TMovieFinder::Declare(std::string charset) {
  if (charset_.Declare(std::move(charset))) references_.CharsetChanged();
}

void TMovieFinder::OnStartTag(std::string_view name, std::span<const TMarkupAttribute> attributes,
                              bool selfClosing) {
  auto attribute = [&attributes](std::string_view wanted) -> const TMarkupAttribute* {
    for (const TMarkupAttribute& a : attributes)
      if (SameFolded(a.Name, wanted)) return &a;
    return nullptr;
  };
  // The attributes read already as what they are, not to be read again as candidates.
  const TMarkupAttribute* used[2] = {nullptr, nullptr};
  const bool custom = name.find('-') != std::string_view::npos;
  const bool isObject = SameFolded(name, "object");
  const bool isEmbed = SameFolded(name, "embed");
  bool flash = false;
  if (const TMarkupAttribute* type = attribute("type")) flash = IsFlashType(type->Value);
  if (const TMarkupAttribute* classId = attribute("classid"))
    flash = flash || ContainsFolded(classId->Value, kFlashClassId);

  if (SameFolded(name, "base") && !references_.HasBase()) {
    if (const TMarkupAttribute* href = attribute("href")) {
      references_.SetBase(Unbackslashed(DecodeCharacterReferences(Trimmed(href->Value))));
      used[0] = href;
    }
  }
  if (SameFolded(name, "param")) {
    const TMarkupAttribute* paramName = attribute("name");
    const TMarkupAttribute* value = attribute("value");
    if (paramName && value &&
        (SameFolded(Trimmed(paramName->Value), "movie") ||
         SameFolded(Trimmed(paramName->Value), "src"))) {
      const bool inFlash = !objects_.empty() && objects_.back();
      Candidate(value->Value, inFlash ? TKind::rkFlash : TKind::rkSwfAddress, true,
                TPlace::plAddress);
      used[1] = value;
    }
  }
  if (SameFolded(name, "meta")) TakeMeta(attributes);
  const bool frame = SameFolded(name, "iframe") || SameFolded(name, "frame");
  for (const TMarkupAttribute& a : attributes) {
    if (&a == used[0] || &a == used[1] || a.Value.empty()) continue;
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
}

void TMovieFinder::OnEndTag() {
  if (!objects_.empty()) objects_.pop_back();
}

void TMovieFinder::OnQuotedText(std::string_view text) {
  Candidate(text, TKind::rkSwfAddress, true, TPlace::plText);
}

void TMovieFinder::OnScriptLiteral(std::string_view text) {
  if (!Candidate(text, TKind::rkSwfAddress, false, TPlace::plText) &&
      text.find_first_of("\"'`") != std::string_view::npos)
    ScanSpan(DecodeCharacterReferences(text));
}

void TMovieFinder::OnScriptCall(size_t call,
                                std::span<const std::optional<std::string>> arguments) {
  if (call == kEmbedSwf || call == kSwfObject || call == kFlashObject) {
    if (!arguments.empty() && arguments[0])
      Candidate(*arguments[0], TKind::rkFlash, false, TPlace::plAddress);
    return;
  }
  for (const char* key : {"movie", "src"}) {
    for (size_t k = 0; k + 1 < arguments.size(); ++k) {
      if (arguments[k] && arguments[k + 1] && SameFolded(*arguments[k], key)) {
        Candidate(*arguments[k + 1], TKind::rkAddSwf, false, TPlace::plAddress);
        return;
      }
    }
  }
}

void TMovieFinder::ScanSpan(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t dot = text.find('.', i);
    if (dot == std::string_view::npos) return;
    size_t start = 0, stop = 0, after = 0;
    if (QuotedAddressAt(text.data(), 0, dot, text.size(), true, start, stop, after) ==
        TQuotedHit::qhFound) {
      Candidate(text.substr(start, stop - start), TKind::rkSwfAddress, true, TPlace::plText);
      i = after;
    } else {
      i = dot + 1;
    }
  }
}

bool TMovieFinder::Candidate(std::string_view value, TKind kind, bool markup, TPlace place,
                             std::string_view attribute) {
  if (kind == TKind::rkSwfAddress && !HasSwf(value)) return false;
  const bool* leads = charset_.LeadBytes();
  std::string_view v = Trimmed(value);
  // Most values hold neither a character reference nor an escaped slash, and most are listed
  // already: they are looked at where they are, and copied only when new.
  unsigned bytes = kValueBytes.In(v);
  if ((markup && (bytes & kToDecode)) || (bytes & kToStrip)) {
    decoded_ = markup && (bytes & kToDecode) ? Unbackslashed(DecodeCharacterReferences(v), leads)
                                             : std::string(v);
    DropTabsAndLineBreaks(decoded_);
    v = Trimmed(decoded_);
    bytes = kValueBytes.In(v);
  }
  if (v.empty() || v.size() > kMaxQuotedAddress || (bytes & kNotInAddress)) return false;
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
  if (path.empty() || AnyInCharacters(kNotInPath, path, leads)) return false;
  const bool swfPath = EndsFolded(path, ".swf");
  const bool swfQuery = !swfPath && query < v.size() && EndsFolded(v, ".swf");
  // An address without capitals has a lower-case origin, without looking for it.
  const bool toEncode = (bytes & kToEncode) != 0 ||
                        (hasScheme && (bytes & kUpper) && !LowerCaseOrigin(v, scheme.size()));
  const size_t schemeLength = hasScheme ? scheme.size() : TReferenceList::kNoScheme;
  if (kind == TKind::rkAddSwf && !swfPath) {
    // The call adds ".swf" to its movie.
    std::string added(v);
    added.insert(query, ".swf");
    references_.Add(added, schemeLength, toEncode);
    return true;
  }
  if (!swfPath && !swfQuery && kind != TKind::rkFlash) return false;
  if (!swfPath && IsVideoHost(v)) return false;
  references_.Add(v, schemeLength, toEncode);
  return true;
}

void TMovieFinder::TakeFrame(std::string_view source) {
  std::string reference(Trimmed(DecodeCharacterReferences(Trimmed(source))));
  DropTabsAndLineBreaks(reference);
  reference = reference.substr(0, reference.find('#'));
  if (reference.empty()) return;
  std::string scheme;
  if (HasScheme(reference, &scheme) && !SameFolded(scheme, "http") && !SameFolded(scheme, "https"))
    return;  // about:blank, javascript:, data:
  references_.AddFrame(std::move(reference));
}

void TMovieFinder::TakeMeta(std::span<const TMarkupAttribute> attributes) {
  std::string charset;
  const TMarkupAttribute* httpEquiv = nullptr;
  const TMarkupAttribute* content = nullptr;
  for (const TMarkupAttribute& a : attributes) {
    if (SameFolded(a.Name, "charset")) charset = CharsetOfLabel(a.Value);
    if (SameFolded(a.Name, "http-equiv")) httpEquiv = &a;
    if (SameFolded(a.Name, "content")) content = &a;
  }
  if (charset.empty() && httpEquiv && content &&
      SameFolded(Trimmed(httpEquiv->Value), "content-type"))
    charset = CharsetOfContentType(DecodeCharacterReferences(content->Value));
  // The first declaration counts, and the response's charset over any.
  Declare(std::move(charset));
}
