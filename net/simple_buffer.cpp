#include "net/simple_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/net_exceptions.h"

TNetSimpleBuffer::~TNetSimpleBuffer() {
  std::free(data_);
}

void TNetSimpleBuffer::Grow(int64_t capacity) {
  if (capacity <= capacity_) return;
  // Geometric growth keeps appending piece by piece linear.
  int64_t next = capacity_ < 4096 ? 4096 : capacity_;
  while (next < capacity)
    next += next / 2;
  char* grown = static_cast<char*>(std::realloc(data_, static_cast<size_t>(next)));
  if (!grown) throw std::bad_alloc();
  data_ = grown;
  capacity_ = next;
}

void TNetSimpleBuffer::Compact() {
  if (start_ == 0) return;
  if (end_ > start_) std::memmove(data_, data_ + start_, static_cast<size_t>(end_ - start_));
  end_ -= start_;
  start_ = 0;
}

char* TNetSimpleBuffer::Reserve(int64_t count) {
  if (capacity_ - end_ < count) {
    // Reuse the room of a consumed prefix before asking for more memory.
    Compact();
    Grow(end_ + count);
  }
  return data_ + end_;
}

void TNetSimpleBuffer::Commit(int64_t count) {
  if (count > 0) end_ += count;
}

int64_t TNetSimpleBuffer::Read(void* buffer, int64_t count) {
  const int64_t available = Size() - position_;
  if (count <= 0 || position_ < 0 || available <= 0) return 0;
  const int64_t n = count < available ? count : available;
  std::memcpy(buffer, data_ + start_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TNetSimpleBuffer::Write(const void* buffer, int64_t count) {
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

int64_t TNetSimpleBuffer::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      position_ = offset;
      break;
    case TSeekOrigin::soCurrent:
      position_ += offset;
      break;
    case TSeekOrigin::soEnd:
      position_ = Size() + offset;
      break;
  }
  return position_;
}

void TNetSimpleBuffer::SetSize(int64_t size) {
  if (size < 0) size = 0;
  const int64_t old = Size();
  if (size > old) {
    Reserve(size - old);
    std::memset(data_ + end_, 0, static_cast<size_t>(size - old));
  }
  end_ = start_ + size;
  if (position_ > size) position_ = size;
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
  start_ = end_ = position_ = 0;
  // A block that once held something unusually large is not kept for the next use.
  if (capacity_ > KeepCapacity) {
    std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
  }
}
