// An ordered list of header lines ("Name: value"), with continuation lines that begin with a
// space or a tab. Names are matched without regard to case; values are read with their
// continuation lines joined and set with long lines folded.
#pragma once

#include <string>

#include "base/string_list.h"

class TNetHeaderList : public TStringList {
 public:
  TNetHeaderList() = default;

  // Written between name and value when setting; its right-trimmed form ends a name.
  std::string NameSeparator = ": ";
  // false: NameAt gives the name in upper case (ASCII letters).
  bool KeepNameCase = false;
  // ValueAt appends the continuation lines that follow a line.
  bool JoinContinuations = true;
  // SetValueOf folds long lines and replaces the old continuation lines.
  bool FoldOnSet = true;
  int FoldColumn = 78;

  // The name of line `index`: the text before the first separator, empty without one.
  std::string NameAt(int index) const;
  // The value of line `index` (empty for a bad index), joined with its continuation lines
  // when JoinContinuations, and trimmed.
  std::string ValueAt(int index) const;
  // The first line whose name equals `name` ignoring case, or -1.
  int IndexOfHeader(const std::string& name) const;
  // The value of the first line named `name`; empty when there is none.
  std::string ValueOf(const std::string& name) const;
  // Replaces the first line named `name` in place (a new name goes to the end); an empty
  // value removes the line.
  void SetValueOf(const std::string& name, const std::string& value);
  // Appends the value of every line named `name` to `destination`, in order.
  void ExtractValues(const std::string& name, TStringList* destination) const;

  // Non-empty and beginning with a space or a tab.
  static bool IsContinuationLine(const std::string& line);

 private:
  // Byte offset of the separator that ends the name of `line`, or npos.
  size_t NameEnd(const std::string& line) const;
  bool NameMatches(const std::string& line, const std::string& name) const;
  // Index one past the continuation lines that follow line `index`.
  int ContinuationEnd(int index) const;
  void DeleteContinuationLines(int index);
  // Puts `line` at `index`, folded into continuation lines when FoldOnSet.
  void PutHeaderLine(int index, const std::string& line);
};

// Cuts `line` after break characters so that pieces stay within `maxColumn` where it can,
// inserting `breakText` at each cut. Never cuts inside double quotes, never at the very end,
// and keeps a text that is already broken with `breakText` as it is. Double-byte characters
// of the system code page are stepped over whole.
std::string WrapHeaderText(const std::string& line, const std::string& breakText,
                           const std::string& breakChars, int maxColumn);
