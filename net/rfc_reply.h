// A reply of a line-oriented protocol: a three-character code and one or more text lines,
// as in "250-first line" ... "250 last line". A connection keeps the server's greeting and
// the reply to its last command in these records.
#pragma once

#include <string>
#include <vector>

#include "base/object.h"
#include "base/string_list.h"

class TNetRFCReply : public TObject {
 public:
  // The code as a number; 0 when the reply has no numeric code.
  int NumericCode = 0;
  // The first three characters of the reply's first line.
  std::string TextCode;
  // The text of each line, without its code and separator.
  TStringList Text;

  void Clear();
  void SetReply(int code, const std::string& text);
  // Fills the record from the lines of one reply, as read from the peer.
  void ParseLines(const std::vector<std::string>& lines);
  // The reply as a peer would send it: every line but the last with "-" after the code,
  // each line followed by CR LF.
  std::string FormattedReply() const;

  // True when the line opens (or continues) a reply that goes on: its fourth character is "-".
  static bool ContinuesReply(const std::string& line);
  // True when the line ends a reply that began with `code`: the same three characters and
  // a blank (or nothing) after them.
  static bool EndsReply(const std::string& line, const std::string& code);
};
