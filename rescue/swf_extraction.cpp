#include "rescue/swf_extraction.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "regex/regex_matcher.h"

std::string StripQuotes(std::string match) {
  match.erase(std::remove(match.begin(), match.end(), '\''), match.end());
  match.erase(std::remove(match.begin(), match.end(), '"'), match.end());
  return match;
}

std::vector<std::string> FindSwfUrls(std::string pageText) {
  TRegExMatcher matcher;
  matcher.SetSubjectText(std::move(pageText));
  matcher.SetRegEx(kSwfUrlPattern);
  std::vector<std::string> found;
  while (matcher.MatchNext())
    found.push_back(StripQuotes(matcher.GroupText(0)));
  return found;
}

namespace {

void PrepareList(const TStringList::TCompare& compare, TStringList& list) {
  list.Clear();
  list.SetCompare(compare);
  list.SetSorted(true);
  list.Duplicates = TDuplicates::dupIgnore;
}

}  // namespace

void FillSwfUrlList(std::vector<std::string> found, const TStringList::TCompare& compare,
                    TStringList& list) {
  PrepareList(compare, list);

  // Adding one match at a time to the sorted list gives the order and the first spelling of
  // each entry, but costs a move of the list's tail per new entry. The same result comes
  // from the distinct matches in the order found, sorted stably (equal entries keep their
  // order, so the first one found comes first) and added in ascending order.
  std::vector<std::string> distinct;
  std::unordered_set<std::string> seen;
  for (std::string& entry : found) {
    // Byte-identical repeats always compare equal; dropping them here spares the collation.
    if (seen.insert(entry).second) distinct.push_back(std::move(entry));
  }
  std::stable_sort(distinct.begin(), distinct.end(),
                   [&list](const std::string& a, const std::string& b) {
                     return list.CompareStrings(a, b) < 0;
                   });
  for (const std::string& entry : distinct)
    list.Add(entry);
}

void ExtractSwfUrls(std::string pageText, const TStringList::TCompare& compare, TStringList& list) {
  // The list is emptied before the search, so an error of the matcher leaves it empty.
  PrepareList(compare, list);
  FillSwfUrlList(FindSwfUrls(std::move(pageText)), compare, list);
}
