#include "cli/collation.h"

#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <string>
#include <unordered_map>

#include "cli/terminal_text.h"

namespace cli {

namespace {

// The text as wide characters of the locale, each folded to lower case.
std::wstring FoldedWide(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  std::mbstate_t state{};
  size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80 && std::mbsinit(&state)) {
      // The code sets of the C library's locales all take these bytes as the ASCII characters.
      wide.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(byte))));
      at += 1;
      continue;
    }
    wchar_t c = 0;
    const size_t n = std::mbrtowc(&c, text.data() + at, text.size() - at, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      // Not a character of the code set: the byte stands for itself.
      c = static_cast<wchar_t>(static_cast<unsigned char>(text[at]));
      state = std::mbstate_t{};
      at += 1;
    } else {
      at += n == 0 ? 1 : n;
    }
    wide.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))));
  }
  return wide;
}

// Appends `value` so that the bytes of two keys compare as their wide characters do: values
// below 1 after a 0 byte, as four bytes in order; the others as UTF-8 writes them (extended to
// 31 bits), whose first byte tells the length and whose longer forms stand for larger values.
void AppendOrdered(std::string& key, wchar_t value) {
  if (value <= 0) {
    const auto v = static_cast<uint32_t>(value) ^ 0x80000000u;
    key += '\0';
    for (int shift = 24; shift >= 0; shift -= 8)
      key += static_cast<char>((v >> shift) & 0xFF);
    return;
  }
  const auto v = static_cast<uint32_t>(value);
  if (v < 0x80) {
    key += static_cast<char>(v);
    return;
  }
  int more = 1;
  while (more < 5 && v >= (uint32_t{1} << (6 * more + 6 - more)))
    ++more;
  key += static_cast<char>((0xFF00u >> (more + 1)) | (v >> (6 * more)));
  for (int i = more - 1; i >= 0; --i)
    key += static_cast<char>(0x80 | ((v >> (6 * i)) & 0x3F));
}

// The C library's own locales collate by code (C.UTF-8 by code point), so the key of a text of
// ASCII characters is the text folded.
bool CollatesByCode() {
  const char* name = std::setlocale(LC_COLLATE, nullptr);
  if (!name) return false;
  for (const char* byCode : {"C", "POSIX", "C.UTF-8", "C.utf8"})
    if (std::strcmp(name, byCode) == 0) return true;
  return false;
}

// The key of ASCII `text` where the locale collates by code: the text folded as it is copied.
// False (the key unfinished) for a text with a byte that is no ASCII character, or with
// `unless` (0: none).
bool WriteFoldedAsciiKey(std::string_view text, std::string& key, char unless) {
  if (!CollatesByCode()) return false;
  key.resize(text.size());
  // Without branches, so that the compiler can take many bytes at a time.
  unsigned other = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    other |= static_cast<unsigned>(c >= 0x80) | static_cast<unsigned>(c == 0) |
             static_cast<unsigned>(c == static_cast<unsigned char>(unless));
    key[i] = static_cast<char>(static_cast<unsigned char>(c - 'A') < 26 ? c + ('a' - 'A') : c);
  }
  return other == 0;
}

// The key of any text: its characters folded, through the locale's collation.
void WriteWideKey(std::string_view text, std::string& key) {
  const std::wstring folded = FoldedWide(text);
  const size_t size = std::wcsxfrm(nullptr, folded.c_str(), 0);
  std::wstring wide(size, L'\0');
  std::wcsxfrm(wide.data(), folded.c_str(), size + 1);
  key.clear();
  key.reserve(wide.size());
  for (const wchar_t c : wide)
    AppendOrdered(key, c);
}

}  // namespace

std::string CaseFoldedCollationKey(const std::string& text) {
  std::string key;
  WriteCaseFoldedCollationKey(text, key);
  return key;
}

void WriteCaseFoldedCollationKey(std::string_view text, std::string& key) {
  // A byte that is not an ASCII character sends the text the long way.
  if (!WriteFoldedAsciiKey(text, key, 0)) WriteWideKey(text, key);
}

void WriteShownAddressKey(std::string_view address, std::string& key) {
  // Most addresses have no escape to decode for reading: their key is made in one pass.
  if (WriteFoldedAsciiKey(address, key, '%')) return;
  if (address.find('%') == std::string_view::npos)
    WriteWideKey(address, key);
  else
    WriteCaseFoldedCollationKey(ShownAddress(address), key);
}

TStringList::TCompare CaseFoldedCollation() {
  auto keys = std::make_shared<std::unordered_map<std::string, std::string>>();
  return [keys](const std::string& a, const std::string& b) {
    auto key = [&keys](const std::string& text) -> const std::string& {
      auto found = keys->find(text);
      if (found == keys->end()) found = keys->emplace(text, CaseFoldedCollationKey(text)).first;
      return found->second;
    };
    const std::string& ka = key(a);
    const std::string& kb = key(b);
    const int c = ka.compare(kb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  };
}

}  // namespace cli
