#include "app/workflows/swf_extraction.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

#include "regex/regex_matcher.h"

std::string StripQuotes(std::string match) {
  match.erase(std::remove(match.begin(), match.end(), '\''), match.end());
  match.erase(std::remove(match.begin(), match.end(), '"'), match.end());
  return match;
}

void ExtractSwfUrls(std::string pageText, const TStringList::TCompare& compare, TStringList& list) {
  TRegExMatcher matcher;
  matcher.SetSubjectText(std::move(pageText));
  matcher.SetRegEx(kSwfUrlPattern);

  list.Clear();
  list.SetCompare(compare);
  list.SetSorted(true);
  list.Duplicates = TDuplicates::dupIgnore;

  // Adding one entry at a time to the sorted list gives the order and the first spelling of
  // each entry, but costs a move of the list's tail per new entry. The same result comes
  // from the distinct matches in the order found, sorted stably (equal entries keep their
  // order, so the first one found comes first) and added in ascending order.
  std::vector<std::string> found;
  std::unordered_set<std::string> seen;
  while (matcher.MatchNext()) {
    std::string entry = StripQuotes(matcher.GroupText(0));
    // Byte-identical repeats always compare equal; dropping them here spares the collation.
    if (seen.insert(entry).second) found.push_back(std::move(entry));
  }
  std::stable_sort(found.begin(), found.end(), [&list](const std::string& a, const std::string& b) {
    return list.CompareStrings(a, b) < 0;
  });
  for (const std::string& entry : found)
    list.Add(entry);
}
