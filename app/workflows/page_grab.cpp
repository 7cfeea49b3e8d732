#include "app/workflows/page_grab.h"

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "http/http.h"

std::string GetPageHtml(TNetHTTP& http, const std::string& address, int attempts) {
  TPageFetchOutcome outcome;
  return GetPageHtml(http, address, attempts, outcome);
}

std::string GetPageHtml(TNetHTTP& http, const std::string& address, int attempts,
                        TPageFetchOutcome& outcome) {
  outcome.Fetched = false;
  outcome.AttemptsMade = 0;
  outcome.LastError = nullptr;
  if (attempts < 1) attempts = 1;
  for (; attempts > 0; --attempts) {
    // A fresh stream per attempt: a failed attempt's partial body is dropped with it.
    TStringStream page;
    ++outcome.AttemptsMade;
    try {
      http.Request.UserAgent = outcome.UserAgent;
      http.HttpGet(address, page);
      // With redirections followed, a call can end on an unfollowed 3xx once the maximum is
      // reached; that is not the page either.
      const int code = http.StatusCode();
      if (code < 200 || code > 299)
        throw ENetHTTPProtocolException(code, http.StatusLine(), std::string());
      http.Request.Referer = address;
      outcome.Fetched = true;
      // Handed over, not copied: pages can be large.
      return page.TakeDataString();
    } catch (...) {
      outcome.LastError = std::current_exception();
    }
  }
  return std::string();
}
