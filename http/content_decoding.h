// Bodies sent with a content coding (Content-Encoding gzip or deflate) taken apart as they
// arrive, so that the caller's stream receives the bytes of the resource, never the compressed
// ones under its name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/stream.h"

// What a Content-Encoding value asks the reader to do.
enum class TNetContentCoding {
  ccIdentity,  // none, or "identity"
  ccGzip,      // "gzip", "x-gzip"
  ccDeflate,   // "deflate": zlib data, or (as some servers send it) bare deflate data
  ccUnknown,   // anything else ("br", "compress", a list of codings)
};

TNetContentCoding ContentCodingOf(const std::string& contentEncoding);

// Writes what it is given, decoded, into `destination` (from its position). Finish says whether
// the coded data ended where it should. Errors raise ENetException
// "Content-Encoding CODING: the data is corrupt (REASON)" and
// "Content-Encoding CODING: the data ends early".
class TNetContentDecoder : public TStream {
 public:
  TNetContentDecoder(TNetContentCoding coding, TStream& destination);
  ~TNetContentDecoder() override;
  TNetContentDecoder(const TNetContentDecoder&) = delete;
  TNetContentDecoder& operator=(const TNetContentDecoder&) = delete;

  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override;
  // Only the position of what was written can be asked for.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Sizing ahead is a hint that changes nothing.
  void SetSize(int64_t size) override;
  int64_t Size() override { return written_; }

  // The body is complete: raises when the coded data has not ended.
  void Finish();

 private:
  struct TState;
  [[noreturn]] void Corrupt(const char* reason) const;
  void Inflate(const unsigned char* bytes, size_t count);

  TNetContentCoding coding_;
  TStream& destination_;
  std::unique_ptr<TState> state_;
  int64_t written_ = 0;  // coded bytes taken
};
