#include "page/reference_resolution.h"

#include <algorithm>
#include <vector>

namespace {

struct TReferenceParts {
  std::string Scheme;  // without ":"
  bool HasAuthority = false;
  std::string Authority;
  std::string Path;
  bool HasQuery = false;
  std::string Query;
  bool HasFragment = false;
  std::string Fragment;
};

TReferenceParts Split(const std::string& text) {
  TReferenceParts parts;
  size_t at = 0;
  std::string scheme;
  if (HasScheme(text, &scheme)) {
    parts.Scheme = scheme;
    at = scheme.size() + 1;
  }
  if (text.compare(at, 2, "//") == 0) {
    parts.HasAuthority = true;
    const size_t end = text.find_first_of("/?#", at + 2);
    parts.Authority =
        text.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2);
    at = end == std::string::npos ? text.size() : end;
  }
  const size_t pathEnd = std::min(text.find_first_of("?#", at), text.size());
  parts.Path = text.substr(at, pathEnd - at);
  at = pathEnd;
  if (at < text.size() && text[at] == '?') {
    parts.HasQuery = true;
    const size_t end = std::min(text.find('#', at), text.size());
    parts.Query = text.substr(at + 1, end - at - 1);
    at = end;
  }
  if (at < text.size() && text[at] == '#') {
    parts.HasFragment = true;
    parts.Fragment = text.substr(at + 1);
  }
  return parts;
}

// Whether a segment of `path` is "." or "..".
bool HasDotSegment(const std::string& path) {
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const size_t length = end - start;
    if ((length == 1 || length == 2) && path.compare(start, length, "..", length) == 0) return true;
    start = end + 1;
  }
  return false;
}

// "." and ".." segments taken out; ".." never climbs above the root.
std::string RemoveDotSegments(const std::string& path) {
  // Most paths have none, and come back as they are.
  if (!HasDotSegment(path)) return path;
  std::vector<std::string> out;
  const bool rooted = !path.empty() && path[0] == '/';
  size_t at = rooted ? 1 : 0;
  bool trailing = false;
  while (at <= path.size()) {
    const size_t end = std::min(path.find('/', at), path.size());
    const std::string segment = path.substr(at, end - at);
    trailing = false;
    if (segment == ".") {
      trailing = true;
    } else if (segment == "..") {
      if (!out.empty()) out.pop_back();
      trailing = true;
    } else {
      out.push_back(segment);
    }
    at = end + 1;
  }
  std::string result = rooted ? "/" : "";
  for (size_t i = 0; i < out.size(); ++i) {
    if (i > 0) result += '/';
    result += out[i];
  }
  if (trailing && !out.empty()) result += '/';
  return result;
}

std::string Merge(const TReferenceParts& base, const std::string& path) {
  if (base.HasAuthority && base.Path.empty()) return "/" + path;
  const size_t slash = base.Path.rfind('/');
  return slash == std::string::npos ? path : base.Path.substr(0, slash + 1) + path;
}

std::string Compose(const TReferenceParts& parts) {
  std::string text;
  if (!parts.Scheme.empty()) text += parts.Scheme + ":";
  if (parts.HasAuthority) text += "//" + parts.Authority;
  text += parts.Path;
  if (parts.HasQuery) text += "?" + parts.Query;
  if (parts.HasFragment) text += "#" + parts.Fragment;
  return text;
}

// Whether the path of `text` (from `from`, just after its scheme's ":") may hold a "." or ".."
// segment: without one, resolving an address that has a scheme gives it back unchanged.
bool MayHaveDotSegment(std::string_view text, size_t from) {
  for (size_t i = from; i < text.size() && text[i] != '?' && text[i] != '#'; ++i)
    if (text[i] == '.' && (text[i - 1] == '/' || text[i - 1] == ':')) return true;
  return false;
}

// The base split, as the last time when it is the same: a page's references are all resolved
// against one base.
const TReferenceParts& SplitBase(const std::string& base) {
  thread_local std::string last;
  thread_local TReferenceParts parts = Split("http://");
  if (base != last) {
    parts = Split(HasScheme(base) ? base : "http://" + base);
    last = base;
  }
  return parts;
}

}  // namespace

bool HasScheme(std::string_view text, std::string* scheme) {
  // ASCII only, as schemes are, whatever the locale's letters.
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (text.empty() || !letter(text[0])) return false;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') {
      if (scheme) scheme->assign(text.substr(0, i));
      return true;
    }
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

bool ResolvesToItself(std::string_view reference) {
  std::string scheme;
  return HasScheme(reference, &scheme) && ResolvesToItself(reference, scheme.size());
}

bool ResolvesToItself(std::string_view reference, size_t schemeLength) {
  return !MayHaveDotSegment(reference, schemeLength + 1);
}

std::string ResolveReference(const std::string& base, std::string reference) {
  // Most addresses a page names are absolute already.
  if (ResolvesToItself(reference)) return reference;
  const TReferenceParts r = Split(reference);
  TReferenceParts t;
  if (!r.Scheme.empty()) {
    t = r;
    t.Path = RemoveDotSegments(r.Path);
  } else {
    const TReferenceParts& b = SplitBase(base);
    if (r.HasAuthority) {
      t = r;
      t.Path = RemoveDotSegments(r.Path);
    } else {
      if (r.Path.empty()) {
        t.Path = b.Path;
        t.HasQuery = r.HasQuery || b.HasQuery;
        t.Query = r.HasQuery ? r.Query : b.Query;
      } else {
        t.Path = RemoveDotSegments(r.Path[0] == '/' ? r.Path : Merge(b, r.Path));
        t.HasQuery = r.HasQuery;
        t.Query = r.Query;
      }
      t.HasAuthority = b.HasAuthority;
      t.Authority = b.Authority;
    }
    t.Scheme = b.Scheme;
    t.HasFragment = r.HasFragment;
    t.Fragment = r.Fragment;
  }
  return Compose(t);
}
