#include "rescue/saved_names.h"

#include "base/charset.h"
#include "base/exception.h"
#include "base/text.h"
#include "page/web_archive_capture.h"
#include "uri/address_encoding.h"

namespace {

// Bytes a name may take, leaving room for " (NN)" and the temporary file's decoration within
// the 255 bytes file systems allow.
constexpr size_t kMaxNameBytes = 200;
constexpr char kEmptyName[] = "index.swf";

bool Forbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' ||
         c == '"' || c == '<' || c == '>' || c == '|';
}

// `name` cut to kMaxNameBytes at a character boundary, its extension kept.
std::string Shortened(std::string name) {
  if (name.size() <= kMaxNameBytes) return name;
  const size_t dot = name.rfind('.');
  const std::string extension =
      dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : std::string();
  size_t keep = kMaxNameBytes - extension.size();
  // Not inside a UTF-8 character.
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
    --keep;
  return name.substr(0, keep) + extension;
}

// The path of an address (after the authority, before query and fragment), and its host and
// port; false when it names no host.
bool SplitAddress(const std::string& address, std::string& host, std::string& port,
                  std::string& path) {
  std::string full = address;
  TWebArchiveCapture capture;
  if (TWebArchiveCapture::Parse(address, capture)) full = capture.Original;
  const size_t slashes = full.find("://");
  if (slashes == std::string::npos) return false;
  const std::string scheme = LowerCase(full.substr(0, slashes));
  const size_t authorityEnd = std::min(full.find_first_of("/?#", slashes + 3), full.size());
  std::string authority = full.substr(slashes + 3, authorityEnd - slashes - 3);
  authority =
      authority.substr(authority.rfind('@') == std::string::npos ? 0 : authority.rfind('@') + 1);
  const size_t colon = authority.rfind(':');
  const bool bracketed = !authority.empty() && authority[0] == '[';
  host = colon != std::string::npos && (!bracketed || authority.find(']') < colon)
             ? authority.substr(0, colon)
             : authority;
  port = host.size() < authority.size() ? authority.substr(host.size() + 1) : std::string();
  if ((scheme == "http" && port == "80") || (scheme == "https" && port == "443") ||
      (scheme == "ftp" && port == "21"))
    port.clear();
  const size_t pathEnd = std::min(full.find_first_of("?#", authorityEnd), full.size());
  path = full.substr(authorityEnd, pathEnd - authorityEnd);
  return !host.empty();
}

}  // namespace

std::string SafeFileName(std::string_view segment) {
  std::string name = PercentDecoded(segment);
  // Bytes that are no UTF-8 (a path escaped in GBK by its server) keep their escapes.
  if (!IsUtf8(name)) name = std::string(segment);
  for (char& c : name)
    if (Forbidden(static_cast<unsigned char>(c))) c = '_';
  if (name.empty()) return kEmptyName;
  if (name == ".") return "_";
  if (name == "..") return "__";
  return Shortened(std::move(name));
}

std::string SavedFileName(const std::string& address) {
  std::string host, port, path;
  if (!SplitAddress(address, host, port, path)) {
    path = address.substr(0, address.find_first_of("?#"));
  }
  const size_t slash = path.rfind('/');
  return SafeFileName(slash == std::string::npos ? path : std::string_view(path).substr(slash + 1));
}

std::string SitePath(const std::string& address) {
  std::string host, port, path;
  if (!SplitAddress(address, host, port, path))
    throw EFCreateError(Format("Cannot save \"%s\". The address names no host", address.c_str()));
  std::string place = SafeFileName(LowerCase(host) + (port.empty() ? "" : "_" + port));
  size_t at = 0;
  while (at < path.size()) {
    const size_t end = std::min(path.find('/', at), path.size());
    if (end > at) place += "/" + SafeFileName(std::string_view(path).substr(at, end - at));
    at = end + 1;
  }
  // A folder's address: the file the server gives for it.
  if (path.empty() || path.back() == '/') place += std::string("/") + kEmptyName;
  return place;
}
