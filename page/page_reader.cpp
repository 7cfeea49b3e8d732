#include "page/page_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "base/text.h"
#include "page/character_references.h"
#include "page/reference_resolution.h"
#include "page/web_archive_capture.h"

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
// Characters that no movie address the reader lists has in its path.
constexpr char kNotInPath[] = "&={};|^\\$";

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

bool IsQuote(char c) {
  return c == '"' || c == '\'' || c == '`';
}

// Where a quoted address cannot go on.
bool IsStop(char c) {
  return IsSpace(c) || c == '<' || c == '>';
}

bool IsIdentifierStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

bool IsIdentifier(char c) {
  return IsIdentifierStart(c) || std::isdigit(static_cast<unsigned char>(c));
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

bool IsVideoHost(const std::string& address) {
  const size_t slashes = address.find("//");
  if (slashes == std::string::npos) return false;
  const size_t start = slashes + 2;
  const size_t end = std::min(address.find_first_of("/?#", start), address.size());
  std::string host = address.substr(start, end - start);
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

// "\/" as "/": script and JSON text escapes its slashes.
std::string Unbackslashed(std::string text) {
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '/') continue;
    text[out++] = text[i];
  }
  text.resize(out);
  return text;
}

enum class THit { hNone, hFound, hMore };

// The quoted text around the ".swf" at `dot`: from the nearest quote before it (at most
// kMaxAddress back, never before `floor`, no white space or "<" ">" between) to the same quote
// after it, with at most a query or fragment between ".swf" and the quote. A quote with "\" in
// front closes too (JSON inside a string). `complete`: the bytes up to `hi` are all there are.
THit QuotedAt(const char* d, size_t floor, size_t dot, size_t hi, bool complete, size_t& from,
              size_t& to, size_t& after) {
  const THit short_ = complete ? THit::hNone : THit::hMore;
  if (dot + 4 > hi) return short_;
  if (!IsSwfAt(d, dot)) return THit::hNone;
  size_t j = dot;
  char open = 0;
  while (j > floor && dot - j < TPageReader::kMaxAddress) {
    const char c = d[j - 1];
    if (IsQuote(c)) {
      open = c;
      break;
    }
    if (IsStop(c)) return THit::hNone;
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
    if (IsStop(c) || IsQuote(c)) return THit::hNone;
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

TPageReader::TPageReader(std::string pageAddress) : page_(std::move(pageAddress)) {}

void TPageReader::Feed(std::string_view piece) {
  if (piece.empty()) return;
  buffer_.append(piece);
  Scan(false);
  const size_t keep = pos_ > kLookBehind ? pos_ - kLookBehind : 0;
  if (keep > 0) {
    buffer_.erase(0, keep);
    pos_ -= keep;
    consumed_ = consumed_ > keep ? consumed_ - keep : 0;
  }
}

std::vector<std::string> TPageReader::Finish(const std::string& finalAddress) {
  Scan(true);
  std::string pageAddress = page_;
  if (!finalAddress.empty()) page_ = finalAddress;
  std::vector<std::string> result;
  // Room for every entry up front: the views in `listed` point into `result`'s strings, which
  // must then never move.
  result.reserve(found_.size());
  std::unordered_set<std::string_view> listed;
  listed.reserve(found_.size());
  for (const std::string& reference : found_) {
    std::string address = Resolve(reference);
    if (address.empty() || listed.count(address) != 0) continue;
    result.push_back(std::move(address));
    listed.insert(result.back());
  }
  *this = TPageReader(std::move(pageAddress));
  return result;
}

void TPageReader::Scan(bool final) {
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
  while (pos_ < end) {
    const void* at = std::memchr(d + pos_, '<', end - pos_);
    const size_t lt = at ? static_cast<size_t>(static_cast<const char*>(at) - d) : end;
    if (!ScanText(pos_, lt, lt < end || final)) return false;
    pos_ = lt;
    if (lt == end) return false;
    if (AtLessThan(lt, final) == TStep::stMore) return false;
    if (mode_ != TMode::mdMarkup) return true;
  }
  return false;
}

bool TPageReader::ScanText(size_t from, size_t to, bool complete) {
  const char* d = buffer_.data();
  size_t i = from;
  while (i < to) {
    const void* at = std::memchr(d + i, '.', to - i);
    if (!at) break;
    const size_t dot = static_cast<size_t>(static_cast<const char*>(at) - d);
    size_t start = 0, stop = 0, after = 0;
    const THit hit =
        dot < consumed_ ? THit::hNone : QuotedAt(d, 0, dot, to, complete, start, stop, after);
    if (hit == THit::hMore) {
      pos_ = dot;
      return false;
    }
    if (hit == THit::hFound) {
      Candidate(std::string_view(d + start, stop - start), TKind::rkSwfAddress, true);
      consumed_ = after;
      i = after;
    } else {
      i = dot + 1;
    }
  }
  return true;
}

TPageReader::TStep TPageReader::AtLessThan(size_t lt, bool final) {
  const char* d = buffer_.data();
  const size_t avail = buffer_.size() - lt;
  auto has = [&](std::string_view text) {
    return avail >= text.size() && SameFolded(std::string_view(d + lt, text.size()), text);
  };
  // "<!--[if" is the longest opening told apart here.
  if (avail < 7 && !final) return TStep::stMore;
  if (has("<!--")) {
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
  if (avail < 2) {
    pos_ = lt + 1;
    return TStep::stDone;
  }
  const char next = d[lt + 1];
  if (next == '!' || next == '?') return SkipTo(lt, lt + 2, ">", final);
  if (next == '/') {
    size_t i = lt + 2;
    while (i < buffer_.size() && i - lt < kMaxIdentifier &&
           std::isalnum(static_cast<unsigned char>(d[i])))
      ++i;
    if (i == buffer_.size() && !final) return TStep::stMore;
    if (SameFolded(std::string_view(d + lt + 2, i - lt - 2), "object") && i < buffer_.size() &&
        !std::isalnum(static_cast<unsigned char>(d[i]))) {
      const TStep step = SkipTo(lt, i, ">", final);
      if (step == TStep::stDone && pos_ > lt + 1 && !objects_.empty()) objects_.pop_back();
      return step;
    }
    pos_ = lt + 2;  // other end tags say nothing
    return TStep::stDone;
  }
  if (std::isalpha(static_cast<unsigned char>(next))) {
    // Only the elements that name movies in attributes of their own, that change how what
    // follows is read, or custom ones are taken apart; the quoted values of the others are
    // found as quoted text, which costs far less.
    size_t i = lt + 1;
    while (i < buffer_.size() && i - lt <= kMaxIdentifier &&
           (std::isalnum(static_cast<unsigned char>(d[i])) || d[i] == '-'))
      ++i;
    if (i == buffer_.size() && !final) return TStep::stMore;
    const std::string_view name(d + lt + 1, i - lt - 1);
    if (name.find('-') != std::string_view::npos) return AtStartTag(lt, final);
    for (const char* element : {"embed", "object", "param", "script", "base"})
      if (SameFolded(name, element)) return AtStartTag(lt, final);
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
    }
  }
  if (SameFolded(name, "param")) {
    const TAttribute* paramName = attribute("name");
    TAttribute* value = attribute("value");
    if (paramName && value &&
        (SameFolded(Trimmed(paramName->Value), "movie") ||
         SameFolded(Trimmed(paramName->Value), "src"))) {
      const bool inFlash = !objects_.empty() && objects_.back();
      Candidate(value->Value, inFlash ? TKind::rkFlash : TKind::rkSwfAddress, true);
      value->Used = true;
    }
  }
  for (TAttribute& a : attributes_) {
    if (a.Used || a.Value.empty()) continue;
    const bool movieAttribute = ((isEmbed || custom) && SameFolded(a.Name, "src")) ||
                                ((isObject || custom) && SameFolded(a.Name, "data"));
    const TKind kind = movieAttribute && flash ? TKind::rkFlash : TKind::rkSwfAddress;
    if (!Candidate(a.Value, kind, true) && a.Value.find_first_of("\"'`") != std::string_view::npos)
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
      Candidate(text.substr(start, stop - start), TKind::rkSwfAddress, true);
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
        if (c == '\\') {
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
  if (!Candidate(string_, TKind::rkSwfAddress, false) &&
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
    if (!arguments.empty() && arguments[0]) Candidate(*arguments[0], TKind::rkFlash, false);
    return TStep::stDone;
  }
  for (const char* key : {"movie", "src"}) {
    for (size_t k = 0; k + 1 < arguments.size(); ++k) {
      if (arguments[k] && arguments[k + 1] && SameFolded(*arguments[k], key)) {
        Candidate(*arguments[k + 1], TKind::rkAddSwf, false);
        return TStep::stDone;
      }
    }
  }
  return TStep::stDone;
}

bool TPageReader::Candidate(std::string_view value, TKind kind, bool markup) {
  if (kind == TKind::rkSwfAddress && !HasSwf(value)) return false;
  std::string v(Trimmed(value));
  if (markup) v = Unbackslashed(DecodeCharacterReferences(v));
  v = std::string(Trimmed(v));
  if (v.empty() || v.size() > kMaxAddress) return false;
  for (const char c : v) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= ' ' || u == 0x7F || c == '<' || c == '>' || IsQuote(c)) return false;
  }
  std::string scheme;
  if (HasScheme(v, &scheme)) {
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
  const std::string_view path = std::string_view(v).substr(0, query);
  if (path.empty() || path.find_first_of(kNotInPath) != std::string_view::npos) return false;
  bool swfPath = EndsFolded(path, ".swf");
  const bool swfQuery = !swfPath && query < v.size() && EndsFolded(v, ".swf");
  if (kind == TKind::rkAddSwf && !swfPath) {
    v.insert(query, ".swf");
    swfPath = true;
  }
  if (!swfPath && !swfQuery && kind != TKind::rkFlash) return false;
  if (!swfPath && IsVideoHost(v)) return false;
  if (seen_.insert(v).second) found_.push_back(std::move(v));
  return true;
}

std::string TPageReader::Resolve(const std::string& reference) const {
  TWebArchiveCapture capture;
  const bool archived = TWebArchiveCapture::Parse(page_, capture);
  if (!archived) {
    const std::string base = have_base_ ? ResolveReference(page_, base_href_) : page_;
    const std::string address = ResolveReference(base, reference);
    return address.find("://") == std::string::npos ? std::string() : address;
  }
  // A captured page: what it names is an address of the original site, unless the archive
  // already wrote it as a capture.
  auto asCapture = [&](const std::string& text, TWebArchiveCapture& found) {
    const bool absolute =
        HasScheme(text) || text.compare(0, 2, "//") == 0 || text.compare(0, 5, "/web/") == 0;
    return absolute && TWebArchiveCapture::Parse(ResolveReference(page_, text), found) &&
           found.Origin == capture.Origin;
  };
  std::string originalBase = capture.Original;
  if (have_base_) {
    TWebArchiveCapture baseCapture;
    originalBase = asCapture(base_href_, baseCapture)
                       ? baseCapture.Original
                       : ResolveReference(capture.Original, base_href_);
  }
  TWebArchiveCapture found;
  if (asCapture(reference, found)) return found.Compose();
  found = capture;
  found.Original = ResolveReference(originalBase, reference);
  return found.Compose();
}
