// A memory stream that can also drop bytes from its front. The connection collects pending
// writes in one and hands blocks to intercepts in one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/memory_stream.h"

// Fired after bytes left the front of a buffer, with their count.
using TNetBytesRemovedEvent = std::function<void(TObject* ASender, int64_t ACount)>;

class TNetSimpleBuffer : public TMemoryStream {
 public:
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
  using TMemoryStream::Reserve;
  void Commit(int64_t count);

  TNetBytesRemovedEvent OnBytesRemoved;

  // Clear keeps a block up to this size for reuse and frees a larger one.
  static constexpr int64_t KeepCapacity = 256 * 1024;
};
