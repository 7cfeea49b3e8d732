// Fetching the page that a grab reads: a few attempts, each with a browser's User-Agent, and
// never an error for the caller.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

class TListingObserver;
class TNetHTTP;
class TPageReaderStream;
class TStream;

// The User-Agent of every page request.
inline constexpr char kPageUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98; Maxthon)";
// How often a grab asks for its page.
inline constexpr int kPageAttempts = 3;

// What became of a fetch, for callers that must tell an unreachable page from an empty one.
struct TPageFetchOutcome {
  // The User-Agent set before each attempt (the command line may ask for another).
  std::string UserAgent = kPageUserAgent;
  // Filled by the fetch.
  bool Fetched = false;
  int AttemptsMade = 0;
  std::exception_ptr LastError;  // the error of the last failed attempt
  // After a success: the page's address after the redirects that led to it, the address its
  // relative references resolve against.
  std::string FinalAddress;
};

// Up to `attempts` GET requests of `address` with `http` (at least one), one after the other.
// Before each the request's User-Agent is set; after a success the Referer becomes `address`
// (or, after redirects, the page's final address) and the result is the body's bytes unchanged.
// Every error is swallowed: after the last failure the result is the empty text.
std::string GetPageHtml(TNetHTTP& http, const std::string& address, int attempts);
std::string GetPageHtml(TNetHTTP& http, const std::string& address, int attempts,
                        TPageFetchOutcome& outcome);

// The attempts of GetPageHtml for a caller that takes the body as it arrives: before each
// attempt `newStream` gives the stream that attempt's body goes into (a fresh one: what a
// failed attempt wrote is worth nothing). True when an attempt succeeded; its stream holds the
// page.
// The address the page that `http` fetched last came from, which the page's references are made
// absolute against: where the redirects it followed ended, or `requested` itself when they led
// nowhere else.
std::string FinalPageAddress(const TNetHTTP& http, const std::string& requested);

// The charset the last response's "Content-Type" names (canonical, see charset.h), or empty.
std::string ResponseCharset(const TNetHTTP& http);

using TPageStreamFactory = std::function<TStream&()>;
bool FetchPage(TNetHTTP& http, const std::string& address, int attempts, TPageFetchOutcome& outcome,
               const TPageStreamFactory& newStream);

// The attempts of FetchPage with the body read for its movies as it arrives. Each attempt's
// reader is given the page's final address and the charset of its "Content-Type" as soon as
// the head of the page's response has come, so that what it finds is resolved once, against
// the right address. The reader of the attempt that succeeded, or none. `observer`, when given,
// is told of the addresses as they are listed, and of each new attempt as a start over.
std::unique_ptr<TPageReaderStream> ReadPage(TNetHTTP& http, const std::string& address,
                                            int attempts, TPageFetchOutcome& outcome,
                                            TListingObserver* observer = nullptr);
