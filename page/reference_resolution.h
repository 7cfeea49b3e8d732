// Making the addresses a page names absolute, the way a browser does for links.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `reference` resolved against the absolute address `base` (relative paths, "..", ".", paths
// from the root, protocol-relative "//host/..." and queries); a reference with a scheme of its
// own stays as it is, dot segments removed. A `base` without a scheme counts as http. Nothing
// is percent-encoded or decoded; the fragment is kept (callers drop it).
std::string ResolveReference(const std::string& base, std::string reference);

// Whether ResolveReference gives `reference` back as it is, whatever the base: it has a scheme
// and no "." or ".." segment.
bool ResolvesToItself(std::string_view reference);
// As ResolvesToItself, for a reference known to start with a scheme of `schemeLength` bytes.
bool ResolvesToItself(std::string_view reference, size_t schemeLength);

// Whether `text` starts with a scheme ("http:", "ftp:", "javascript:") and, if so, which:
// letters, digits, "+", "-" and "." after a first letter, up to the first ":".
bool HasScheme(std::string_view text, std::string* scheme = nullptr);
