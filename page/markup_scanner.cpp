#include "page/markup_scanner.h"

#include <algorithm>
#include <cstring>

#include "page/markup_stops.h"
#include "page/markup_text.h"
#include "page/quoted_address.h"

namespace {

// Bytes kept before the scan position: a quoted address is looked for backwards from its
// ".swf".
constexpr size_t kLookBehind = kMaxQuotedAddress + 16;
// Names longer than this are not looked at as tag names.
constexpr size_t kMaxName = 64;

// Classes of the bytes after a "<", for IsPlainStartTag.
enum : unsigned char { kNameByte = 1, kNameEnd = 2, kTakenStart = 4 };

// Where the name of the start tag at d[lt] == '<' ends (at most kMaxName bytes are looked at),
// and whether it has a "-", as the names of custom elements do.
size_t StartTagNameEnd(const char* d, size_t lt, size_t end, bool& custom) {
  size_t i = lt + 1;
  while (i < end && i - lt <= kMaxName && (IsAlnum(d[i]) || d[i] == '-')) {
    custom = custom || d[i] == '-';
    ++i;
  }
  return i;
}

// Whether the start tag at d[lt] == '<' (a letter after it) needs no closer look, as told from
// its first bytes alone, by `tagBytes`: a name of at most four letters and digits whose first
// letter starts none of the reported names of that length. Reads d[lt, lt + 6). No branch on
// the name's length, as names of every length come one after another; inlined, as it runs for
// almost every tag.
[[gnu::always_inline]] inline bool IsPlainStartTag(const unsigned char* tagBytes, const char* d,
                                                   size_t lt) {
  const auto of = [tagBytes, d, lt](size_t i) {
    return tagBytes[static_cast<unsigned char>(d[lt + i])];
  };
  const unsigned first = of(1), c2 = of(2), c3 = of(3), c4 = of(4), c5 = of(5);
  const unsigned a2 = c2 & kNameByte, a3 = c3 & kNameByte, a4 = c4 & kNameByte;
  const unsigned ends =
      (c2 >> 1) | (a2 & (c3 >> 1)) | (a2 & a3 & (c4 >> 1)) | (a2 & a3 & a4 & (c5 >> 1));
  return (ends & 1) != 0 && (first & kTakenStart) == 0;
}

}  // namespace

TMarkupScanner::TMarkupScanner(TMarkupSink& sink, const TMarkupVocabulary& vocabulary,
                               const TPageCharset& charset)
    : sink_(sink),
      charset_(charset),
      elements_(vocabulary.Elements),
      end_initial_(vocabulary.EndTag.empty() ? '\0' : Folded(vocabulary.EndTag[0])),
      end_tag_(vocabulary.EndTag),
      calls_(vocabulary.Calls) {
  elements_.push_back("script");
  for (int c = 0; c < 256; ++c)
    tag_bytes_[c] = IsAlnum(static_cast<char>(c)) ? kNameByte : (c == '-' ? 0 : kNameEnd);
  // A name of more than four bytes always gets a closer look; only the first letters of the
  // shorter ones are needed.
  for (const std::string& element : elements_) {
    if (element.size() > 4) continue;
    tag_bytes_[static_cast<unsigned char>(Folded(element[0]))] |= kTakenStart;
    tag_bytes_[static_cast<unsigned char>(Folded(element[0]) - 'a' + 'A')] |= kTakenStart;
  }
}

void TMarkupScanner::Begin(bool final) {
  // The page's first bytes are at start_ until a scan has gone far enough to let them go, which
  // it does not before they are looked at here.
  if (buffer_.size() - start_ < 3 && !final) return;
  started_ = true;
  if (buffer_.compare(start_, 3, "\xEF\xBB\xBF") == 0) sink_.OnByteOrderMark();
}

void TMarkupScanner::Feed(std::string_view piece) {
  if (piece.empty()) return;
  if (start_ > 0) {
    buffer_.erase(0, start_);
    Rebase(0);
  }
  buffer_.append(piece);
  Scan(false);
  LetGo();
}

void TMarkupScanner::Feed(std::string& piece, size_t room) {
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

void TMarkupScanner::Finish() {
  Scan(true);
}

void TMarkupScanner::Rebase(size_t to) {
  pos_ = pos_ - start_ + to;
  consumed_ = consumed_ > start_ ? consumed_ - start_ + to : to;
  start_ = to;
}

void TMarkupScanner::LetGo() {
  if (pos_ > start_ + kLookBehind) start_ = pos_ - kLookBehind;
}

void TMarkupScanner::Scan(bool final) {
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

bool TMarkupScanner::ScanMarkup(bool final) {
  const char* d = buffer_.data();
  const size_t end = buffer_.size();
  TMarkupStops stops(d, end, end_initial_);
  while (pos_ < end) {
    const size_t at = stops.Next(pos_);
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
      if (next == '/' && Folded(d[at + 2]) != end_initial_) {
        pos_ = at + 2;
        continue;
      }
      if (IsLetter(next)) {
        if (at + 6 <= end && IsPlainStartTag(tag_bytes_, d, at)) {
          pos_ = at + 1;
          continue;
        }
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

bool TMarkupScanner::IsTakenElement(std::string_view name) const {
  for (const std::string& element : elements_)
    if (element.size() == name.size() && SameFolded(name, element)) return true;
  return false;
}

TMarkupScanner::TStep TMarkupScanner::TakeQuoted(size_t dot, bool final, size_t& after) {
  after = 0;
  if (dot < consumed_) return TStep::stDone;
  const char* d = buffer_.data();
  size_t start = 0, stop = 0, end = 0;
  // A "<" ends quoted text too (it is a stop), so the bytes up to the end can be given.
  const TQuotedHit hit = QuotedAddressAt(d, start_, dot, buffer_.size(), final, start, stop, end);
  if (hit == TQuotedHit::qhMore) return TStep::stMore;
  if (hit == TQuotedHit::qhFound) {
    sink_.OnQuotedText(std::string_view(d + start, stop - start));
    consumed_ = after = end;
  }
  return TStep::stDone;
}

TMarkupScanner::TStep TMarkupScanner::AtLessThan(size_t lt, bool final) {
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
    // Of the end tags only the vocabulary's says something; the others are stepped over.
    if (avail > 2 && Folded(d[lt + 2]) != end_initial_) {
      pos_ = lt + 2;
      return TStep::stDone;
    }
    size_t i = lt + 2;
    while (i < end && i - lt < kMaxName && IsAlnum(d[i]))
      ++i;
    if (i == end && !final) return TStep::stMore;
    if (SameFolded(std::string_view(d + lt + 2, i - lt - 2), end_tag_) && i < end &&
        !IsAlnum(d[i])) {
      const TStep step = SkipTo(lt, i, ">", final);
      if (step == TStep::stDone && pos_ > lt + 1) sink_.OnEndTag();
      return step;
    }
    pos_ = lt + 2;
    return TStep::stDone;
  }
  if (IsLetter(next)) {
    // Only the elements asked about and custom ones are taken apart; the quoted values of the
    // others are found as quoted text, which costs far less.
    bool custom = false;
    const size_t i = StartTagNameEnd(d, lt, end, custom);
    if (i == end && !final) return TStep::stMore;
    if (custom || IsTakenElement(std::string_view(d + lt + 1, i - lt - 1)))
      return AtStartTag(lt, final);
  }
  pos_ = lt + 1;
  return TStep::stDone;
}

TMarkupScanner::TStep TMarkupScanner::SkipTo(size_t lt, size_t from, std::string_view close,
                                             bool final) {
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

TMarkupScanner::TStep TMarkupScanner::AtStartTag(size_t lt, bool final) {
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
    TMarkupAttribute attribute;
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
  sink_.OnStartTag(name, attributes_, selfClosing);
  // As browsers do, "<script/>" opens a script too.
  if (SameFolded(name, "script")) {
    mode_ = TMode::mdScript;
    script_ = TScriptState::ssCode;
  }
  return TStep::stDone;
}

bool TMarkupScanner::ScanComment(bool final) {
  const size_t close = buffer_.find("-->", pos_);
  if (close == std::string::npos) {
    pos_ = final ? buffer_.size() : std::max(pos_, buffer_.size() > 2 ? buffer_.size() - 2 : 0);
    return false;
  }
  pos_ = close + 3;
  mode_ = TMode::mdMarkup;
  return true;
}
