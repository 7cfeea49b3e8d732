// A growable block of bytes used as a stream, which can also drop bytes from its front.
// The connection collects pending writes in one and hands blocks to intercepts in one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/stream.h"

// Fired after bytes left the front of a buffer, with their count.
using TNetBytesRemovedEvent = std::function<void(TObject* ASender, int64_t ACount)>;

class TNetSimpleBuffer : public TStream {
 public:
  TNetSimpleBuffer() = default;
  TNetSimpleBuffer(const TNetSimpleBuffer&) = delete;
  TNetSimpleBuffer& operator=(const TNetSimpleBuffer&) = delete;
  ~TNetSimpleBuffer() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return end_ - start_; }
  int64_t Size() const { return end_ - start_; }

  // The first byte that has not been removed.
  char* Memory() { return data_ + start_; }
  const char* Memory() const { return data_ + start_; }

  // Appends at the end whatever the position.
  void Append(const void* buffer, int64_t count);
  // Drops the first `count` bytes and fires OnBytesRemoved; ENetNotEnoughDataInBuffer
  // "Not enough data in buffer." when fewer are held.
  virtual void Remove(int64_t count);
  // Remove with a copy of the bytes removed.
  std::string Extract(int64_t count);
  void ExtractTo(void* dest, int64_t count);
  // Empties the buffer without firing OnBytesRemoved.
  virtual void Clear();

  // Room for at least `count` more bytes at the end, for receiving in place; Commit then
  // adds the bytes that arrived there to the content.
  char* Reserve(int64_t count);
  void Commit(int64_t count);

  TNetBytesRemovedEvent OnBytesRemoved;

  // Clear keeps a block up to this size for reuse and frees a larger one.
  static constexpr int64_t KeepCapacity = 256 * 1024;

 protected:
  // Moves the content to the front of the block.
  void Compact();
  char* data_ = nullptr;
  int64_t capacity_ = 0;
  int64_t start_ = 0;     // first byte of the content
  int64_t end_ = 0;       // one past the last byte of the content
  int64_t position_ = 0;  // relative to start_

 private:
  void Grow(int64_t capacity);
};
