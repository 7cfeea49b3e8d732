// The decisions the client takes while it reads a response, as small functions over lines and
// counts that have already been read, so that each can be tested without a connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "http/http_types.h"

namespace http_limits {

// The most bytes of header lines one response head may carry. Real heads are a few KiB;
// anything near this is a broken or hostile server feeding us lines.
constexpr int64_t kMaxHeadBytes = 1024 * 1024;
// Interim (100) responses skipped before the final one. One is normal; a server that keeps
// sending them would otherwise hold the call for ever.
constexpr int kMaxInterimResponses = 100;
// The largest chunk we accept: 31 bits, so a size can never turn negative or overflow the
// counts it is added to.
constexpr int64_t kMaxChunkSize = 0x7FFFFFFF;
// Read time-out while the body of an error response is captured for the exception.
constexpr int kErrorBodyTimeoutMs = 2000;
// Read time-out while the body of a redirection or authorization response is discarded.
constexpr int kDrainTimeoutMs = 4000;
// Rounds of the authentication dialogue within one answer to a challenge; a handler that
// accepts without ever supplying a user would otherwise be asked for ever.
constexpr int kMaxAuthorizationSteps = 16;

}  // namespace http_limits

// The status code of a status line: the text after its first blank, trimmed, up to the next
// blank, as a decimal number; -1 when that is not a number (an empty line included).
int ParseStatusCode(const std::string& statusLine);

// The protocol version in characters 6 to 8 ("HTTP/1.0", "HTTP/1.1", any letter case);
// none for anything else.
std::optional<TNetHTTPProtocolVersion> ParseServerVersion(const std::string& statusLine);

// Whether a connected response allows the connection to be kept, judged by the client's own
// protocol version: 1.0 keeps only on "keep-alive", 1.1 keeps unless "close".
bool ReusableByHeaders(TNetHTTPProtocolVersion clientVersion, const std::string& connection,
                       const std::string& proxyConnection);

// Whether a "Transfer-Encoding" value names the chunked coding (any letter case, anywhere in
// the list of codings).
bool IsChunkedCoding(const std::string& transferEncoding);

// The body length a "Content-Length" value declares; -1 when it is absent or not a number
// of 0 or more. 64 bits, so that files beyond 2 GiB keep their length.
int64_t DeclaredBodyLength(const std::string& contentLength);

// How the body of a response is framed. No stream, a HEAD request and the statuses that never
// carry a body (1xx, 204, 304) read nothing; chunked coding wins over a declared length; a
// length of 0 reads nothing; no usable length reads until the server closes.
TNetReaderState BodyReaderState(bool hasStream, TNetHTTPMethod method, int statusCode,
                                const std::string& transferEncoding, int64_t declaredLength);

// The size on a chunk-size line: the hexadecimal digits before the first character that is
// not one (a ";" extension may follow). Raises ENetException naming the size when there are
// no digits or the size needs more than 31 bits.
int64_t ParseChunkSize(const std::string& line);

// Counts the bytes of one response head against kMaxHeadBytes.
class TNetHeadBudget {
 public:
  // Raises ENetException once the lines added exceed the limit.
  void AddLine(const std::string& line);
  int64_t Used() const { return used_; }

 private:
  int64_t used_ = 0;
};
