// Finding the movie addresses of a page while it arrives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/piece_worker.h"
#include "base/stream.h"
#include "regex/regex_matcher.h"

// A stream that a page body is written into. No match of the movie pattern holds white space,
// so the text is cut after white space into pieces of about kPieceSize bytes, and each piece is
// searched on a worker thread while the next one arrives: the matches, piece after piece, are
// those of one search of the whole page (FindSwfUrls), but the page is never held whole.
// Bytes can only be added at the end; cutting the stream back to empty starts over.
class TSwfUrlStream : public TStream {
 public:
  static constexpr size_t kPieceSize = size_t{2} << 20;

  TSwfUrlStream();
  ~TSwfUrlStream() override;
  TSwfUrlStream(const TSwfUrlStream&) = delete;
  TSwfUrlStream& operator=(const TSwfUrlStream&) = delete;

  // Nothing can be read back.
  int64_t Read(void* buffer, int64_t count) override { return 0; }
  // Raises EWriteError "Stream write error" unless the position is the end.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // A larger size is room asked for ahead of the data and changes nothing; 0 starts over;
  // any other cut raises EStreamError.
  void SetSize(int64_t size) override;
  int64_t Size() override { return size_; }

  // Searches the rest and returns every match (quotes stripped) in the order found. Raises
  // the matcher's error, if it had one.
  std::vector<std::string> Finish();

 private:
  // Searches one piece, on the worker thread.
  void Search(std::string& piece);

  int64_t size_ = 0;
  int64_t position_ = 0;
  std::string piece_;
  // Just after the last white space in piece_, or 0.
  size_t cut_ = 0;

  // Used by the worker only while it runs. One matcher for every piece: the pattern is
  // compiled once.
  TRegExMatcher matcher_;
  std::vector<std::string> found_;
  TPieceWorker worker_;
};
