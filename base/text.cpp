#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

#include "base/exception.h"

namespace {

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Reads an integer by the runtime's rules into a value of at most `bits` bits. Hexadecimal
// text may use the full unsigned range and wraps, as the runtime does.
bool ParseInteger(const std::string& text, int bits, int64_t& out) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  const uint64_t unsignedMax =
      bits == 64 ? std::numeric_limits<uint64_t>::max() : ((uint64_t{1} << bits) - 1);
  const uint64_t signedMax = unsignedMax >> 1;
  uint64_t value = 0;
  for (; i < n; ++i) {
    int d =
        hex ? HexDigitValue(text[i]) : ((text[i] >= '0' && text[i] <= '9') ? text[i] - '0' : -1);
    if (d < 0) return false;
    const uint64_t base = hex ? 16 : 10;
    const uint64_t limit = hex ? unsignedMax : signedMax + (negative ? 1 : 0);
    if (value > (limit - static_cast<uint64_t>(d)) / base) return false;
    value = value * base + static_cast<uint64_t>(d);
  }
  int64_t result;
  if (hex) {
    // Negate and wrap into the signed range of the target width in unsigned arithmetic:
    // "-$8000000000000000" has no positive counterpart to negate.
    if (negative) value = (uint64_t{0} - value) & unsignedMax;
    result = value > signedMax ? -static_cast<int64_t>(unsignedMax - value) - 1
                               : static_cast<int64_t>(value);
  } else if (negative) {
    result = value == signedMax + 1 ? std::numeric_limits<int64_t>::min() >> (64 - bits)
                                    : -static_cast<int64_t>(value);
  } else {
    result = static_cast<int64_t>(value);
  }
  out = result;
  return true;
}

[[noreturn]] void RaiseConvertError(const std::string& text) {
  throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
}

}  // namespace

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlankOrControl(text[b]))
    ++b;
  while (e > b && IsBlankOrControl(text[e - 1]))
    --e;
  return text.substr(b, e - b);
}

std::string TrimLeft(const std::string& text) {
  size_t b = 0;
  while (b < text.size() && IsBlankOrControl(text[b]))
    ++b;
  return text.substr(b);
}

std::string TrimRight(const std::string& text) {
  size_t e = text.size();
  while (e > 0 && IsBlankOrControl(text[e - 1]))
    --e;
  return text.substr(0, e);
}

std::string UpperCase(const std::string& text) {
  std::string r(text);
  for (char& c : r)
    c = AsciiUpper(c);
  return r;
}

std::string LowerCase(const std::string& text) {
  std::string r(text);
  for (char& c : r)
    c = AsciiLower(c);
  return r;
}

int CompareText(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(AsciiUpper(a[i]));
    const unsigned char y = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

bool SameTextAt(const std::string& text, size_t at, const std::string& sub) {
  if (at > text.size() || text.size() - at < sub.size()) return false;
  for (size_t i = 0; i < sub.size(); ++i)
    if (AsciiUpper(text[at + i]) != AsciiUpper(sub[i])) return false;
  return true;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseDecimalDigits(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    const int digit = c - '0';
    number = number > (kMax - digit) / 10 ? kMax : number * 10 + digit;
  }
  value = number;
  return true;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(result.data(), result.size(), format, args);
    result.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return result;
}

bool TryStrToInt(const std::string& text, int32_t& value) {
  int64_t v;
  if (!ParseInteger(text, 32, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(const std::string& text, int64_t& value) {
  return ParseInteger(text, 64, value);
}

int32_t StrToInt(const std::string& text) {
  int32_t v;
  if (!TryStrToInt(text, v)) RaiseConvertError(text);
  return v;
}

int64_t StrToInt64(const std::string& text) {
  int64_t v;
  if (!TryStrToInt64(text, v)) RaiseConvertError(text);
  return v;
}

int32_t StrToIntDef(const std::string& text, int32_t defaultValue) {
  int32_t v;
  return TryStrToInt(text, v) ? v : defaultValue;
}

int64_t StrToInt64Def(const std::string& text, int64_t defaultValue) {
  int64_t v;
  return TryStrToInt64(text, v) ? v : defaultValue;
}

std::string IntToStr(int64_t value) {
  return std::to_string(value);
}
