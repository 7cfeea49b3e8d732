// The HTTP client: one request/response exchange end to end on a connection that lives across
// calls. It merges the address into the current one, chooses where to connect, reuses or
// opens the connection, writes the head, reads the status line and header block, decides from
// the status whether the call is complete, must be repeated or fails, reads the body into the
// caller's stream, and closes the connection unless it may be kept.
//
// Its parts live in files by concern: the request loop (custom_http.cpp), where a request goes
// (request_target.cpp), head writing (request_head_writer.cpp), taking a response off the
// connection (response_intake.cpp over response_reader.h), carrying out what a response calls
// for (response_evaluation.cpp over response_decision.h and authorization_dialogue.h) and the
// CONNECT tunnel (connect_tunnel.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "http/authentication_store.h"
#include "http/http_protocol.h"
#include "http/http_types.h"
#include "http/proxy_connection_info.h"
#include "http/response_decision.h"
#include "http/response_reader.h"
#include "net/tcp_client.h"
#include "uri/uri.h"

class TNetCookieManager;
class TStream;

class TNetCustomHTTP : public TNetTCPClient {
 public:
  static constexpr int DefaultPort = 80;
  static constexpr int DefaultAuthRetries = 3;
  static constexpr int DefaultRedirectMaximum = 15;

  explicit TNetCustomHTTP(TComponent* owner = nullptr);
  ~TNetCustomHTTP() override;

 private:
  // Built before everything that refers to it.
  std::unique_ptr<TNetHTTPProtocol> exchange_;

 public:
  // The address of the current or last request, the base for the next one.
  TNetURI CurrentAddress;
  // The request and response of Exchange(); the same pair serves every call.
  TNetHTTPRequest& Request;
  TNetHTTPResponse& LastResponse;
  TNetProxyConnectionInfo ProxyParams;

  int AuthRetries = DefaultAuthRetries;
  bool AllowCookies = true;
  bool HandleRedirects = false;
  TNetHTTPProtocolVersion ProtocolVersion = TNetHTTPProtocolVersion::pv1_1;
  int RedirectMaximum = DefaultRedirectMaximum;
  TNetHTTPOptions HTTPOptions{TNetHTTPOption::hoForceEncodeParams};
  // Milliseconds a connect may take (TLS handshake included); kNoTimeout: ReadTimeout's.
  int ConnectTimeout = kNoTimeout;
  // Milliseconds one call (HttpGet, with its redirections) may take in all; kNoTimeout: no limit.
  // Reads and connects that would go beyond raise ENetReadTimeout "Transfer time limit reached".
  int TransferTimeout = kNoTimeout;
  // Bodies sent with Content-Encoding gzip or deflate reach the caller's stream decoded; any
  // other coding fails the call before its body is read. Off: the bytes as they came.
  bool DecodeContent = false;

 private:
  // Requests made in the current call; attempts at authorization since the last redirection.
  // Only the client counts them.
  TNetResponseCounters counters_;

 public:
  // The requests made in the current call, to be read only.
  const int& RedirectCount = counters_.Redirects;

  TNetHTTPOnRedirectEvent OnRedirect;
  TNetOnSelectAuthorization OnSelectAuthorization;
  TNetOnSelectAuthorization OnSelectProxyAuthorization;
  TNetOnAuthorization OnAuthorization;
  TNetOnAuthorization OnProxyAuthorization;
  TNetOnRequestHead OnRequestHead;
  TNetOnResponseHead OnResponseHead;

  TNetHTTPProtocol& Exchange() { return *exchange_; }
  // Assigning copies the fields a request record passes on (see TNetRequestHeaderInfo).
  void SetRequest(const TNetHTTPRequest& request) { Request.Assign(request); }
  const std::string& StatusLine() const { return LastResponse.StatusLine; }
  int StatusCode() const { return LastResponse.StatusCode(); }

  // One is created on the first response when AllowCookies is true. Assigning another frees
  // one the client created.
  TNetCookieManager* CookieManager() const { return cookie_manager_; }
  void SetCookieManager(TNetCookieManager* manager);
  bool OwnsCookieManager() const { return owns_cookie_manager_; }
  // Receives the authentications completed when the connection closes; none by default.
  TNetAuthenticationStore* AuthenticationStore() const { return authentication_store_; }
  void SetAuthenticationStore(TNetAuthenticationStore* store);

  // Where the reader is in the current (or last) response.
  TNetReaderState ReaderState() const { return reader_.State(); }

  // Runs a GET; the body goes into `destination` from its position at the call.
  void HttpGet(const std::string& address, TStream& destination);
  // The request loop: send, read the head, evaluate, repeat for redirections and
  // authorizations. A connection that may not be kept is closed at the end, also on failure.
  virtual void PerformRequest(TNetHTTPMethod method, const std::string& address,
                              TStream* bodySource, TStream* destination);

  // Overridable steps, in their fixed order.
  virtual bool AuthorizeServer(TNetHTTPRequest& request, TNetHTTPResponse& response);
  virtual bool AuthorizeProxy(TNetHTTPRequest& request, TNetHTTPResponse& response);
  virtual bool NotifyRedirect(std::string& location, TNetHTTPMethod& method, int redirectCount);

  // The steps of one exchange, each usable on its own.
  // Merges Request.RequestTarget into CurrentAddress and fills the request fields from it.
  void PrepareTarget();
  // Decides the connection kind, switching host and port (closing a connection to another
  // endpoint) as needed.
  TNetConnectionKind ChooseEndpoint();
  // Connects if needed and sends the request head (and body).
  void OpenExchange();
  void ConnectIfNeeded(TNetHTTPResponse& response);
  // Builds and writes the head of `request` in one send; cookies are added for `address`.
  void SendRequestHead(TNetHTTPRequest& request, const TNetURI* address);
  // Reads header lines up to the blank line into `response` and fills its fields.
  void ReadResponseHead(TNetHTTPResponse& response);
  void TakeResponseCookies(TNetHTTPRequest& request, TNetHTTPResponse& response);
  // Reads the body that `response` frames into its BodyStream. The request's method matters
  // only for HEAD, whose responses carry no body.
  void ReadResponseBody(TNetHTTPResponse& response, TNetHTTPMethod method = TNetHTTPMethod::hmGet);
  // Reads one chunk-size line.
  int64_t ReadChunkSize() { return reader_.ReadChunkSize(); }

  // The response on the connection has not been read to its end.
  bool ResponsePending() const { return response_pending_; }

  void AssignHost(const std::string& host) override;
  void AssignPort(int port) override;
  // After the inherited handling: a completed authentication goes to the store and is freed;
  // a proxy authentication starts again.
  void NotifyDisconnected() override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // Reads a status line and its head, skipping interim 100 responses.
  void ReadResponseHeads(TNetHTTPProtocol& pair);
  void ReadStatusAndHead(TNetHTTPProtocol& pair);
  // The head after its status line: header lines and fields, cookies, OnResponseHead.
  void ReadHeadOfStatus(TNetHTTPProtocol& pair);
  // Decides what follows the response just read and carries it out, reading or discarding
  // its body on the way. Error statuses raise ENetHTTPProtocolException.
  TNetNextStep EvaluateResponse(TNetHTTPProtocol& pair);
  TNetNextStep CarryOutRedirection(TNetHTTPProtocol& pair, const TNetResponseDecision& decision);
  TNetNextStep CarryOutChallenge(TNetHTTPProtocol& pair, const TNetResponseDecision& decision);
  // The body of a response that ends the exchange; a 204 has none to read.
  void ReadFinalBody(TNetHTTPProtocol& pair);
  // AuthorizeServer and AuthorizeProxy: one dialogue, on the side that challenged.
  bool Authorize(TNetChallenger challenger, TNetHTTPRequest& request, TNetHTTPResponse& response);
  // The authentication that answered a failed challenge starts again.
  void ResetChallenged(TNetHTTPProtocol& pair, TNetChallenger challenger);
  TNetResponsePolicy Policy() const;
  // Reads the body (2 s time-out) as the text of ENetHTTPProtocolException and raises it.
  [[noreturn]] void RaiseProtocolError(TNetHTTPProtocol& pair);
  // Reads the body into a scratch text and drops it.
  void DrainBody(TNetHTTPProtocol& pair);
  // DrainBody with the given read time-out; errors are swallowed (and leave the connection
  // marked as not reusable).
  void DrainQuietly(TNetHTTPProtocol& pair, int timeoutMs);
  // Sends CONNECT through the proxy until it answers 200, then starts TLS.
  void OpenTunnel();
  // A redirection has led away from the origin of the address given to the call.
  bool LeftCallOrigin() const;
  void CloseAfterCall();

  TNetCookieManager* cookie_manager_ = nullptr;
  bool owns_cookie_manager_ = false;
  TNetAuthenticationStore* authentication_store_ = nullptr;
  TNetResponseReader reader_{*this};
  bool response_pending_ = false;
  // The origin of the address given to the current call.
  std::string call_origin_;
};
