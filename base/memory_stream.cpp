#include "base/memory_stream.h"

#include <cstdlib>
#include <cstring>
#include <new>

TMemoryStream::~TMemoryStream() {
  std::free(data_);
}

void TMemoryStream::Grow(int64_t capacity) {
  if (capacity <= capacity_) return;
  // Grow geometrically so that appending piece by piece stays linear.
  int64_t next = capacity_ < 4096 ? 4096 : capacity_;
  while (next < capacity)
    next += next / 2;
  char* grown = static_cast<char*>(std::realloc(data_, static_cast<size_t>(next)));
  if (!grown) throw std::bad_alloc();
  data_ = grown;
  capacity_ = next;
}

void TMemoryStream::Compact() {
  if (start_ == 0) return;
  if (end_ > start_) std::memmove(data_, data_ + start_, static_cast<size_t>(end_ - start_));
  end_ -= start_;
  start_ = 0;
}

char* TMemoryStream::Reserve(int64_t count) {
  if (capacity_ - end_ < count) {
    Compact();
    Grow(end_ + count);
  }
  return data_ + end_;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t available = Size() - position_;
  if (count <= 0 || position_ < 0 || available <= 0) return 0;
  const int64_t n = count < available ? count : available;
  std::memcpy(buffer, data_ + start_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || position_ < 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) {
    const int64_t old = Size();
    Reserve(end - old);
    if (position_ > old) std::memset(data_ + end_, 0, static_cast<size_t>(position_ - old));
    end_ = start_ + end;
  }
  std::memcpy(data_ + start_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, Size(), offset, origin);
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  const int64_t old = Size();
  if (size > old) {
    Reserve(size - old);
    std::memset(data_ + end_, 0, static_cast<size_t>(size - old));
  }
  end_ = start_ + size;
  if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
  std::free(data_);
  data_ = nullptr;
  capacity_ = start_ = end_ = position_ = 0;
}
