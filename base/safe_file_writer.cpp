#include "base/safe_file_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/exception.h"
#include "base/file_stream.h"
#include "base/text.h"

namespace {

// Bytes of the file name kept in the temporary file's name, so that it stays within the file
// system's limit of 255 bytes.
constexpr size_t kTemporaryNameRoom = 200;

// The temporary files of the writers alive, for a signal handler: it may only read what is
// there, so they are kept in a fixed table of pointers to each writer's own name.
constexpr size_t kWatchedFiles = 64;
std::atomic<const char*> g_unfinished[kWatchedFiles];

void Watch(const char* path) {
  for (std::atomic<const char*>& slot : g_unfinished) {
    const char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, path)) return;
  }
  // More writers at once than slots: the others are only removed by their own destructors.
}

void Unwatch(const char* path) {
  for (std::atomic<const char*>& slot : g_unfinished) {
    const char* expected = path;
    if (slot.compare_exchange_strong(expected, nullptr)) return;
  }
}

extern "C" void RemoveAndEnd(int signal) {
  RemoveUnfinishedFiles();
  ::_exit(128 + signal);
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

mode_t ModeFor(const std::string& destination, const TSafeFileOptions& options) {
  struct stat info;
  if (options.KeepMode && ::stat(destination.c_str(), &info) == 0 && S_ISREG(info.st_mode))
    return info.st_mode & 07777;
  return NewFileMode();
}

}  // namespace

TSafeFileWriter::TSafeFileWriter(const std::string& destination, TSafeFileOptions options)
    : destination_(destination), options_(options) {
  const size_t slash = destination.rfind('/');
  const size_t folderEnd = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = destination.substr(folderEnd, kTemporaryNameRoom);
  temporary_ = destination.substr(0, folderEnd) + "." + name + ".part-XXXXXX";
  // Watched before it exists: a signal right after the file is made must find its name (which
  // mkostemp writes in place before it makes the file).
  Watch(temporary_.c_str());
  const int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    Unwatch(temporary_.c_str());
    Refuse(error);
  }
  stream_ = std::make_unique<TFileStream>(temporary_, fd);
  // mkstemp makes the file private; the result gets the permissions asked for.
  if (::fchmod(fd, ModeFor(destination, options_)) != 0 && options_.KeepMode) {
    const int error = errno;
    stream_.reset();
    Unwatch(temporary_.c_str());
    ::unlink(temporary_.c_str());
    Refuse(error);
  }
}

TSafeFileWriter::~TSafeFileWriter() {
  if (committed_) return;
  stream_.reset();
  Unwatch(temporary_.c_str());
  ::unlink(temporary_.c_str());
}

TStream& TSafeFileWriter::Stream() {
  return *stream_;
}

void TSafeFileWriter::Write(const void* data, size_t size) {
  if (WriteAll(stream_->Handle(), data, size) != size) Refuse(errno);
}

void TSafeFileWriter::Commit() {
  if (options_.Sync && ::fsync(stream_->Handle()) != 0) Refuse(errno);
  stream_->Close();
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) Refuse(errno);
  committed_ = true;
  Unwatch(temporary_.c_str());
}

void TSafeFileWriter::Refuse(int error) const {
  throw EFCreateError(
      Format("Cannot create file \"%s\". %s", destination_.c_str(), std::strerror(error)));
}

void RemoveUnfinishedFiles() noexcept {
  for (std::atomic<const char*>& slot : g_unfinished)
    if (const char* path = slot.load()) ::unlink(path);
}

void RemoveUnfinishedFilesOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveAndEnd;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}
