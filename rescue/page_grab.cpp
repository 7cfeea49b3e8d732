#include "rescue/page_grab.h"

#include <memory>

#include "base/charset.h"
#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "http/http.h"
#include "http/response_framing.h"
#include "page/listing_observer.h"
#include "page/page_reader_stream.h"
#include "rescue/web_client_settings.h"
#include "uri/uri.h"

std::string GetPageHtml(TNetHTTP& http, const std::string& address, int attempts) {
  TPageFetchOutcome outcome;
  return GetPageHtml(http, address, attempts, outcome);
}

std::string GetPageHtml(TNetHTTP& http, const std::string& address, int attempts,
                        TPageFetchOutcome& outcome) {
  std::unique_ptr<TStringStream> page;
  const bool fetched = FetchPage(http, address, attempts, outcome, [&page]() -> TStream& {
    page = std::make_unique<TStringStream>();
    return *page;
  });
  // Handed over, not copied: pages can be large.
  return fetched ? page->TakeDataString() : std::string();
}

bool FetchPage(TNetHTTP& http, const std::string& address, int attempts, TPageFetchOutcome& outcome,
               const TPageStreamFactory& newStream) {
  outcome.Fetched = false;
  outcome.AttemptsMade = 0;
  outcome.LastError = nullptr;
  outcome.FinalAddress.clear();
  if (attempts < 1) attempts = 1;
  for (; attempts > 0; --attempts) {
    ++outcome.AttemptsMade;
    try {
      TStream& page = newStream();
      http.Request.UserAgent = outcome.UserAgent;
      http.HttpGet(address, page);
      // With redirections followed, a call can end on an unfollowed 3xx once the maximum is
      // reached; that is not the page either.
      const int code = http.StatusCode();
      if (code < 200 || code > 299)
        throw ENetHTTPProtocolException(code, http.StatusLine(), std::string());
      outcome.FinalAddress = FinalPageAddress(http, address);
      http.Request.Referer = outcome.FinalAddress;
      outcome.Fetched = true;
      return true;
    } catch (...) {
      outcome.LastError = std::current_exception();
    }
  }
  return false;
}

std::string FinalPageAddress(const TNetHTTP& http, const std::string& requested) {
  const std::string final = FinalAddressOf(http);
  // Unless redirects led elsewhere, the address as it was given.
  return final.empty() || final == ComposedAddress(TNetURI(requested)) ? requested : final;
}

std::string ResponseCharset(const TNetHTTP& http) {
  return CharsetOfContentType(http.LastResponse.HeaderLines.ValueOf("Content-Type"));
}

namespace {

// The client's OnResponseHead while a page is read: the one it had, then the reader's.
class THeadScope {
 public:
  THeadScope(TNetHTTP& http, TNetOnResponseHead reader) : http_(http), kept_(http.OnResponseHead) {
    http_.OnResponseHead = [this, reader = std::move(reader)](TObject* sender,
                                                              const std::string& statusLine,
                                                              const TNetHeaderList& lines) {
      if (kept_) kept_(sender, statusLine, lines);
      reader(sender, statusLine, lines);
    };
  }
  ~THeadScope() { http_.OnResponseHead = kept_; }
  THeadScope(const THeadScope&) = delete;
  THeadScope& operator=(const THeadScope&) = delete;

 private:
  TNetHTTP& http_;
  TNetOnResponseHead kept_;
};

}  // namespace

std::unique_ptr<TPageReaderStream> ReadPage(TNetHTTP& http, const std::string& address,
                                            int attempts, TPageFetchOutcome& outcome,
                                            TListingObserver* observer) {
  std::unique_ptr<TPageReaderStream> reader;
  // Only a success is the page: the heads of redirections and refusals tell nothing of it.
  const THeadScope head(
      http, [&](TObject*, const std::string& statusLine, const TNetHeaderList& lines) {
        const int code = ParseStatusCode(statusLine);
        if (reader && code >= 200 && code <= 299)
          reader->SetPageHead(FinalPageAddress(http, address),
                              CharsetOfContentType(lines.ValueOf("Content-Type")));
      });
  FetchPage(http, address, attempts, outcome, [&]() -> TStream& {
    // The reader of a failed attempt stops before the next one starts the list again.
    reader.reset();
    if (observer) observer->OnRelisted();
    reader = std::make_unique<TPageReaderStream>(address, observer);
    return *reader;
  });
  if (!outcome.Fetched) reader.reset();
  return reader;
}
