#include "net/simple_buffer.h"

#include <cstdlib>
#include <cstring>

#include "base/net_exceptions.h"

void TNetSimpleBuffer::Commit(int64_t count) {
  if (count > 0) end_ += count;
}

void TNetSimpleBuffer::Append(const void* buffer, int64_t count) {
  if (count <= 0) return;
  std::memcpy(Reserve(count), buffer, static_cast<size_t>(count));
  end_ += count;
}

void TNetSimpleBuffer::Remove(int64_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer("Not enough data in buffer.");
  if (count <= 0) return;
  start_ += count;
  Compact();
  position_ = position_ > count ? position_ - count : 0;
  if (OnBytesRemoved) OnBytesRemoved(this, count);
}

std::string TNetSimpleBuffer::Extract(int64_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer("Not enough data in buffer.");
  if (count <= 0) return std::string();
  std::string text(Memory(), static_cast<size_t>(count));
  Remove(count);
  return text;
}

void TNetSimpleBuffer::ExtractTo(void* dest, int64_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer("Not enough data in buffer.");
  if (count <= 0) return;
  std::memcpy(dest, Memory(), static_cast<size_t>(count));
  Remove(count);
}

void TNetSimpleBuffer::Clear() {
  // A block that once held something unusually large is not kept for the next use.
  if (capacity_ > KeepCapacity) {
    TMemoryStream::Clear();
    return;
  }
  start_ = end_ = position_ = 0;
}
