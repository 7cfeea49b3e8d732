// Fetching the movie that the preview plays: into memory, with a size bound, the page's
// address as Referer, and a switch that lets another thread stop the transfer.
#pragma once

#include <cstdint>
#include <string>

#include "base/exception.h"
#include "base/string_stream.h"

class TNetCancelSwitch;
class TNetHTTP;

// The largest movie the preview holds in memory.
inline constexpr int64_t kPreviewMovieLimit = int64_t{256} * 1024 * 1024;

// A movie over the bound: "The movie is larger than 256 MiB; it is not previewed."
FG_DECLARE_EXCEPTION(EPreviewMovieTooLarge, Exception);
// The fetch was stopped by its cancel switch.
FG_DECLARE_EXCEPTION(EPreviewCancelled, Exception);

// A text stream that refuses to grow past `limit` bytes: the write that would cross it raises
// EPreviewMovieTooLarge and writes nothing.
class TBoundedStringStream : public TStringStream {
 public:
  explicit TBoundedStringStream(int64_t limit) : limit_(limit) {}
  int64_t Write(const void* buffer, int64_t count) override;

 private:
  int64_t limit_;
};

// The message of EPreviewMovieTooLarge for `limit` bytes.
std::string MovieTooLargeMessage(int64_t limit);

// GETs `address` with `http` and returns its body. The request carries `referer`; a response
// that announces more than `limit` bytes is refused before its body is read, one without a
// length once it has sent more. Only a 2xx answer counts (CheckDelivered). Raises
// EPreviewCancelled once `cancel` was switched (whatever the transfer ended with). The
// connection of `http` is closed at the end in every case, so that the next movie starts on
// a connection of its own.
std::string FetchPreviewMovie(TNetHTTP& http, const std::string& address,
                              const std::string& referer, TNetCancelSwitch& cancel,
                              int64_t limit = kPreviewMovieLimit);
