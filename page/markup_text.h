// Small byte tests the page reader's parts share: ASCII case folding and classes by table (the
// locale's functions cost a call per byte, and the names markup uses are ASCII in every code
// page), white space, and the ".swf" ending.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// ASCII only, and without the locale's lookup: this runs for every tag and attribute name.
inline char Folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Folded(a[i]) != Folded(b[i])) return false;
  return true;
}

inline bool EndsFolded(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && SameFolded(text.substr(text.size() - end.size()), end);
}

inline bool ContainsFolded(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (SameFolded(text.substr(i, part.size()), part)) return true;
  return false;
}

inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

inline std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

inline bool IsQuote(char c) {
  return c == '"' || c == '\'' || c == '`';
}

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

// ASCII classes by table.
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
inline constexpr TByteClasses kByteClasses;

inline bool IsLetter(char c) {
  return kByteClasses.Of[static_cast<unsigned char>(c)] & kLetter;
}

inline bool IsAlnum(char c) {
  return kByteClasses.Of[static_cast<unsigned char>(c)] & (kLetter | kDigit);
}

inline bool IsIdentifierStart(char c) {
  return kByteClasses.Of[static_cast<unsigned char>(c)] & (kLetter | kIdentifierOnly);
}

inline bool IsIdentifier(char c) {
  return kByteClasses.Of[static_cast<unsigned char>(c)] != 0;
}

inline bool IsSwfAt(const char* d, size_t dot) {
  return d[dot] == '.' && Folded(d[dot + 1]) == 's' && Folded(d[dot + 2]) == 'w' &&
         Folded(d[dot + 3]) == 'f';
}

// Whether ".swf" (any case) occurs in `text`: most attribute values and literals are rejected
// by this alone.
inline bool HasSwf(std::string_view text) {
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
