#include "cli/output.h"

#include <unistd.h>

#include <cerrno>

#include "base/exception.h"

namespace cli {

int64_t TDescriptorStream::Write(const void* buffer, int64_t count) {
  const char* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EWriteError("Stream write error");
    done += n;
  }
  written_ += done;
  return done;
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
