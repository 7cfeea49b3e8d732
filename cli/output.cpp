#include "cli/output.h"

#include "base/exception.h"
#include "base/file_stream.h"

namespace cli {

int64_t TDescriptorStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (WriteAll(fd_, buffer, static_cast<size_t>(count)) != static_cast<size_t>(count))
    throw EWriteError("Stream write error");
  written_ += count;
  return count;
}

int64_t TDescriptorStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (SeekTarget(written_, written_, offset, origin) != written_)
    throw EStreamError("Standard output cannot seek");
  return written_;
}

void TDescriptorStream::SetSize(int64_t size) {
  // Room reserved ahead of the data means nothing here; cutting written bytes is impossible.
  if (size < written_) throw EStreamError("Standard output cannot be cut");
}

}  // namespace cli
