#include "rescue/download.h"

#include <filesystem>

#include "base/exception.h"
#include "base/net_exceptions.h"
#include "base/safe_file_writer.h"
#include "base/text.h"
#include "http/http.h"
#include "http/response_decision.h"
#include "page/web_archive_capture.h"
#include "rescue/saved_names.h"

namespace {

constexpr char kSeparator = '/';
constexpr char kSeparators[] = "/";

[[noreturn]] void RefuseFile(const std::string& path, const char* reason) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", path.c_str(), reason));
}

// Where the folder part of a path ends: just after its last separator (0 when it has none).
size_t FolderEnd(const std::string& path) {
  const size_t at = path.find_last_of(kSeparators);
  return at == std::string::npos ? 0 : at + 1;
}

}  // namespace

void CheckDelivered(TNetHTTP& http) {
  const int code = http.StatusCode();
  if (!IsSuccessStatus(code))
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
  const std::string path = outPath + kSeparator + SavedFileName(address);
  if (outPath.empty()) RefuseFile(path, "No output folder is set");
  return path;
}

void DownloadFile(TNetHTTP& http, const std::string& address, const std::string& path,
                  bool keepConnection) {
  const size_t folderEnd = FolderEnd(path);
  const std::string name = path.substr(folderEnd);
  if (name.empty() || name == "." || name == "..")
    RefuseFile(path, "The path names no file inside a folder");

  if (folderEnd > 0) {
    std::error_code ignored;
    std::filesystem::create_directories(path.substr(0, folderEnd), ignored);
  }
  TSafeFileWriter file(path);
  // A web archive's capture is asked for in its raw form: the bytes captured, not a player page.
  http.HttpGet(RawCaptureAddress(address), file.Stream());
  CheckDelivered(http);
  file.Commit();
  if (!keepConnection) http.CloseConnection();
}
