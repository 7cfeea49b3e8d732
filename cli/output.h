// Where a command writes a body that does not go to a file.
#pragma once

#include <cstdint>

#include "base/stream.h"

namespace cli {

// A stream that appends to a file descriptor it does not own (standard output). It cannot go
// back: seeking to and sizing at the current end are accepted, anything else is an error.
class TDescriptorStream : public TStream {
 public:
  explicit TDescriptorStream(int fd) : fd_(fd) {}
  int64_t Read(void*, int64_t) override { return 0; }
  // Raises EWriteError "Stream write error" when the descriptor refuses bytes.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return written_; }

 private:
  int fd_;
  int64_t written_ = 0;
};

}  // namespace cli
