// Finding a quoted address around a ".swf" in text: what a page writes in a quoted attribute
// value, a script literal or JSON, wherever it stands.
#pragma once

#include <cstddef>

// The longest address looked for.
inline constexpr size_t kMaxQuotedAddress = 4096;

enum class TQuotedHit {
  qhNone,   // no quoted address there
  qhFound,  // [From, To) is the address, After the byte after its closing quote
  qhMore,   // the bytes at hand do not decide
};

// The quoted text around the ".swf" at d[dot]: from the nearest quote before it (at most
// kMaxQuotedAddress back, never before `floor`, no white space but blanks and no "<" ">"
// between) to the same quote after it, with at most a query or fragment between ".swf" and the
// quote. A quote with "\" in front closes too (JSON inside a string). `complete`: the bytes up
// to `hi` are all there are.
TQuotedHit QuotedAddressAt(const char* d, size_t floor, size_t dot, size_t hi, bool complete,
                           size_t& from, size_t& to, size_t& after);
