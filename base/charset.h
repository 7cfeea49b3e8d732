// Character sets of web pages: the labels that pages and servers give them, and their bytes as
// UTF-8 (and back) through the C library's iconv. Names are the canonical ones browsers use
// ("GBK", "Big5", "Shift_JIS", "EUC-KR", "windows-1252", "UTF-8").
#pragma once

#include <string>
#include <string_view>

inline constexpr char kUtf8[] = "UTF-8";

// The canonical name of the encoding that `label` names, read as browsers read labels: any
// letter case, blanks around ignored, "gb2312", "x-gbk" and "chinese" all "GBK", "iso-8859-1"
// and "ascii" both "windows-1252". Empty when the label names no encoding known here.
std::string CharsetOfLabel(std::string_view label);

// The canonical name of the charset parameter of a "Content-Type" value
// ("text/html; charset=gb2312" gives "GBK"); empty when it has none or names none known here.
std::string CharsetOfContentType(std::string_view contentType);

// Whether `bytes` are well-formed UTF-8 (no overlong forms, surrogates or values beyond
// U+10FFFF).
bool IsUtf8(std::string_view bytes);
// Whether every byte of `bytes` is ASCII.
bool IsAscii(std::string_view bytes);

// `bytes` of the encoding `charset` (a canonical name) as UTF-8, as a browser decodes them:
// what is no character of that encoding becomes U+FFFD. An unknown charset is taken as UTF-8.
std::string ToUtf8(std::string_view bytes, std::string_view charset);
// UTF-8 `text` in the encoding `charset`; a character it cannot hold becomes "?". Ill-formed
// UTF-8 is passed on as it is.
std::string FromUtf8(std::string_view text, std::string_view charset);

// The encoding of the user's locale (LC_CTYPE) as a canonical name; UTF-8 for the C and POSIX
// locales, whose ASCII passes any UTF-8 through unchanged.
std::string LocaleCharset();

// The encoding browsers assume for a page that names none and is not UTF-8: the legacy encoding
// of the user's language (zh_CN GBK, zh_TW Big5, ja Shift_JIS, ko EUC-KR, ru windows-1251, ...,
// windows-1252 for the languages of Western Europe). A locale without a language (C, POSIX)
// gives GBK, the encoding of most pages this tool reads.
std::string FallbackPageCharset();
// The same for a locale name such as "zh_TW.UTF-8".
std::string FallbackPageCharsetOf(std::string_view localeName);
