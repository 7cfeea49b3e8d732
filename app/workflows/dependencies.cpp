#include "app/workflows/dependencies.h"

#include <exception>
#include <vector>

#include "app/workflows/download.h"
#include "app/workflows/movie_refs.h"
#include "base/exception.h"
#include "base/text.h"
#include "http/http.h"
#include "page/reference_resolution.h"
#include "swf/movie_container.h"
#include "swf/xml_addresses.h"

namespace {

[[noreturn]] void Refuse(const std::string& written, const char* reason) {
  throw EFCreateError(Format("Cannot save \"%s\". %s", written.c_str(), reason));
}

std::string WithoutQuery(const std::string& address) {
  return address.substr(0, address.find_first_of("?#"));
}

// A scheme of more than one letter: "C:" is a drive.
bool WrittenWithScheme(const std::string& text) {
  const size_t colon = text.find(':');
  return colon != std::string::npos && colon > 1 && text.find_first_of("/?#") > colon;
}

// The folder address of a file: up to and including the last "/" of its path.
std::string FolderAddress(const std::string& address) {
  const std::string bare = WithoutQuery(address);
  const size_t hostStart = bare.find("//");
  const size_t slash = bare.rfind('/');
  if (hostStart == std::string::npos || slash <= hostStart + 1) return bare + "/";
  return bare.substr(0, slash + 1);
}

bool LooksLikeXml(const std::string& path, const std::string& bytes) {
  if (path.size() >= 4 && SameText(path.substr(path.size() - 4), ".xml")) return true;
  const size_t first = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  return first != std::string::npos && bytes[first] == '<';
}

std::string Message() {
  try {
    throw;
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

}  // namespace

std::string DependencyPlace(const std::string& root, const std::string& written,
                            const std::string& resolved) {
  const bool relative = !WrittenWithScheme(written) && written.rfind("//", 0) != 0;
  if (relative) {
    if (!written.empty() && (written[0] == '/' || written[0] == '\\'))
      Refuse(written, "An absolute path would leave the output folder");
    if (written.size() >= 2 && written[1] == ':')
      Refuse(written, "A drive letter would leave the output folder");
  }
  const std::string bare = WithoutQuery(resolved);
  std::string place;
  if (bare.compare(0, root.size(), root) == 0) {
    place = bare.substr(root.size());
  } else {
    if (relative) Refuse(written, "The path leaves the output folder");
    const size_t hostStart = bare.find("//");
    if (hostStart == std::string::npos) Refuse(written, "The address names no host");
    const size_t pathStart = bare.find('/', hostStart + 2);
    std::string host =
        bare.substr(hostStart + 2,
                    pathStart == std::string::npos ? std::string::npos : pathStart - hostStart - 2);
    host = host.substr(host.rfind('@') == std::string::npos ? 0 : host.rfind('@') + 1);
    host = host.substr(0, host.find(':'));
    if (host.empty() || pathStart == std::string::npos)
      Refuse(written, "The address names no file");
    place = host + bare.substr(pathStart);
  }
  // Every part must name something inside the folder.
  size_t at = 0;
  while (true) {
    const size_t end = place.find('/', at);
    const std::string part =
        place.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string::npos ||
        (part.size() >= 2 && part[1] == ':' && at == 0))
      Refuse(written, end == std::string::npos && part.empty()
                          ? "The address names no file"
                          : "The path leaves the output folder");
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return place;
}

TDependencyWalk::TDependencyWalk(TNetHTTP& http, std::string folder)
    : http_(http), folder_(std::move(folder)) {}

void TDependencyWalk::SaveDependencies(const std::string& address, const std::string& path) {
  seen_.insert(address.substr(0, address.find('#')));
  const std::string root = FolderAddress(address);
  std::deque<TFile> queue{{address, path, 0}};
  while (!queue.empty() && !(Stopped && Stopped())) {
    const TFile file = queue.front();
    queue.pop_front();
    Visit(file, root, queue);
  }
}

void TDependencyWalk::Visit(const TFile& file, const std::string& root, std::deque<TFile>& queue) {
  std::vector<std::pair<std::string, std::string>> names;  // as written, resolved
  try {
    const std::string bytes = ReadBoundedFile(file.Path);
    if (LooksLikeMovie(bytes)) {
      const std::vector<std::string> written = MovieRefs(bytes, std::string());
      for (const std::string& address : written)
        names.emplace_back(address, ResolveReference(file.Address, address));
    } else if (LooksLikeXml(file.Path, bytes)) {
      for (const std::string& address : XmlAddresses(bytes))
        names.emplace_back(address, ResolveReference(file.Address, address));
    }
  } catch (const Exception&) {
    // A file that cannot be read for names was still saved; it simply names nothing.
    return;
  }
  for (const auto& [written, resolved] : names)
    Fetch(file, written, resolved, root, queue);
}

void TDependencyWalk::Fetch(const TFile& referrer, const std::string& written,
                            const std::string& resolved, const std::string& root,
                            std::deque<TFile>& queue) {
  const std::string address = resolved.substr(0, resolved.find('#'));
  if ((Stopped && Stopped()) || !seen_.insert(address).second) return;
  try {
    if (saved_ + missing_ >= kMaxDependencyFiles)
      throw EFCreateError(Format("More than %d dependent files", kMaxDependencyFiles));
    const std::string path = folder_ + "/" + DependencyPlace(root, written, resolved);
    const std::string referer = http_.Request.Referer;
    http_.Request.Referer = referrer.Address;
    try {
      DownloadFile(http_, address, path);
    } catch (...) {
      http_.Request.Referer = referer;
      throw;
    }
    http_.Request.Referer = referer;
    ++saved_;
    if (OnSaved) OnSaved(path);
    if (referrer.Depth + 1 < kMaxDependencyDepth)
      queue.push_back({address, path, referrer.Depth + 1});
  } catch (...) {
    ++missing_;
    if (OnMissing) OnMissing(address, Message());
  }
}
