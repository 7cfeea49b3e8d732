// HTML character references in attribute values and text.
#pragma once

#include <string>
#include <string_view>

// `text` with "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" and numeric references ("&#47;",
// "&#x2F;") of ASCII characters replaced by the character. Anything else, an unknown name or a
// reference without its ";", stays as written: the page's code page is not known here.
std::string DecodeCharacterReferences(std::string_view text);
