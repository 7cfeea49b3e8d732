// Finding the movie addresses of a page while it arrives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/append_stream.h"
#include "base/piece_worker.h"
#include "regex/regex_matcher.h"

// A stream that a page body is written into. No match of the movie pattern holds white space,
// so the text is cut after white space into pieces of about kPieceSize bytes, and each piece is
// searched on a worker thread while the next one arrives: the matches, piece after piece, are
// those of one search of the whole page (FindSwfUrls), but the page is never held whole.
// Bytes can only be added at the end; cutting the stream back to empty starts over.
class TSwfUrlStream : public TAppendStream {
 public:
  static constexpr size_t kPieceSize = size_t{2} << 20;

  TSwfUrlStream();
  ~TSwfUrlStream() override;
  TSwfUrlStream(const TSwfUrlStream&) = delete;
  TSwfUrlStream& operator=(const TSwfUrlStream&) = delete;

  // Searches the rest and returns every match (quotes stripped) in the order found. Raises
  // the matcher's error, if it had one.
  std::vector<std::string> Finish();

 private:
  void Append(const char* bytes, size_t count) override;
  // A redirection followed: what arrived so far was not the page.
  void StartOver() override;
  // Searches one piece, on the worker thread.
  void Search(std::string& piece);

  std::string piece_;
  // Just after the last white space in piece_, or 0.
  size_t cut_ = 0;

  // Used by the worker only while it runs. One matcher for every piece: the pattern is
  // compiled once.
  TRegExMatcher matcher_;
  std::vector<std::string> found_;
  TPieceWorker worker_;
};
