// Writing a request head: the header lines of the request record, the proxy's and the cookie
// manager's additions, what must not travel to another server, and the request line.
#include <vector>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "cookies/cookie_manager.h"
#include "http/custom_http.h"
#include "net/io_handler.h"

namespace {

// Secure cookies and https Referers go only where TLS runs, not merely where a TLS handler
// sits in pass-through.
bool TlsRunsOn(const TNetIOHandler* handler) {
  return handler && handler->TLSActive();
}

}  // namespace

void TNetCustomHTTP::SendRequestHead(TNetHTTPRequest& request, const TNetURI* address) {
  request.BuildHeaderLines();
  // Proxy credentials are for the proxy alone: not for a server reached directly, nor for the
  // request that travels inside a tunnel to the server.
  if (request.ConnectionKind == TNetConnectionKind::ckProxy ||
      request.RequestMethod == TNetHTTPMethod::hmConnect)
    ProxyParams.AddProxyHeaders(request.HeaderLines);
  if (address && cookie_manager_) {
    const std::string cookies =
        cookie_manager_->BuildCookieHeader(*address, TlsRunsOn(IOHandler()));
    if (!cookies.empty()) request.HeaderLines.SetValueOf("Cookie", cookies);
  }
  // Credentials given for the address of the call are not handed to another server that a
  // redirection leads to.
  if (&request == &Request && LeftCallOrigin()) request.HeaderLines.SetValueOf("Authorization", "");
  // The address of an https page is not handed to a server reached without TLS.
  if (address && !SameText(address->Scheme, "https") &&
      SameText(request.Referer.substr(0, 6), "https:"))
    request.HeaderLines.SetValueOf("Referer", "");

  std::vector<std::string> lines;
  lines.push_back(MethodWord(request.RequestMethod) + request.RequestTarget + " HTTP/" +
                  (ProtocolVersion == TNetHTTPProtocolVersion::pv1_0 ? "1.0" : "1.1"));
  // A line break inside the target (a lone CR can come with a server's Location) would let
  // the text that follows it pass for header lines of its own.
  if (lines[0].find_first_of("\r\n") != std::string::npos)
    throw ENetException("Request target contains a line break.");
  for (int i = 0; i < request.HeaderLines.Count(); ++i)
    if (!request.HeaderLines.Get(i).empty()) lines.push_back(request.HeaderLines.Get(i));

  StartWriteBuffering(kNoWriteThreshold);
  try {
    response_pending_ = true;
    for (const std::string& line : lines)
      WriteLine(line);
    WriteLine();
    EndWriteBuffering();
  } catch (...) {
    DiscardWriteBuffering();
    EndWriteBuffering();
    throw;
  }
  reader_.ExpectStatusLine();
  if (OnRequestHead) OnRequestHead(this, lines);
}
