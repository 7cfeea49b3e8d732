#include "page/character_references.h"

#include <cctype>
#include <cstring>

#include "base/text.h"

namespace {

// The longest reference decoded: "&#x0000002F;" is already absurd.
constexpr size_t kLongestReference = 12;

struct TNamedReference {
  const char* Name;
  char Character;
};

constexpr TNamedReference kNamed[] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''},
};

// The character of the reference "&...;" whose body (between "&" and ";") is `body`, or 0.
char ReferencedCharacter(std::string_view body) {
  if (body.size() >= 2 && body[0] == '#') {
    const bool hex = body[1] == 'x' || body[1] == 'X';
    size_t at = hex ? 2 : 1;
    if (at == body.size()) return 0;
    unsigned value = 0;
    for (; at < body.size(); ++at) {
      const int digit =
          hex ? HexDigitValue(body[at])
              : (std::isdigit(static_cast<unsigned char>(body[at])) ? body[at] - '0' : -1);
      if (digit < 0) return 0;
      value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
      if (value > 0x7F) return 0;
    }
    return value == 0 ? 0 : static_cast<char>(value);
  }
  for (const TNamedReference& named : kNamed)
    if (body == named.Name) return named.Character;
  return 0;
}

}  // namespace

std::string DecodeCharacterReferences(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  std::string result;
  result.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t amp = text.find('&', at);
    if (amp == std::string_view::npos) break;
    result.append(text, at, amp - at);
    const size_t semicolon = text.find(';', amp + 1);
    char c = 0;
    if (semicolon != std::string_view::npos && semicolon - amp <= kLongestReference)
      c = ReferencedCharacter(text.substr(amp + 1, semicolon - amp - 1));
    if (c != 0) {
      result += c;
      at = semicolon + 1;
    } else {
      result += '&';
      at = amp + 1;
    }
  }
  result.append(text, at, std::string_view::npos);
  return result;
}
