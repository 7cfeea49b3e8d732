#include "base/memory_stream.h"

#include <cstdlib>
#include <cstring>
#include <new>

TMemoryStream::~TMemoryStream() {
  std::free(data_);
}

void TMemoryStream::Reserve(int64_t capacity) {
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

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const int64_t n = count < size_ - position_ ? count : size_ - position_;
  std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || position_ < 0) return 0;
  const int64_t end = position_ + count;
  if (end > size_) {
    Reserve(end);
    if (position_ > size_) std::memset(data_ + size_, 0, static_cast<size_t>(position_ - size_));
    size_ = end;
  }
  std::memcpy(data_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      position_ = offset;
      break;
    case TSeekOrigin::soCurrent:
      position_ += offset;
      break;
    case TSeekOrigin::soEnd:
      position_ = size_ + offset;
      break;
  }
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  if (size > size_) {
    Reserve(size);
    std::memset(data_ + size_, 0, static_cast<size_t>(size - size_));
  }
  size_ = size;
  if (position_ > size_) position_ = size_;
}

void TMemoryStream::Clear() {
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = position_ = 0;
}
