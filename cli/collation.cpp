#include "cli/collation.h"

#include <cwchar>
#include <cwctype>
#include <memory>
#include <string>
#include <unordered_map>

namespace cli {

namespace {

// The text as wide characters of the locale, each folded to lower case.
std::wstring FoldedWide(const std::string& text) {
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

}  // namespace

std::wstring CaseFoldedCollationKey(const std::string& text) {
  const std::wstring folded = FoldedWide(text);
  const size_t size = std::wcsxfrm(nullptr, folded.c_str(), 0);
  std::wstring key(size, L'\0');
  std::wcsxfrm(key.data(), folded.c_str(), size + 1);
  return key;
}

TStringList::TCompare CaseFoldedCollation() {
  auto keys = std::make_shared<std::unordered_map<std::string, std::wstring>>();
  return [keys](const std::string& a, const std::string& b) {
    auto key = [&keys](const std::string& text) -> const std::wstring& {
      auto found = keys->find(text);
      if (found == keys->end()) found = keys->emplace(text, CaseFoldedCollationKey(text)).first;
      return found->second;
    };
    const std::wstring& ka = key(a);
    const std::wstring& kb = key(b);
    const int c = ka.compare(kb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  };
}

}  // namespace cli
