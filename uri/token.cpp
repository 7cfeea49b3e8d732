#include "uri/token.h"

#include "base/lead_bytes.h"
#include "base/text.h"

std::string TakeToken(std::string& text, const std::string& delimiter) {
  const int p = Pos(delimiter, text);
  if (p == 0) {
    std::string whole;
    whole.swap(text);
    return whole;
  }
  std::string token = text.substr(0, static_cast<size_t>(p) - 1);
  text.erase(0, static_cast<size_t>(p) - 1 + delimiter.size());
  return token;
}

std::string PeekToken(const std::string& text, const std::string& delimiter) {
  const int p = Pos(delimiter, text);
  return p == 0 ? text : text.substr(0, static_cast<size_t>(p) - 1);
}

int FindLast(const std::string& sub, const std::string& text, int start) {
  const int textLength = static_cast<int>(text.size());
  const int subLength = static_cast<int>(sub.size());
  if (subLength == 0 || subLength > textLength) return 0;
  if (start < 0) start = textLength;
  if (start > textLength - subLength + 1) start = textLength - subLength + 1;
  for (int p = start; p >= 1; --p) {
    if (SameText(text.substr(static_cast<size_t>(p) - 1, sub.size()), sub)) return p;
  }
  return 0;
}
