// Finding the movie addresses in a page's text.
#pragma once

#include <string>

#include "base/string_list.h"

// A quoted absolute address ending in ".swf". The quotes may be double quotes, apostrophes or
// vertical bars; the scheme takes the range A..z (brackets, backslash, caret, underscore and
// grave accent included, digits not); ".swf" must be lower case.
inline constexpr char kSwfUrlPattern[] = "[\"|'][a-zA-z]+://[^\\s|^\"]*\\.swf[\"|']";

// A match without its quotes: every apostrophe, then every double quote is removed wherever
// it stands. Vertical bars stay.
std::string StripQuotes(std::string match);

// Empties `list`, makes it sorted by `compare` with duplicates ignored, and adds every match
// of kSwfUrlPattern in `pageText` without its quotes. Of entries that compare equal the first
// one found stays, with its own spelling. Errors of the matcher reach the caller.
// Pass the page with std::move: the matcher takes it over without a copy.
void ExtractSwfUrls(std::string pageText, const TStringList::TCompare& compare, TStringList& list);
