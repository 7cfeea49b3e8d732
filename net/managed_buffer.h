// The connection's input buffer. Consuming bytes only advances a count; the rest is moved
// to the front once a whole receive's worth has been consumed, so line and block reads do
// not copy the remainder after every read.
#pragma once

#include "net/simple_buffer.h"

class TNetManagedBuffer : public TNetSimpleBuffer {
 public:
  // Consumed bytes that may stay in front of the content before it is moved forward.
  static constexpr int64_t CompactThreshold = 32768;

  void Remove(int64_t count) override;
  // The consumed prefix, which users of the buffer never see.
  int64_t Consumed() const { return start_; }
};
