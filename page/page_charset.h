// What a page's address bytes are read in: the response's charset, else the first one the page
// declares (a byte-order mark, <meta charset>, <meta http-equiv>); while neither is known, each
// address is read as UTF-8 if it is that, else in the user's fallback. Of a double-byte charset
// whose second bytes may be ASCII it also tells which bytes begin a character.
#pragma once

#include <string>
#include <string_view>

class TPageCharset {
 public:
  TPageCharset();

  // The charset the response's "Content-Type" names (canonical, see charset.h; empty: none).
  // True when what the addresses are read in changed.
  bool SetHttp(std::string charset);
  // A charset the page declares; only the first counts. True when what the addresses are read
  // in changed.
  bool Declare(std::string charset);

  // The encoding `address` (resolved, not yet encoded) is read in.
  std::string_view Of(std::string_view address) const;
  // Which bytes begin a double-byte character (256 of them), or nullptr.
  const bool* LeadBytes() const { return lead_bytes_; }

 private:
  bool Use(std::string charset);

  std::string http_;
  std::string declared_;
  std::string used_;
  std::string fallback_;
  const bool* lead_bytes_ = nullptr;
};
