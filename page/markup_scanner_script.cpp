// The markup scanner's script side: the content of a <script> element read as a script reads
// it (comments, string literals and their escapes), and the calls of the vocabulary with their
// arguments.
#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "page/markup_scanner.h"
#include "page/markup_text.h"
#include "page/page_charset.h"

namespace {

// Identifiers longer than this are not the names of script calls.
constexpr size_t kMaxIdentifier = 64;

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

bool TMarkupScanner::ScanScript(bool final) {
  const char* d = buffer_.data();
  const size_t end = buffer_.size();
  const bool* leads = charset_.LeadBytes();
  // What a literal's bytes are looked at one by one for: its end, an escape, a line break that
  // ends a literal never closed, "</script", the first byte of a double-byte character.
  const auto EndsStringRun = [this](char c, const bool* leads) {
    return c == quote_ || c == '\\' || c == '\n' || c == '\r' || c == '<' ||
           (static_cast<unsigned char>(c) > 0x80 && leads && leads[static_cast<unsigned char>(c)]);
  };
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
        if (static_cast<unsigned char>(c) > 0x80 && leads && leads[static_cast<unsigned char>(c)]) {
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
          if (!string_overflow_) sink_.OnScriptLiteral(string_);
          script_ = TScriptState::ssCode;
          ++i;
        } else if ((c == '\n' || c == '\r') && quote_ != '`') {
          script_ = TScriptState::ssCode;  // never closed: not a literal
          ++i;
        } else {
          // A run of bytes that end nothing goes in at once.
          size_t j = i + 1;
          while (j < end && !EndsStringRun(d[j], leads))
            ++j;
          const size_t room = kMaxString - std::min(string_.size(), kMaxString);
          string_.append(d + i, std::min(j - i, room));
          if (j - i > room) string_overflow_ = true;
          i = j;
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

int TMarkupScanner::CallOf(std::string_view name) const {
  for (size_t k = 0; k < calls_.size(); ++k)
    if (calls_[k].Name == name) return static_cast<int>(k);
  return -1;
}

TMarkupScanner::TStep TMarkupScanner::TakeCall(size_t from, size_t to, bool final) {
  const int call = CallOf(std::string_view(buffer_.data() + from, to - from));
  if (call < 0) return TStep::stDone;
  const bool firstArgument = calls_[static_cast<size_t>(call)].FirstArgumentOnly;

  const char* d = buffer_.data();
  const bool* leads = charset_.LeadBytes();
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
  arguments_.clear();
  for (;;) {
    skipSpace();
    if (i >= limit) return shortOf;
    if (d[i] == ')') break;
    if (IsQuote(d[i])) {
      const char quote = d[i++];
      std::string text;
      for (;;) {
        if (i >= limit) return shortOf;
        if (leads && leads[static_cast<unsigned char>(d[i])]) {
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
      arguments_.emplace_back(std::move(text));
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
      arguments_.emplace_back();
    }
    if (firstArgument) break;
    skipSpace();
    if (i >= limit) return shortOf;
    if (d[i] == ')') break;
    if (d[i] != ',') return TStep::stDone;
    ++i;
  }
  sink_.OnScriptCall(static_cast<size_t>(call), arguments_);
  return TStep::stDone;
}
