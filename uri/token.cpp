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
  const size_t subLength = sub.size();
  if (subLength == 0 || subLength > text.size()) return 0;
  const size_t highest = text.size() - subLength + 1;
  const size_t from =
      (start < 0 || static_cast<size_t>(start) > highest) ? highest : static_cast<size_t>(start);
  if (!CodePageHasLeadBytes()) {
    for (size_t p = from; p >= 1; --p) {
      if (SameTextAt(text, p - 1, sub)) return static_cast<int>(p);
    }
    return 0;
  }
  // Only the first byte of a character may start a match, so that the second byte of a
  // double-byte character is never taken for a "/". Character starts are known only from the
  // front of the text.
  int found = 0;
  for (size_t i = 0; i < from; i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1) {
    if (SameTextAt(text, i, sub)) found = static_cast<int>(i) + 1;
  }
  return found;
}
