// Finding the movie addresses in a page's text.
#pragma once

#include <string>
#include <vector>

#include "base/string_list.h"

// A quoted absolute address ending in ".swf". The quotes may be double quotes, apostrophes or
// vertical bars; the scheme takes the range A..z (brackets, backslash, caret, underscore and
// grave accent included, digits not); ".swf" must be lower case. No match holds white space.
inline constexpr char kSwfUrlPattern[] = "[\"|'][a-zA-z]+://[^\\s|^\"]*\\.swf[\"|']";

// A match without its quotes: every apostrophe, then every double quote is removed wherever
// it stands. Vertical bars stay.
std::string StripQuotes(std::string match);

// Every match of kSwfUrlPattern in `pageText`, in the order found, without its quotes. Errors
// of the matcher reach the caller. Pass the page with std::move: the matcher takes it over
// without a copy.
std::vector<std::string> FindSwfUrls(std::string pageText);

// Empties `list`, makes it sorted by `compare` with duplicates ignored, and adds the entries
// in the order they were found. Of entries that compare equal the first one found stays, with
// its own spelling.
void FillSwfUrlList(std::vector<std::string> found, const TStringList::TCompare& compare,
                    TStringList& list);

// FillSwfUrlList(FindSwfUrls(pageText), compare, list).
void ExtractSwfUrls(std::string pageText, const TStringList::TCompare& compare, TStringList& list);
