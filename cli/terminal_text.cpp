#include "cli/terminal_text.h"

#include "base/charset.h"
#include "uri/address_encoding.h"

namespace cli {

namespace {

// The locale is set once, before the first command runs.
const std::string& TerminalCharset() {
  static const std::string charset = LocaleCharset();
  return charset;
}

}  // namespace

std::string FromTerminal(const std::string& text) {
  if (TerminalCharset() == kUtf8 || IsAscii(text)) return text;
  return ToUtf8(text, TerminalCharset());
}

std::string ToTerminal(std::string text) {
  if (TerminalCharset() == kUtf8 || IsAscii(text)) return text;
  return FromUtf8(text, TerminalCharset());
}

std::string ShownAddress(std::string_view address) {
  // Most addresses have nothing to decode.
  if (address.find('%') == std::string_view::npos) return std::string(address);
  return ToTerminal(DisplayedAddress(address));
}

}  // namespace cli
