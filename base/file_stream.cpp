#include "base/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/exception.h"
#include "base/text.h"

namespace {

[[noreturn]] void RaiseOpenFailure(const std::string& fileName, TFileMode mode, int error) {
  const std::string reason = std::strerror(error);
  if (mode == TFileMode::fmCreate)
    throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), reason.c_str()));
  throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), reason.c_str()));
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : file_name_(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::fmCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case TFileMode::fmOpenRead:
      flags |= O_RDONLY;
      break;
    case TFileMode::fmOpenWrite:
      flags |= O_WRONLY;
      break;
    case TFileMode::fmOpenReadWrite:
      flags |= O_RDWR;
      break;
  }
  handle_ = ::open(fileName.c_str(), flags, 0666);
  if (handle_ < 0) RaiseOpenFailure(fileName, mode, errno);
  // A folder opens for reading on POSIX; it is not a file for this stream.
  struct stat info;
  if (::fstat(handle_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(handle_);
    handle_ = -1;
    RaiseOpenFailure(fileName, mode, EISDIR);
  }
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

void TFileStream::Close() {
  if (handle_ < 0) return;
  const int h = handle_;
  handle_ = -1;
  if (::close(h) != 0 && errno != EINTR) throw EWriteError("Stream write error");
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (handle_ < 0 || count <= 0) return 0;
  char* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(handle_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (handle_ < 0 || count <= 0) return 0;
  return static_cast<int64_t>(WriteAll(handle_, buffer, static_cast<size_t>(count)));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (handle_ < 0) return 0;
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t r = ::lseek(handle_, static_cast<off_t>(offset), whence);
  return r < 0 ? 0 : static_cast<int64_t>(r);
}

void TFileStream::SetSize(int64_t size) {
  if (handle_ < 0) return;
  const int64_t position = Position();
  if (::ftruncate(handle_, static_cast<off_t>(size < 0 ? 0 : size)) != 0)
    throw EWriteError("Stream write error");
  if (position > size) Seek(size, TSeekOrigin::soBeginning);
}

size_t WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
}
