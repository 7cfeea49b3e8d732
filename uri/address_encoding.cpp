#include "uri/address_encoding.h"

#include <dlfcn.h>
#include <idn2.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/charset.h"

namespace {

// The bytes percent-encoded in each part of an address, as browsers choose them for http, https
// and ftp addresses.
enum : unsigned char { kInPath = 1, kInQuery = 2, kInFragment = 4, kCapital = 8 };

struct TEncodeSets {
  unsigned char Of[256] = {};
  constexpr TEncodeSets() {
    for (int c = 0; c <= 0x20; ++c)
      Of[c] = kInPath | kInQuery | kInFragment;
    for (int c = 0x7F; c < 256; ++c)
      Of[c] = kInPath | kInQuery | kInFragment;
    for (const char c : std::string_view("\"<>"))
      Of[static_cast<unsigned char>(c)] = kInPath | kInQuery | kInFragment;
    Of[static_cast<unsigned char>('`')] = kInPath | kInFragment;
    Of[static_cast<unsigned char>('{')] = kInPath;
    Of[static_cast<unsigned char>('}')] = kInPath;
    Of[static_cast<unsigned char>('\'')] = kInQuery;
    for (int c = 'A'; c <= 'Z'; ++c)
      Of[c] = kCapital;
  }
};
constexpr TEncodeSets kSets;

constexpr char kHex[] = "0123456789ABCDEF";

int UpperHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int AnyHexValue(char c) {
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return UpperHexValue(c);
}

void AppendEncoded(std::string_view part, unsigned char set, std::string& out) {
  for (const char c : part) {
    const auto b = static_cast<unsigned char>(c);
    if (kSets.Of[b] & set) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
}

// Where the authority of `address` ends (the path starts), or 0 when it has none: "://" must
// follow a scheme (a letter, then letters, digits, "+", "-" and "."), not come in a path.
size_t AuthorityEnd(std::string_view address) {
  const size_t slashes = address.find("://");
  if (slashes == std::string_view::npos || slashes == 0) return 0;
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!letter(address[0])) return 0;
  for (size_t i = 1; i < slashes; ++i) {
    const char c = address[i];
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return 0;
  }
  return std::min(address.find_first_of("/?#", slashes + 3), address.size());
}

// Characters that are decoded for reading only where no terminal or text field takes them for
// something else: C1 controls, line and paragraph separators and the marks that turn the
// direction of text.
bool ShownDecoded(uint32_t code) {
  if (code >= 0x80 && code <= 0x9F) return false;
  if (code == 0x2028 || code == 0x2029 || code == 0x200E || code == 0x200F) return false;
  if ((code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) return false;
  return true;
}

// The UTF-8 character whose escapes start at address[at], as bytes, if the escapes are all in
// upper case and form one well-formed character that may be shown; empty otherwise.
std::string EscapedCharacter(std::string_view address, size_t at) {
  const auto escapedByte = [&](size_t i) -> int {
    if (i + 2 >= address.size() || address[i] != '%') return -1;
    const int high = UpperHexValue(address[i + 1]), low = UpperHexValue(address[i + 2]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
  };
  const int lead = escapedByte(at);
  const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0) return std::string();
  std::string bytes(1, static_cast<char>(lead));
  for (size_t k = 1; k < length; ++k) {
    const int b = escapedByte(at + 3 * k);
    if (b < 0) return std::string();
    bytes += static_cast<char>(b);
  }
  if (!IsUtf8(bytes)) return std::string();
  uint32_t code = static_cast<unsigned char>(bytes[0]) & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k)
    code = (code << 6) | (static_cast<unsigned char>(bytes[k]) & 0x3F);
  return ShownDecoded(code) ? bytes : std::string();
}

bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

// Where the host of the authority that ends at `end` starts (after user information), and
// where it ends (before the port).
void HostBounds(std::string_view address, size_t end, size_t& from, size_t& to) {
  from = address.find("://") + 3;
  const size_t at = address.substr(0, end).rfind('@');
  if (at != std::string_view::npos && at >= from) from = at + 1;
  to = end;
  const size_t colon = address.substr(0, end).rfind(':');
  if (colon != std::string_view::npos && colon >= from && address[from] != '[') to = colon;
}

// Whether the scheme or the host has upper-case letters, which browsers write in lower case.
bool HasUpperCaseOrigin(std::string_view address) {
  const size_t end = AuthorityEnd(address);
  if (end == 0) return false;
  for (size_t i = 0; i < end; ++i)
    if (IsUpper(address[i])) {
      size_t from = 0, to = 0;
      HostBounds(address, end, from, to);
      return i < address.find("://") || (i >= from && i < to);
    }
  return false;
}

// An internationalised host name as browsers send it ("xn--..."), through libidn2, which is
// loaded the first time such a name comes: most runs meet none. False when it cannot be had.
bool AsciiHost(const std::string& host, std::string& ascii) {
  using TToAscii = int (*)(const char*, char**, int);
  static const TToAscii toAscii = [] {
    void* library = ::dlopen("libidn2.so.0", RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<TToAscii>(::dlsym(library, "idn2_to_ascii_8z")) : nullptr;
  }();
  char* out = nullptr;
  if (!toAscii || toAscii(host.c_str(), &out, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL) != IDN2_OK ||
      !out)
    return false;
  // Compatibility forms can map to delimiters ("＃" to "#"): only a plain name will do.
  bool plain = *out != '\0';
  for (const char* c = out; *c; ++c)
    plain = plain && ((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') || *c == '-' ||
                      *c == '.' || *c == '_');
  if (plain) ascii = out;
  std::free(out);
  return plain;
}

}  // namespace

bool NeedsEncoding(std::string_view address) {
  // One pass over the bytes; only an address with a capital somewhere has its origin looked at.
  unsigned found = 0;
  for (const char c : address)
    found |= kSets.Of[static_cast<unsigned char>(c)];
  if (found & (kInPath | kInQuery | kInFragment)) return true;
  return (found & kCapital) && HasUpperCaseOrigin(address);
}

std::string EncodedAddress(std::string_view address, std::string_view charset) {
  if (!NeedsEncoding(address)) return std::string(address);
  const size_t pathStart = AuthorityEnd(address);
  const size_t queryStart = std::min(address.find_first_of("?#", pathStart), address.size());
  const size_t fragmentStart = std::min(address.find('#', queryStart), address.size());
  std::string out;
  out.reserve(address.size() * 3);
  if (pathStart > 0) {
    // The scheme and the host in lower case, a host in another script in its ASCII form; user
    // information and port as they are.
    std::string origin(address.substr(0, pathStart));
    const size_t schemeEnd = origin.find("://");
    size_t from = 0, to = 0;
    HostBounds(origin, origin.size(), from, to);
    std::string host = origin.substr(from, to - from);
    if (!IsAscii(host)) {
      if (charset != kUtf8) host = ToUtf8(host, charset);
      AsciiHost(std::string(host), host);
    }
    for (char& c : host)
      if (IsUpper(c)) c += 'a' - 'A';
    for (size_t i = 0; i < schemeEnd; ++i)
      if (IsUpper(origin[i])) origin[i] += 'a' - 'A';
    AppendEncoded(origin.substr(0, from), kInPath, out);
    out += host;
    AppendEncoded(std::string_view(origin).substr(to), kInPath, out);
  }
  // Whatever the page's encoding, the path goes as UTF-8 (what is no character of it as
  // U+FFFD, as a browser reads it).
  std::string_view path = address.substr(pathStart, queryStart - pathStart);
  std::string converted;
  if (!IsAscii(path) || (charset != kUtf8 && path.find('\x1b') != std::string_view::npos)) {
    converted = ToUtf8(path, charset);
    path = converted;
  }
  AppendEncoded(path, kInPath, out);
  AppendEncoded(address.substr(queryStart, fragmentStart - queryStart), kInQuery, out);
  AppendEncoded(address.substr(fragmentStart), kInFragment, out);
  return out;
}

std::string DisplayedAddress(std::string_view address) {
  const size_t pathStart = AuthorityEnd(address);
  if (address.find('%', pathStart) == std::string_view::npos) return std::string(address);
  std::string out(address.substr(0, pathStart));
  for (size_t i = pathStart; i < address.size();) {
    if (address[i] == '%') {
      // A blank at the very end would be lost to anyone who copies the line.
      if (address.compare(i, 3, "%20") == 0 && i + 3 < address.size()) {
        out += ' ';
        i += 3;
        continue;
      }
      const std::string character = EscapedCharacter(address, i);
      if (!character.empty()) {
        out += character;
        i += 3 * character.size();
        continue;
      }
    }
    out += address[i++];
  }
  return out;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = AnyHexValue(text[i + 1]), low = AnyHexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}
