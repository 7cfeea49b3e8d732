#include "app/workflows/download.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/exception.h"
#include "base/file_stream.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/http.h"
#include "page/web_archive_capture.h"

namespace {

constexpr char kSeparator = '/';
constexpr char kSeparators[] = "/";

// Bytes of the file name kept in the temporary file's name.
constexpr size_t kTemporaryNameRoom = 200;

[[noreturn]] void RefuseFile(const std::string& path, const char* reason) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", path.c_str(), reason));
}

// Where the folder part of a path ends: just after its last separator (0 when it has none).
size_t FolderEnd(const std::string& path) {
  const size_t at = path.find_last_of(kSeparators);
  return at == std::string::npos ? 0 : at + 1;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

TPartFile::TPartFile(const std::string& destination) : destination_(destination) {
  const size_t folderEnd = FolderEnd(destination);
  const std::string folder = destination.substr(0, folderEnd);
  // Cut so that the temporary name stays within the file system's limit of 255 bytes.
  const std::string name = destination.substr(folderEnd, kTemporaryNameRoom);
  std::string pattern = folder + "." + name + ".part-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    const std::string reason = std::strerror(errno);
    RefuseFile(destination, reason.c_str());
  }
  temporary_ = pattern;
  // mkstemp makes the file private; the result gets the permissions of any new file.
  ::fchmod(fd, NewFileMode());
  ::close(fd);
  try {
    stream_ = std::make_unique<TFileStream>(temporary_, TFileMode::fmOpenReadWrite);
  } catch (...) {
    ::unlink(temporary_.c_str());
    throw;
  }
}

TPartFile::~TPartFile() {
  if (committed_) return;
  try {
    stream_.reset();
  } catch (...) {
    // Already failing; the file goes away below.
  }
  ::unlink(temporary_.c_str());
}

TStream& TPartFile::Stream() {
  return *stream_;
}

void TPartFile::Commit() {
  stream_->Close();
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    RefuseFile(destination_, reason.c_str());
  }
  committed_ = true;
}

void CheckDelivered(TNetHTTP& http) {
  const int code = http.StatusCode();
  if (code < 200 || code > 299)
    throw ENetHTTPProtocolException(code, http.StatusLine(), std::string());
}

std::string UrlFileName(const std::string& address) {
  const size_t slash = address.rfind('/');
  return slash == std::string::npos ? address : address.substr(slash + 1);
}

bool UsableFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(kSeparators) == std::string::npos;
}

std::string DestinationPath(const std::string& outPath, const std::string& address) {
  return outPath + kSeparator + UrlFileName(address);
}

std::string CheckedDestinationPath(const std::string& outPath, const std::string& address) {
  const std::string path = DestinationPath(outPath, address);
  if (outPath.empty()) RefuseFile(path, "No output folder is set");
  if (!UsableFileName(UrlFileName(address)))
    RefuseFile(path, "The address names no file inside the output folder");
  return path;
}

void DownloadFile(TNetHTTP& http, const std::string& address, const std::string& path) {
  const size_t folderEnd = FolderEnd(path);
  const std::string name = path.substr(folderEnd);
  if (name.empty() || name == "." || name == "..")
    RefuseFile(path, "The path names no file inside a folder");

  if (folderEnd > 0) {
    std::error_code ignored;
    std::filesystem::create_directories(path.substr(0, folderEnd), ignored);
  }
  TPartFile file(path);
  // A web archive's capture is asked for in its raw form: the bytes captured, not a player page.
  http.HttpGet(RawCaptureAddress(address), file.Stream());
  CheckDelivered(http);
  file.Commit();
  http.CloseConnection();
}
