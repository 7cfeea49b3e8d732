#include "base/charset.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <map>
#include <utility>

namespace {

struct TEncoding {
  const char* Name;    // canonical
  const char* Iconv;   // the C library's name of the same decoder
  const char* Labels;  // blank-separated, lower case
};

// Browsers' decoders are wider than the names suggest: "GBK" reads all of GB 18030, "Big5"
// includes HKSCS, "Shift_JIS" is Windows code page 932 and "EUC-KR" code page 949.
constexpr TEncoding kEncodings[] = {
    {"UTF-8", "UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"GBK", "GB18030",
     "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {"gb18030", "GB18030", "gb18030"},
    {"Big5", "BIG5-HKSCS", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"Shift_JIS", "CP932", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {"EUC-JP", "EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {"ISO-2022-JP", "ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {"EUC-KR", "CP949",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949"},
    {"windows-1252", "CP1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {"windows-1250", "CP1250", "cp1250 windows-1250 x-cp1250"},
    {"windows-1251", "CP1251", "cp1251 windows-1251 x-cp1251"},
    {"windows-1253", "CP1253", "cp1253 windows-1253 x-cp1253"},
    {"windows-1254", "CP1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 "
     "latin5 windows-1254 x-cp1254"},
    {"windows-1255", "CP1255", "cp1255 windows-1255 x-cp1255"},
    {"windows-1256", "CP1256", "cp1256 windows-1256 x-cp1256"},
    {"windows-1257", "CP1257", "cp1257 windows-1257 x-cp1257"},
    {"windows-1258", "CP1258", "cp1258 windows-1258 x-cp1258"},
    {"windows-874", "CP874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"ISO-8859-2", "ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-5", "ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988"},
    {"ISO-8859-7", "ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    {"ISO-8859-15", "ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"KOI8-R", "KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"KOI8-U", "KOI8-U", "koi8-ru koi8-u"},
    {"IBM866", "CP866", "866 cp866 csibm866 ibm866"},
};

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view WithoutBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

const TEncoding* EncodingOfLabel(std::string_view label) {
  label = WithoutBlanks(label);
  if (label.empty()) return nullptr;
  std::string lower(label);
  for (char& c : lower)
    c = LowerAscii(c);
  for (const TEncoding& encoding : kEncodings) {
    std::string_view labels(encoding.Labels);
    while (!labels.empty()) {
      const size_t blank = std::min(labels.find(' '), labels.size());
      if (labels.substr(0, blank) == lower) return &encoding;
      labels.remove_prefix(std::min(blank + 1, labels.size()));
    }
  }
  return nullptr;
}

const TEncoding* EncodingNamed(std::string_view name) {
  for (const TEncoding& encoding : kEncodings)
    if (name == encoding.Name) return &encoding;
  return nullptr;
}

// One conversion descriptor per direction and encoding, opened once per thread: opening one
// loads the C library's tables.
class TConverters {
 public:
  ~TConverters() {
    for (auto& [key, cd] : open_)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  iconv_t Get(const char* to, const char* from) {
    const std::pair<std::string, std::string> key(to, from);
    const auto found = open_.find(key);
    if (found != open_.end()) {
      // Back to the initial shift state for the next text.
      if (found->second != reinterpret_cast<iconv_t>(-1))
        iconv(found->second, nullptr, nullptr, nullptr, nullptr);
      return found->second;
    }
    const iconv_t cd = iconv_open(to, from);
    open_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::pair<std::string, std::string>, iconv_t> open_;
};

TConverters& Converters() {
  thread_local TConverters converters;
  return converters;
}

// The bytes of the UTF-8 character that starts with `lead` (1 for a byte that starts none).
size_t Utf8Length(unsigned char lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Converts `in` with `cd`; what cannot be converted becomes `replacement` and is stepped over:
// a byte at a time, as a decoder resynchronises, or a whole character of UTF-8 input
// (`fromUtf8`). False when `cd` is not usable.
bool Convert(iconv_t cd, std::string_view in, std::string_view replacement, bool fromUtf8,
             std::string& out) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(in.size() * 2 + 8);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char buffer[1024];
  for (;;) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = iconv(cd, inLeft > 0 ? &inPtr : nullptr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (result != static_cast<size_t>(-1)) {
      if (inLeft == 0) {
        // Flush what a stateful encoding still holds.
        outPtr = buffer;
        outLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        return true;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ: no character of the encoding here; EINVAL: cut short at the end.
    out.append(replacement);
    if (errno == EINVAL) return true;
    const size_t step =
        std::min(inLeft, fromUtf8 ? Utf8Length(static_cast<unsigned char>(*inPtr)) : size_t{1});
    inPtr += step;
    inLeft -= step;
    if (inLeft == 0) return true;
  }
}

std::string_view Language(std::string_view localeName, std::string_view& territory) {
  const size_t end = std::min(localeName.find_first_of(".@"), localeName.size());
  localeName = localeName.substr(0, end);
  const size_t underscore = localeName.find('_');
  territory =
      underscore == std::string_view::npos ? std::string_view() : localeName.substr(underscore + 1);
  return localeName.substr(0, underscore);
}

}  // namespace

std::string CharsetOfLabel(std::string_view label) {
  const TEncoding* encoding = EncodingOfLabel(label);
  return encoding ? encoding->Name : std::string();
}

std::string CharsetOfContentType(std::string_view contentType) {
  // Parameters after the first ";", each NAME=VALUE, the value perhaps quoted.
  size_t at = contentType.find(';');
  while (at != std::string_view::npos) {
    const size_t next = contentType.find(';', at + 1);
    std::string_view parameter = contentType.substr(
        at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1);
    const size_t equals = parameter.find('=');
    if (equals != std::string_view::npos) {
      std::string_view name = parameter.substr(0, equals);
      name = WithoutBlanks(name);
      std::string lower(name);
      for (char& c : lower)
        c = LowerAscii(c);
      if (lower == "charset") {
        std::string_view value = parameter.substr(equals + 1);
        value = WithoutBlanks(value);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
          value = value.substr(1, value.size() - 2);
        return CharsetOfLabel(value);
      }
    }
    at = next;
  }
  return std::string();
}

bool IsAscii(std::string_view bytes) {
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool IsUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > n || p[i + 1] < low || p[i + 1] > high) return false;
    for (size_t k = 2; k < length; ++k)
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
    i += length;
  }
  return true;
}

std::string ToUtf8(std::string_view bytes, std::string_view charset) {
  const TEncoding* encoding = EncodingNamed(charset);
  if (!encoding || std::string_view(encoding->Name) == kUtf8) {
    if (IsUtf8(bytes)) return std::string(bytes);
    encoding = EncodingNamed(kUtf8);
  }
  std::string out;
  if (!Convert(Converters().Get("UTF-8", encoding->Iconv), bytes, "\xEF\xBF\xBD", false, out))
    return std::string(bytes);
  return out;
}

std::string FromUtf8(std::string_view text, std::string_view charset) {
  const TEncoding* encoding = EncodingNamed(charset);
  if (!encoding || std::string_view(encoding->Name) == kUtf8 || !IsUtf8(text))
    return std::string(text);
  std::string out;
  if (!Convert(Converters().Get(encoding->Iconv, "UTF-8"), text, "?", true, out))
    return std::string(text);
  return out;
}

std::string LocaleCharset() {
  const char* codeSet = nl_langinfo(CODESET);
  const std::string name = codeSet ? CharsetOfLabel(codeSet) : std::string();
  // The C locale's ASCII names windows-1252 among browsers' labels; here it means "no
  // conversion".
  if (name.empty() || (codeSet && std::strcmp(codeSet, "ANSI_X3.4-1968") == 0)) return kUtf8;
  return name;
}

std::string FallbackPageCharset() {
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  return FallbackPageCharsetOf(name ? name : "");
}

std::string FallbackPageCharsetOf(std::string_view localeName) {
  std::string_view territory;
  const std::string_view language = Language(localeName, territory);
  if (language == "zh")
    return territory == "TW" || territory == "HK" || territory == "MO" ? "Big5" : "GBK";
  static const std::pair<const char*, const char*> kByLanguage[] = {
      {"ja", "Shift_JIS"},    {"ko", "EUC-KR"},       {"ru", "windows-1251"},
      {"uk", "windows-1251"}, {"be", "windows-1251"}, {"bg", "windows-1251"},
      {"sr", "windows-1251"}, {"mk", "windows-1251"}, {"kk", "windows-1251"},
      {"el", "windows-1253"}, {"tr", "windows-1254"}, {"az", "windows-1254"},
      {"he", "windows-1255"}, {"ar", "windows-1256"}, {"fa", "windows-1256"},
      {"ur", "windows-1256"}, {"lt", "windows-1257"}, {"lv", "windows-1257"},
      {"et", "windows-1257"}, {"vi", "windows-1258"}, {"th", "windows-874"},
      {"pl", "windows-1250"}, {"cs", "windows-1250"}, {"sk", "windows-1250"},
      {"hu", "windows-1250"}, {"sl", "windows-1250"}, {"hr", "windows-1250"},
      {"ro", "windows-1250"},
  };
  for (const auto& [code, charset] : kByLanguage)
    if (language == code) return charset;
  if (language.empty() || language == "C" || language == "POSIX") return "GBK";
  return "windows-1252";
}
