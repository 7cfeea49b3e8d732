#include "http/header_list.h"

#include "base/lead_bytes.h"
#include "base/text.h"

namespace {

const char kFoldBreakText[] = "\r\n ";
const char kFoldBreakChars[] = "\t ,";

// A line break inside a piece would end the header line early on the wire and let the rest
// of the value pass for a header of its own.
void BlankLineBreaks(std::string& text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
}

}  // namespace

bool TNetHeaderList::IsContinuationLine(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

size_t TNetHeaderList::NameEnd(const std::string& line) const {
  const int p = Pos(TrimRight(NameSeparator), line);
  return p == 0 ? std::string::npos : static_cast<size_t>(p) - 1;
}

bool TNetHeaderList::NameMatches(const std::string& line, const std::string& name) const {
  const size_t end = NameEnd(line);
  const size_t length = end == std::string::npos ? 0 : end;
  return length == name.size() && SameTextAt(line, 0, name);
}

std::string TNetHeaderList::NameAt(int index) const {
  const std::string& line = Get(index);
  const size_t end = NameEnd(line);
  if (end == std::string::npos) return std::string();
  std::string name = line.substr(0, end);
  return KeepNameCase ? name : UpperCase(name);
}

std::string TNetHeaderList::ValueAt(int index) const {
  if (index < 0 || index >= Count()) return std::string();
  const std::string& line = Get(index);
  const size_t end = NameEnd(line);
  // The value starts one character after the name; without a separator that drops the
  // line's first character.
  const size_t start = (end == std::string::npos ? 0 : end) + 1;
  std::string value = start < line.size() ? Trim(line.substr(start)) : std::string();
  if (JoinContinuations) {
    // Joining the trimmed pieces with single blanks, skipping empty ones, is what trimming
    // the running value before each piece would give, without copying it again each time.
    for (int j = index + 1; j < Count() && IsContinuationLine(Get(j)); ++j) {
      const std::string piece = Trim(Get(j));
      if (piece.empty()) continue;
      if (!value.empty()) value += ' ';
      value += piece;
    }
  }
  return value;
}

int TNetHeaderList::IndexOfHeader(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (NameMatches(Get(i), name)) return i;
  return -1;
}

std::string TNetHeaderList::ValueOf(const std::string& name) const {
  return ValueAt(IndexOfHeader(name));
}

int TNetHeaderList::ContinuationEnd(int index) const {
  int j = index + 1;
  while (j < Count() && IsContinuationLine(Get(j)))
    ++j;
  return j;
}

void TNetHeaderList::DeleteContinuationLines(int index) {
  // From the back, so that each deletion moves only the lines after the block.
  for (int j = ContinuationEnd(index) - 1; j > index; --j)
    Delete(j);
}

void TNetHeaderList::PutHeaderLine(int index, const std::string& line) {
  if (!FoldOnSet) {
    std::string single = line;
    BlankLineBreaks(single);
    Put(index, single);
    return;
  }
  DeleteContinuationLines(index);
  const std::string wrapped = WrapHeaderText(line, kFoldBreakText, kFoldBreakChars, FoldColumn);
  int at = index;
  size_t start = 0;
  for (;;) {
    const size_t end = wrapped.find("\r\n", start);
    std::string piece =
        wrapped.substr(start, end == std::string::npos ? std::string::npos : end - start);
    BlankLineBreaks(piece);
    piece = TrimRight(piece);
    if (at == index) {
      Put(at++, piece);
    } else if (!piece.empty()) {
      // Every further piece must stay a continuation line; an empty one would end the block.
      if (!IsContinuationLine(piece)) piece.insert(0, 1, ' ');
      Insert(at++, piece);
    }
    if (end == std::string::npos) break;
    start = end + 2;
  }
}

void TNetHeaderList::SetValueOf(const std::string& name, const std::string& value) {
  int i = IndexOfHeader(name);
  if (value.empty()) {
    if (i < 0) return;
    if (FoldOnSet) DeleteContinuationLines(i);
    Delete(i);
    return;
  }
  if (i < 0) i = Add(std::string());
  PutHeaderLine(i, name + NameSeparator + value);
}

void TNetHeaderList::ExtractValues(const std::string& name, TStringList* destination) const {
  if (destination == nullptr) return;
  for (int i = 0; i < Count(); ++i) {
    const std::string& line = Get(i);
    if (!IsContinuationLine(line) && NameMatches(line, name)) destination->Add(ValueAt(i));
  }
}

std::string WrapHeaderText(const std::string& line, const std::string& breakText,
                           const std::string& breakChars, int maxColumn) {
  // Positions count from 1 as in the rules this follows; line[p - 1] is character p.
  const int64_t length = static_cast<int64_t>(line.size());
  const int64_t breakLength = static_cast<int64_t>(breakText.size());
  auto isBreakChar = [&breakChars](char c) { return breakChars.find(c) != std::string::npos; };
  const bool doubleByteCodePage = CodePageHasLeadBytes();
  int64_t pos = 1, col = 1, segmentStart = 1, breakPos = 0;
  bool inQuotes = false, explicitBreak = false;
  std::string result;
  result.reserve(line.size() + line.size() / 8);
  while (pos <= length) {
    const char ch = line[static_cast<size_t>(pos - 1)];
    if (doubleByteCodePage && IsLeadByte(static_cast<unsigned char>(ch))) {
      // The trail byte belongs to this character and is never examined on its own.
      ++pos;
      ++col;
    } else if (breakLength > 0 && ch == breakText[0]) {
      if (!inQuotes) {
        explicitBreak = SameTextAt(line, static_cast<size_t>(pos - 1), breakText);
        if (explicitBreak) {
          pos += breakLength - 1;
          breakPos = pos;
        }
      }
    } else if (isBreakChar(ch)) {
      if (!inQuotes) breakPos = pos;
    } else if (ch == '"') {
      inQuotes = !inQuotes;
    }
    ++pos;
    ++col;
    if (!inQuotes && (explicitBreak || (col > maxColumn && breakPos > segmentStart))) {
      col = pos - breakPos;
      result.append(line, static_cast<size_t>(segmentStart - 1),
                    static_cast<size_t>(breakPos - segmentStart + 1));
      if (ch != '"') {
        while (pos <= length) {
          const char next = line[static_cast<size_t>(pos - 1)];
          if (!isBreakChar(next) && next != '\r' && next != '\n') break;
          ++pos;
        }
      }
      if (!explicitBreak && pos < length) result += breakText;
      segmentStart = breakPos + 1;
      explicitBreak = false;
    }
  }
  if (segmentStart <= length) result.append(line, static_cast<size_t>(segmentStart - 1));
  return result;
}
