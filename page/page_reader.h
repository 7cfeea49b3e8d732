// Finding the Flash movies a page refers to (see movie_finder.h for the ways pages wrote them).
// The page is read as it arrives, in pieces of any size, by three parts: a markup scanner that
// reports what may name a movie, a movie finder that decides what does, and a reference list
// that makes the addresses absolute and keeps each once. Addresses come out as a browser
// requests them: the page's bytes read in its charset, the path percent-encoded as UTF-8, the
// query in the page's own encoding.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_block.h"
#include "page/markup_scanner.h"
#include "page/quoted_address.h"
#include "page/reference_list.h"

class TListingObserver;

class TPageReader {
 public:
  static constexpr size_t kMaxTag = TMarkupScanner::kMaxTag;
  // The longest address looked for.
  static constexpr size_t kMaxAddress = kMaxQuotedAddress;
  static constexpr size_t kMaxFrames = TReferenceList::kMaxFrames;

  // `pageAddress`: the address the page came from; what the page names is made absolute
  // against it (and against the page's <base href>). `observer`, when given, is told of each
  // address as it is listed, and must outlive the reader.
  explicit TPageReader(std::string pageAddress, TListingObserver* observer = nullptr);
  ~TPageReader();
  TPageReader(TPageReader&&) noexcept;
  TPageReader& operator=(TPageReader&&) noexcept;

  // The page's address after redirections, as soon as it is known (the final response's
  // head): what is found from then on is resolved against it from the start.
  void SetPageAddress(const std::string& address);
  // The charset the response's "Content-Type" names (a canonical name, see charset.h): it
  // holds over what the page itself declares. Empty: none.
  void SetHttpCharset(std::string charset);

  void Feed(std::string_view piece);
  // As Feed, without copying the new bytes: they are `piece` from `room` on, and the `room`
  // bytes in front of them are the reader's to write over. The reader keeps the piece and
  // leaves in `piece` a buffer of its own, whose memory can take a later piece.
  void Feed(std::string& piece, size_t room);
  // Reads what is left and returns every movie address, absolute, without its fragment, in the
  // order first found, each once. `finalAddress`, when not empty, is the page's address after
  // redirections (as SetPageAddress). The reader is then empty again, for the page address it
  // was made with.
  std::vector<std::string> Finish(const std::string& finalAddress = std::string());
  // As Finish, the addresses in one block rather than a string each.
  TStringBlock FinishInBlock(const std::string& finalAddress = std::string());
  // The pages the last page finished showed in frames (<frame src>, <iframe src> that are not
  // movies themselves), absolute and encoded as its movies, each once, at most kMaxFrames.
  const std::vector<std::string>& Frames() const { return frames_; }

 private:
  struct TParts;

  std::string page_;
  TListingObserver* observer_;
  std::unique_ptr<TParts> parts_;
  std::vector<std::string> frames_;  // of the last page finished
};
