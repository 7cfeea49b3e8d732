#include "rescue/preview_movie.h"

#include "base/text.h"
#include "http/http.h"
#include "http/response_decision.h"
#include "net/cancel_switch.h"
#include "rescue/download.h"

int64_t TBoundedStringStream::Write(const void* buffer, int64_t count) {
  if (count > 0 && Position() + count > limit_)
    throw EPreviewMovieTooLarge(MovieTooLargeMessage(limit_));
  return TStringStream::Write(buffer, count);
}

std::string MovieTooLargeMessage(int64_t limit) {
  return Format("The movie is larger than %lld MiB; it is not previewed.",
                static_cast<long long>(limit / (1024 * 1024)));
}

namespace {

// The client's fields that one fetch changes, given back afterwards.
class TFetchScope {
 public:
  TFetchScope(TNetHTTP& http, TNetCancelSwitch& cancel)
      : http_(http),
        cancel_(cancel),
        referer_(http.Request.Referer),
        on_response_head_(http.OnResponseHead) {
    cancel_.Attach(http_);
  }
  ~TFetchScope() {
    try {
      if (http_.IsConnected()) http_.CloseConnection();
    } catch (...) {
      // The transfer's own outcome is the one to report.
    }
    cancel_.Detach();
    http_.Request.Referer = referer_;
    http_.OnResponseHead = on_response_head_;
  }

 private:
  TNetHTTP& http_;
  TNetCancelSwitch& cancel_;
  std::string referer_;
  TNetOnResponseHead on_response_head_;
};

}  // namespace

std::string FetchPreviewMovie(TNetHTTP& http, const std::string& address,
                              const std::string& referer, TNetCancelSwitch& cancel, int64_t limit) {
  if (cancel.Cancelled()) throw EPreviewCancelled("Cancelled.");
  TBoundedStringStream body(limit);
  {
    TFetchScope scope(http, cancel);
    http.Request.Referer = referer;
    const TNetOnResponseHead previous = http.OnResponseHead;
    http.OnResponseHead = [&http, previous, limit](TObject* sender, const std::string& statusLine,
                                                   const TNetHeaderList& lines) {
      if (previous) previous(sender, statusLine, lines);
      // Read as 64 bits: the header record keeps only lengths that fit 32.
      const int code = http.LastResponse.StatusCode();
      const int64_t length = StrToInt64Def(Trim(lines.ValueOf("Content-Length")), -1);
      if (IsSuccessStatus(code) && length > limit)
        throw EPreviewMovieTooLarge(MovieTooLargeMessage(limit));
    };
    try {
      http.HttpGet(address, body);
      CheckDelivered(http);
    } catch (...) {
      if (cancel.Cancelled()) throw EPreviewCancelled("Cancelled.");
      throw;
    }
  }
  // A cancel that came as the last bytes arrived: the movie is no longer wanted.
  if (cancel.Cancelled()) throw EPreviewCancelled("Cancelled.");
  return body.TakeDataString();
}
