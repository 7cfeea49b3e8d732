// Text helpers over byte strings: trimming, ASCII case, printf-style formatting and the
// runtime's integer conversions.
#pragma once

#include <cstdint>
#include <string>

// Removes characters whose code is at most that of the blank (spaces and control characters).
std::string Trim(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);

// ASCII letters only; other bytes (double-byte characters included) are left alone.
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);
// True when `text` holds `sub` at byte offset `at`, ignoring ASCII case.
bool SameTextAt(const std::string& text, size_t at, const std::string& sub);
int CompareText(const std::string& a, const std::string& b);

// The value of a hexadecimal digit of either case, or -1.
int HexDigitValue(char c);
// Whether `text` is one or more decimal digits and nothing else (no blank, sign or
// hexadecimal form). `value` receives their number, or INT64_MAX when it needs more than 63
// bits; it is left alone when the text is not digits.
bool ParseDecimalDigits(const std::string& text, int64_t& value);

// printf-style formatting of a message template ("%s" takes a const char*).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The runtime's integer conversion: leading blanks, an optional sign, then decimal digits or
// hexadecimal digits introduced by "$", "x" or "0x" (either case). Nothing may follow.
bool TryStrToInt(const std::string& text, int32_t& value);
bool TryStrToInt64(const std::string& text, int64_t& value);
// Raise EConvertError "'%s' is not a valid integer value" when the text is not an integer.
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
int32_t StrToIntDef(const std::string& text, int32_t defaultValue);
int64_t StrToInt64Def(const std::string& text, int64_t defaultValue);
std::string IntToStr(int64_t value);
