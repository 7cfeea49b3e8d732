#include "net/managed_buffer.h"

#include "base/net_exceptions.h"

void TNetManagedBuffer::Remove(int64_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer("Not enough data in buffer.");
  if (count <= 0) return;
  if (count == Size()) {
    start_ = end_ = 0;
  } else {
    start_ += count;
    if (start_ >= CompactThreshold) Compact();
  }
  position_ = position_ > count ? position_ - count : 0;
  if (OnBytesRemoved) OnBytesRemoved(this, count);
}
