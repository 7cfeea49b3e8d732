#include "http/response_framing.h"

#include "base/net_exceptions.h"
#include "base/text.h"
#include "uri/token.h"

namespace {

// How much of a bad chunk-size line an error message repeats.
constexpr size_t kQuotedSizeText = 64;

// Decimal digits only (no sign, no hexadecimal forms), at most 18 of them so that the value
// fits in 64 bits; false for anything else.
bool ParseDecimal(const std::string& text, int64_t& value) {
  return text.size() <= 18 && ParseDecimalDigits(text, value);
}

[[noreturn]] void ThrowBadChunkSize(const std::string& text) {
  std::string quoted = text.substr(0, kQuotedSizeText);
  if (text.size() > kQuotedSizeText) quoted += "...";
  throw ENetException(Format("Invalid chunk size \"%s\".", quoted.c_str()));
}

}  // namespace

int ParseStatusCode(const std::string& statusLine) {
  std::string rest = statusLine;
  TakeToken(rest, " ");
  rest = Trim(rest);
  const std::string code = TakeToken(rest, " ");
  int64_t value = 0;
  return ParseDecimal(code, value) && value <= 999999999 ? static_cast<int>(value) : -1;
}

std::optional<TNetHTTPProtocolVersion> ParseServerVersion(const std::string& statusLine) {
  if (statusLine.size() < 8) return std::nullopt;
  const std::string version = statusLine.substr(5, 3);
  if (SameText(version, "1.0")) return TNetHTTPProtocolVersion::pv1_0;
  if (SameText(version, "1.1")) return TNetHTTPProtocolVersion::pv1_1;
  return std::nullopt;
}

bool ReusableByHeaders(TNetHTTPProtocolVersion clientVersion, const std::string& connection,
                       const std::string& proxyConnection) {
  const std::string c = Trim(connection);
  const std::string p = Trim(proxyConnection);
  if (clientVersion == TNetHTTPProtocolVersion::pv1_0)
    return SameText(c, "KEEP-ALIVE") || SameText(p, "KEEP-ALIVE");
  return !SameText(c, "CLOSE") && !SameText(p, "CLOSE");
}

bool IsChunkedCoding(const std::string& transferEncoding) {
  std::string rest = transferEncoding;
  while (!rest.empty()) {
    std::string coding = TakeToken(rest, ",");
    // Parameters of a coding follow a ";".
    coding = Trim(PeekToken(coding, ";"));
    if (SameText(coding, "chunked")) return true;
  }
  return false;
}

int64_t DeclaredBodyLength(const std::string& contentLength) {
  const std::string text = Trim(contentLength);
  int64_t value = -1;
  return ParseDecimal(text, value) ? value : -1;
}

TNetReaderState BodyReaderState(bool hasStream, TNetHTTPMethod method, int statusCode,
                                const std::string& transferEncoding, int64_t declaredLength) {
  if (!hasStream || method == TNetHTTPMethod::hmHead) return TNetReaderState::rsFinished;
  if ((statusCode >= 100 && statusCode < 200) || statusCode == 204 || statusCode == 304)
    return TNetReaderState::rsFinished;
  if (IsChunkedCoding(transferEncoding)) return TNetReaderState::rsBodyByChunks;
  if (declaredLength > 0) return TNetReaderState::rsBodyByLength;
  if (declaredLength == 0) return TNetReaderState::rsFinished;
  return TNetReaderState::rsBodyUntilClose;
}

int64_t ParseChunkSize(const std::string& line) {
  int64_t size = 0;
  size_t digits = 0;
  for (char c : line) {
    const int value = HexDigitValue(c);
    if (value < 0) break;
    ++digits;
    size = size * 16 + value;
    if (size > http_limits::kMaxChunkSize) ThrowBadChunkSize(line);
  }
  if (digits == 0) ThrowBadChunkSize(line);
  return size;
}

void TNetHeadBudget::AddLine(const std::string& line) {
  used_ += static_cast<int64_t>(line.size());
  if (used_ > http_limits::kMaxHeadBytes)
    throw ENetException(Format("Response header block exceeds %lld bytes.",
                               static_cast<long long>(http_limits::kMaxHeadBytes)));
}
