#include "net/rfc_reply.h"

#include "base/text.h"

namespace {

constexpr size_t CodeLength = 3;

}  // namespace

void TNetRFCReply::Clear() {
  NumericCode = 0;
  TextCode.clear();
  Text.Clear();
}

void TNetRFCReply::SetReply(int code, const std::string& text) {
  Clear();
  NumericCode = code;
  TextCode = IntToStr(code);
  Text.SetText(text);
}

void TNetRFCReply::ParseLines(const std::vector<std::string>& lines) {
  Clear();
  if (lines.empty()) return;
  TextCode = lines.front().substr(0, CodeLength);
  NumericCode = StrToIntDef(TextCode, 0);
  for (const std::string& line : lines) {
    // A line that carries the reply's code loses it and its separator; others stay whole.
    if (line.size() >= CodeLength && line.compare(0, CodeLength, TextCode) == 0 &&
        (line.size() == CodeLength || line[CodeLength] == ' ' || line[CodeLength] == '-'))
      Text.Add(line.size() > CodeLength ? line.substr(CodeLength + 1) : std::string());
    else
      Text.Add(line);
  }
}

std::string TNetRFCReply::FormattedReply() const {
  std::string result;
  const int count = Text.Count();
  for (int i = 0; i < count; ++i) {
    result += TextCode;
    result += i + 1 < count ? "-" : " ";
    result += Text.Get(i);
    result += "\r\n";
  }
  if (count == 0 && !TextCode.empty()) result = TextCode + "\r\n";
  return result;
}

bool TNetRFCReply::ContinuesReply(const std::string& line) {
  return line.size() > CodeLength && line[CodeLength] == '-';
}

bool TNetRFCReply::EndsReply(const std::string& line, const std::string& code) {
  return line.size() >= CodeLength && line.compare(0, CodeLength, code) == 0 &&
         (line.size() == CodeLength || line[CodeLength] == ' ');
}
