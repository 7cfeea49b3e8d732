// A stream over a growable block of memory.
#pragma once

#include <cstdint>

#include "base/stream.h"

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;
  ~TMemoryStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return end_ - start_; }
  int64_t Size() const { return end_ - start_; }

  // The first byte of the content.
  char* Memory() { return data_ + start_; }
  const char* Memory() const { return data_ + start_; }
  // Empties the stream and frees its block.
  void Clear();

 protected:
  // Room for at least `count` more bytes after the content, reusing the room of bytes given
  // up at the front before the block grows. Returns the first byte of that room.
  char* Reserve(int64_t count);
  // Moves the content to the front of the block.
  void Compact();

  // The content is data_[start_, end_). Streams derived from this one may give up bytes at
  // the front by moving start_ (Compact then takes the room back).
  char* data_ = nullptr;
  int64_t capacity_ = 0;
  int64_t start_ = 0;
  int64_t end_ = 0;
  int64_t position_ = 0;  // relative to start_

 private:
  void Grow(int64_t capacity);
};
