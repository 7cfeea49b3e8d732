#include "cli/output.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/exception.h"
#include "base/file_stream.h"
#include "base/text.h"

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

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TSafeOutputFile::TSafeOutputFile(const std::string& destination) : destination_(destination) {
  std::string pattern = FolderOf(destination) + "/." + NameOf(destination) + ".part-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    const std::string reason = std::strerror(errno);
    throw EFCreateError(
        Format("Cannot create file \"%s\". %s", destination.c_str(), reason.c_str()));
  }
  temporary_ = pattern;
  // mkstemp makes the file private; the result should get the permissions a new file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  try {
    stream_ = std::make_unique<TFileStream>(temporary_, TFileMode::fmOpenReadWrite);
  } catch (...) {
    ::unlink(temporary_.c_str());
    throw;
  }
}

TSafeOutputFile::~TSafeOutputFile() {
  if (committed_) return;
  stream_.reset();
  ::unlink(temporary_.c_str());
}

TStream& TSafeOutputFile::Stream() {
  return *stream_;
}

void TSafeOutputFile::Commit() {
  stream_->Close();
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    throw EFCreateError(
        Format("Cannot create file \"%s\". %s", destination_.c_str(), reason.c_str()));
  }
  committed_ = true;
}

}  // namespace cli
