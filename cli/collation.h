// The order in which the command line lists a page's movies.
#pragma once

#include <string>
#include <string_view>

#include "base/string_list.h"

namespace cli {

// The C library's collation for the current locale (LC_COLLATE) over case-folded text. Bytes
// that do not form a character of the locale's code set count as characters of their own.
// Each text's collation key is worked out once and kept by the returned function.
TStringList::TCompare CaseFoldedCollation();
// The sort key behind CaseFoldedCollation: two texts compare as their keys do, byte by byte.
std::string CaseFoldedCollationKey(const std::string& text);
// The same key, written into `key` (whose memory can so serve key after key).
void WriteCaseFoldedCollationKey(std::string_view text, std::string& key);
// The key of the shown form of `address` (ShownAddress), written into `key`.
void WriteShownAddressKey(std::string_view address, std::string& key);

}  // namespace cli
