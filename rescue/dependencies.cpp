#include "rescue/dependencies.h"

#include <exception>
#include <vector>

#include "base/charset.h"
#include "base/exception.h"
#include "base/text.h"
#include "http/http.h"
#include "page/reference_resolution.h"
#include "rescue/download.h"
#include "rescue/error_text.h"
#include "rescue/movie_refs.h"
#include "rescue/saved_names.h"
#include "rescue/transfer_scheduler.h"
#include "swf/movie_container.h"
#include "swf/xml_addresses.h"
#include "uri/address_encoding.h"

namespace {

[[noreturn]] void Refuse(const std::string& written, const char* reason) {
  throw EFCreateError(Format("Cannot save \"%s\". %s", written.c_str(), reason));
}

std::string WithoutQuery(const std::string& address) {
  return address.substr(0, address.find_first_of("?#"));
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

// `written` resolved against the address of the file that names it, as a request carries it.
// Movies of version 6 on and XML files write UTF-8; older movies the code page of the system
// they were made on.
std::string RequestedAddress(const std::string& base, const std::string& written) {
  const std::string resolved = ResolveReference(base, written);
  return EncodedAddress(resolved, IsUtf8(resolved) ? std::string(kUtf8) : FallbackPageCharset());
}

}  // namespace

std::string DependencyPlace(const std::string& root, const std::string& written,
                            const std::string& resolved) {
  const std::string bare = WithoutQuery(resolved);
  if (bare.compare(0, root.size(), root) != 0) {
    if (bare.find("://") == std::string::npos) Refuse(written, "The address names no host");
    return SitePath(bare);
  }
  const std::string path = bare.substr(root.size());
  std::string place;
  size_t at = 0;
  while (at < path.size()) {
    const size_t end = std::min(path.find('/', at), path.size());
    const std::string_view part = std::string_view(path).substr(at, end - at);
    if (part == "." || part == "..") Refuse(written, "The path leaves the output folder");
    if (!part.empty()) place += (place.empty() ? "" : "/") + SafeFileName(part);
    at = end + 1;
  }
  // A folder's address: the file the server gives for it.
  if (path.empty() || path.back() == '/') place += (place.empty() ? "" : "/") + SafeFileName("");
  return place;
}

TDependencyWalk::TDependencyWalk(TNetHTTP& http, TRunFiles& files) : http_(http), files_(files) {}

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
      for (const std::string& address : MovieRefs(bytes, std::string()))
        names.emplace_back(address, RequestedAddress(file.Address, address));
    } else if (LooksLikeXml(file.Path, bytes)) {
      for (const std::string& address : XmlAddresses(bytes))
        names.emplace_back(address, RequestedAddress(file.Address, address));
    }
  } catch (const Exception&) {
    // A file that cannot be read for names was still saved; it simply names nothing.
    return;
  }
  std::vector<TPending> pending;
  for (const auto& [written, resolved] : names)
    Prepare(file, written, resolved, root, pending);
  if (scheduler_) {
    std::vector<TTransferJob> jobs;
    for (const TPending& one : pending)
      if (!one.Refused) jobs.push_back({one.Address, one.Referer, one.Claim.Path});
    const std::vector<TTransferOutcome> outcomes = scheduler_->Run(jobs);
    // The outcomes follow the pending files that were fetched, in their order.
    size_t next = 0;
    for (const TPending& one : pending) {
      if (one.Refused) {
        Finish(one, one.Refused, queue);
        continue;
      }
      const TTransferOutcome& outcome = outcomes[next++];
      // A stop ends the walk: what it cut is no missing file.
      if (scheduler_->Stopped() && !outcome.Saved) {
        files_.Release(one.Address);
        continue;
      }
      Finish(one, outcome.Saved ? nullptr : outcome.Error, queue);
    }
    return;
  }
  for (const TPending& one : pending) {
    if (one.Refused) {
      Finish(one, one.Refused, queue);
      continue;
    }
    if (Stopped && Stopped()) {
      files_.Release(one.Address);
      continue;
    }
    const std::string referer = http_.Request.Referer;
    http_.Request.Referer = one.Referer;
    std::exception_ptr error;
    try {
      DownloadFile(http_, one.Address, one.Claim.Path);
    } catch (...) {
      error = std::current_exception();
    }
    http_.Request.Referer = referer;
    Finish(one, error, queue);
  }
}

void TDependencyWalk::Prepare(const TFile& referrer, const std::string& written,
                              const std::string& resolved, const std::string& root,
                              std::vector<TPending>& pending) {
  const std::string address = resolved.substr(0, resolved.find('#'));
  if ((Stopped && Stopped()) || !seen_.insert(address).second) return;
  try {
    if (saved_ + missing_ + static_cast<int>(pending.size()) >= kMaxDependencyFiles)
      throw EFCreateError(Format("More than %d dependent files", kMaxDependencyFiles));
    const std::string place = files_.Layout() == TSaveLayout::slSite
                                  ? SitePath(address)
                                  : DependencyPlace(root, written, resolved);
    pending.push_back(
        {address, files_.Claim(address, place), referrer.Depth + 1, referrer.Address, nullptr});
  } catch (...) {
    pending.push_back(
        {address, {}, referrer.Depth + 1, referrer.Address, std::current_exception()});
  }
}

void TDependencyWalk::Finish(const TPending& file, const std::exception_ptr& error,
                             std::deque<TFile>& queue) {
  if (error) {
    if (!file.Refused) files_.Release(file.Address);
    ++missing_;
    if (OnMissing) OnMissing(file.Address, ErrorMessageOf(error));
    return;
  }
  ++saved_;
  if (OnSaved) OnSaved(file.Claim.Path, file.Claim.TakenName);
  if (file.Depth < kMaxDependencyDepth)
    queue.push_back({file.Address, file.Claim.Path, file.Depth});
}
