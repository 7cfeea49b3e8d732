#include "swf/address_filter.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// Longer texts are data, not addresses.
constexpr size_t kMaxAddressLength = 2048;

// Extensions of the files movies load at run time: movies and libraries, data and text,
// sounds and video, pictures, style sheets, and server scripts that answer with any of these.
constexpr std::array<std::string_view, 43> kExtensions = {
    "swf",  "swz",  "xml",  "txt", "json", "amf",  "bin", "dat", "csv", "ini", "cfg",
    "css",  "mp3",  "wav",  "ogg", "aac",  "m4a",  "flv", "f4v", "mp4", "m4v", "mov",
    "jpg",  "jpeg", "png",  "gif", "bmp",  "ttf",  "otf", "zip", "pbj", "xsl", "php",
    "php3", "php4", "php5", "asp", "aspx", "ashx", "jsp", "cgi", "pl",  "cfm"};

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

bool KnownExtension(std::string_view extension) {
  if (extension.empty() || extension.size() > 5) return false;
  char lower[5];
  for (size_t i = 0; i < extension.size(); ++i)
    lower[i] = Lower(extension[i]);
  const std::string_view key(lower, extension.size());
  return std::find(kExtensions.begin(), kExtensions.end(), key) != kExtensions.end();
}

// Bytes that never appear in an address as a movie writes it: controls, spaces and the
// characters that delimit addresses in text.
bool Unfit(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= ' ' || byte == 0x7F || c == '"' || c == '<' || c == '>' || c == '{' || c == '}' ||
         c == '|' || c == '^' || c == '`' || c == '\'';
}

// The length of a scheme and its ":" at the start of `text`, 0 when there is none. One letter
// before ":" is a drive, not a scheme.
size_t SchemeLength(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && ((Lower(text[i]) >= 'a' && Lower(text[i]) <= 'z') ||
                             (i > 0 && ((text[i] >= '0' && text[i] <= '9') || text[i] == '+' ||
                                        text[i] == '-' || text[i] == '.'))))
    ++i;
  if (i < 2 || i >= text.size() || text[i] != ':') return 0;
  return i + 1;
}

}  // namespace

bool IsLoadableAddress(std::string_view text) {
  if (text.empty() || text.size() > kMaxAddressLength) return false;
  if (std::any_of(text.begin(), text.end(), Unfit)) return false;

  const size_t scheme = SchemeLength(text);
  if (scheme > 0) {
    if (!StartsWithNoCase(text, "http://") && !StartsWithNoCase(text, "https://") &&
        !StartsWithNoCase(text, "file://"))
      return false;
    // Beyond the host there must be a file: a bare host or a folder is a page to visit or a
    // piece that code completes.
    const std::string_view rest = text.substr(scheme + 2);
    const size_t pathStart = rest.find_first_of("/?#");
    if (pathStart == std::string_view::npos) return false;
    const std::string_view path =
        rest.substr(pathStart, rest.find_first_of("?#", pathStart) - pathStart);
    if (!path.empty() && path.back() == '/' && rest.find('?') == std::string_view::npos)
      return false;
    return rest.substr(pathStart) != "/";
  }

  const std::string_view path = text.substr(0, text.find_first_of("?#"));
  const size_t segmentStart = path.find_last_of("/\\") + 1;  // npos + 1 == 0
  const std::string_view segment = path.substr(segmentStart);
  const size_t dot = segment.rfind('.');
  // ".xml" alone is the tail of a name that code puts together.
  if (dot == std::string_view::npos || dot == 0) return false;
  return KnownExtension(segment.substr(dot + 1));
}

bool IsLoadSiteAddress(std::string_view text) {
  if (text.empty() || text.size() > kMaxAddressLength) return false;
  if (std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < ' ' || byte == 0x7F;
      }))
    return false;
  return SchemeLength(text) == 0 || StartsWithNoCase(text, "http://") ||
         StartsWithNoCase(text, "https://") || StartsWithNoCase(text, "file://");
}
