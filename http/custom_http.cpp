#include "http/custom_http.h"

#include <algorithm>

#include "base/net_exceptions.h"
#include "base/stream.h"
#include "base/string_stream.h"
#include "base/text.h"
#include "cookies/cookie_manager.h"
#include "http/response_framing.h"
#include "net/ssl_io_handler.h"
#include "uri/token.h"

namespace {

// Secure cookies and https Referers go only where TLS runs, not merely where a TLS handler
// sits in pass-through.
bool TlsRunsOn(TNetIOHandler* handler) {
  auto* tls = dynamic_cast<TNetSSLIOHandlerSocket*>(handler);
  return tls && tls->TLSActive();
}

// Methods whose request line this client writes only under HTTP/1.1.
bool NeedsHttp11(TNetHTTPMethod method) {
  return method == TNetHTTPMethod::hmOptions || method == TNetHTTPMethod::hmTrace ||
         method == TNetHTTPMethod::hmPut || method == TNetHTTPMethod::hmDelete;
}

bool SendsBody(TNetHTTPMethod method) {
  return method == TNetHTTPMethod::hmPost || method == TNetHTTPMethod::hmPut;
}

// The scheme class named by the first challenge line whose first word is a registered scheme.
TNetAuthenticationClass FirstKnownScheme(const TNetHeaderList& challenges) {
  for (int i = 0; i < challenges.Count(); ++i) {
    TNetAuthenticationClass found = FindAuthenticationScheme(PeekToken(challenges.Get(i), " "));
    if (found) return found;
  }
  return TNetAuthenticationClass();
}

// Scheme, host and port: where credentials were given for.
std::string OriginOf(const TNetURI& address) {
  return LowerCase(address.Scheme) + "://" + LowerCase(address.HostName) + ":" + address.PortText;
}

}  // namespace

const char* MethodWord(TNetHTTPMethod method) {
  switch (method) {
    case TNetHTTPMethod::hmHead:
      return "HEAD ";
    case TNetHTTPMethod::hmGet:
      return "GET ";
    case TNetHTTPMethod::hmPost:
      return "POST ";
    case TNetHTTPMethod::hmOptions:
      return "OPTIONS ";
    case TNetHTTPMethod::hmTrace:
      return "TRACE ";
    case TNetHTTPMethod::hmPut:
      return "PUT ";
    case TNetHTTPMethod::hmDelete:
      return "DELETE ";
    case TNetHTTPMethod::hmConnect:
      return "CONNECT ";
  }
  return "";
}

TNetCustomHTTP::TNetCustomHTTP(TComponent* owner)
    : TNetTCPClient(owner),
      exchange_(std::make_unique<TNetHTTPProtocol>(this)),
      Request(exchange_->Request),
      LastResponse(exchange_->Response) {
  SetPort(DefaultPort);
}

TNetCustomHTTP::~TNetCustomHTTP() {
  if (cookie_manager_ && !owns_cookie_manager_) RemoveFreeNotification(cookie_manager_);
  if (authentication_store_) RemoveFreeNotification(authentication_store_);
}

void TNetCustomHTTP::SetCookieManager(TNetCookieManager* manager) {
  if (manager == cookie_manager_) return;
  if (cookie_manager_) {
    TNetCookieManager* old = cookie_manager_;
    cookie_manager_ = nullptr;
    RemoveFreeNotification(old);
    if (owns_cookie_manager_) delete old;
  }
  owns_cookie_manager_ = false;
  cookie_manager_ = manager;
  if (manager) FreeNotification(manager);
}

void TNetCustomHTTP::SetAuthenticationStore(TNetAuthenticationStore* store) {
  if (store == authentication_store_) return;
  if (authentication_store_) RemoveFreeNotification(authentication_store_);
  authentication_store_ = store;
  if (store) FreeNotification(store);
}

void TNetCustomHTTP::Notification(TComponent* component, TOperation operation) {
  TNetTCPClient::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == cookie_manager_) {
    cookie_manager_ = nullptr;
    owns_cookie_manager_ = false;
  }
  if (component == authentication_store_) authentication_store_ = nullptr;
}

void TNetCustomHTTP::AssignHost(const std::string& host) {
  TNetTCPClient::AssignHost(host);
  CurrentAddress.HostName = host;
}

void TNetCustomHTTP::AssignPort(int port) {
  TNetTCPClient::AssignPort(port);
  CurrentAddress.PortText = IntToStr(port);
}

void TNetCustomHTTP::NotifyDisconnected() {
  TNetTCPClient::NotifyDisconnected();
  // Nothing can be pending on a connection that is gone.
  response_pending_ = false;
  TNetAuthentication* authentication = Request.Authentication.get();
  if (authentication && authentication->StepNumber == authentication->StepCount()) {
    if (authentication_store_) {
      try {
        TNetURI address = CurrentAddress;
        authentication_store_->AddAuthentication(*authentication, address.ComposeRequestAddress());
      } catch (const ENetURIException&) {
        // An address without scheme or host names nothing to remember the credentials for.
      }
    }
    Request.Authentication.reset();
  }
  if (ProxyParams.Authentication) ProxyParams.Authentication->ResetSteps();
}

void TNetCustomHTTP::HttpGet(const std::string& address, TStream& destination) {
  PerformRequest(TNetHTTPMethod::hmGet, address, nullptr, &destination);
}

void TNetCustomHTTP::CloseAfterCall() {
  if (!LastResponse.ConnectionReusable()) CloseConnection();
  RedirectCount = 0;
}

void TNetCustomHTTP::PerformRequest(TNetHTTPMethod method, const std::string& address,
                                    TStream* bodySource, TStream* destination) {
  const int64_t start = destination ? destination->Position() : 0;
  ServerAuthAttempts = 0;
  ProxyAuthAttempts = 0;
  Request.RequestTarget = address;
  Request.RequestMethod = method;
  Request.BodySource = bodySource;
  LastResponse.BodyStream = destination;
  call_origin_.clear();
  try {
    for (;;) {
      ++RedirectCount;
      PrepareTarget();
      if (call_origin_.empty()) call_origin_ = OriginOf(CurrentAddress);
      OpenExchange();
      ReadResponseHeads(Exchange());
      const int code = LastResponse.StatusCode();
      const TNetNextStep step = Exchange().EvaluateResponse();
      if (step == TNetNextStep::nsDone) break;
      if (step == TNetNextStep::nsUnknown) throw ENetException("Undefined situation");
      if (step == TNetNextStep::nsAuthRetry) {
        --RedirectCount;
        Request.RequestTarget = address;
        continue;
      }
      // nsFollow.
      if (destination) {
        destination->SetPosition(start);
        destination->SetSize(start);
      }
      // An accepted challenge on a connection the server closed also comes here; counting it
      // against AuthRetries keeps a server that always closes after 401 from looping for ever.
      if (code != 401 && code != 407) {
        ServerAuthAttempts = 0;
        ProxyAuthAttempts = 0;
      }
    }
  } catch (...) {
    try {
      CloseAfterCall();
    } catch (...) {
      // The call's own failure is the one to report.
      RedirectCount = 0;
    }
    throw;
  }
  CloseAfterCall();
}

void TNetCustomHTTP::PrepareTarget() {
  const TNetURI target(Request.RequestTarget);
  if (!target.AuthUser.empty()) {
    Request.Username = target.AuthUser;
    Request.Password = target.AuthPassword;
  }
  CurrentAddress.AuthUser = Request.Username;
  CurrentAddress.AuthPassword = Request.Password;

  CurrentAddress.Directory = MergePath(CurrentAddress.Directory, target.Directory, "/");
  CurrentAddress.DocumentName = target.DocumentName;
  CurrentAddress.QueryText = target.QueryText;
  if (!target.HostName.empty()) CurrentAddress.HostName = target.HostName;
  CurrentAddress.Scheme = target.Scheme.empty() ? std::string("http") : target.Scheme;

  if (!target.PortText.empty()) {
    CurrentAddress.PortText = target.PortText;
  } else {
    const int current = StrToIntDef(CurrentAddress.PortText, 0);
    if (current == 0 || current == 80 || current == 443) {
      if (SameText(CurrentAddress.Scheme, "http"))
        CurrentAddress.PortText = "80";
      else if (SameText(CurrentAddress.Scheme, "https"))
        CurrentAddress.PortText = "443";
      else
        throw ENetUnknownProtocol("Unknown protocol: " + CurrentAddress.Scheme);
    }
  }

  if (Request.RequestMethod == TNetHTTPMethod::hmOptions && CurrentAddress.DocumentName == "*") {
    Request.RequestTarget = "*";
  } else {
    Request.RequestTarget =
        CurrentAddress.Directory + CurrentAddress.DocumentName + CurrentAddress.QueryText;
    // A request line needs a target; an address without any path asks for the root.
    if (Request.RequestTarget.empty()) Request.RequestTarget = "/";
  }

  if (NeedsHttp11(Request.RequestMethod) && ProtocolVersion != TNetHTTPProtocolVersion::pv1_1)
    throw ENetException("This request method is supported in HTTP 1.1");

  Request.ContentLength =
      SendsBody(Request.RequestMethod) && Request.BodySource
          ? static_cast<int32_t>(std::min<int64_t>(Request.BodySource->Size(), INT32_MAX))
          : -1;

  Request.Host = CurrentAddress.PortText == "80"
                     ? CurrentAddress.HostName
                     : CurrentAddress.HostName + ":" + CurrentAddress.PortText;
}

TNetConnectionKind TNetCustomHTTP::ChooseEndpoint() {
  TNetSSLIOHandlerSocket* tls = dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler());
  const bool https = SameText(CurrentAddress.Scheme, "HTTPS");
  if (ProxyParams.ProxyServer().empty()) {
    const int port = StrToInt(CurrentAddress.PortText);
    if (!SameText(Host(), CurrentAddress.HostName) || Port() != port) {
      if (IsConnected()) CloseConnection();
      SetHost(CurrentAddress.HostName);
      SetPort(port);
    }
    // The same host and port, but the other of http and https: that is another connection.
    if (tls && tls->TLSActive() != https && IsConnected()) CloseConnection();
    if (https) {
      if (!tls) throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
      tls->SetPassThrough(false);
      return TNetConnectionKind::ckDirectTls;
    }
    if (tls) tls->SetPassThrough(true);
    return TNetConnectionKind::ckDirect;
  }
  if (Host() != ProxyParams.ProxyServer() || Port() != ProxyParams.ProxyPort()) {
    if (IsConnected()) CloseConnection();
    // The proxy is where we connect; the address we ask for stays in CurrentAddress.
    TNetTCPClient::AssignHost(ProxyParams.ProxyServer());
    TNetTCPClient::AssignPort(ProxyParams.ProxyPort());
  }
  if (https) {
    if (!tls) throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
    tls->SetPassThrough(true);
    return TNetConnectionKind::ckTlsViaProxy;
  }
  if (tls) tls->SetPassThrough(true);
  return TNetConnectionKind::ckProxy;
}

void TNetCustomHTTP::OpenExchange() {
  const TNetConnectionKind kind = ChooseEndpoint();
  Request.ConnectionKind = kind;
  if (kind == TNetConnectionKind::ckProxy)
    Request.RequestTarget = CurrentAddress.ComposeRequestAddress();

  const bool http10 = ProtocolVersion == TNetHTTPProtocolVersion::pv1_0;
  switch (kind) {
    case TNetConnectionKind::ckDirect:
      if (http10 && Request.Connection.empty()) Request.Connection = "keep-alive";
      break;
    case TNetConnectionKind::ckProxy:
      if (http10 && Request.Connection.empty()) Request.ProxyConnection = "keep-alive";
      break;
    case TNetConnectionKind::ckDirectTls:
    case TNetConnectionKind::ckTlsViaProxy:
      Request.Connection.clear();
      break;
  }

  if (kind == TNetConnectionKind::ckTlsViaProxy)
    OpenTunnel();
  else
    ConnectIfNeeded(LastResponse);
  SendRequestHead(Request, &CurrentAddress);
  if (SendsBody(Request.RequestMethod) && Request.BodySource)
    WriteFromStream(*Request.BodySource, true, false, 0);
}

void TNetCustomHTTP::ConnectIfNeeded(TNetHTTPResponse& response) {
  if (!response.ConnectionReusable()) CloseConnection();
  ProbePeerClosed(false);
  if (IsConnected()) return;
  try {
    OpenConnection(ReadTimeout);
  } catch (const ENetSSLProtocolReplyError&) {
    CloseConnection();
    throw;
  }
}

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
  if (&request == &Request && !call_origin_.empty() && OriginOf(CurrentAddress) != call_origin_)
    request.HeaderLines.SetValueOf("Authorization", "");
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

  StartWriteBuffering(-1);
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
  reader_state_ = TNetReaderState::rsStatusLine;
  if (OnRequestHead) OnRequestHead(this, lines);
}

void TNetCustomHTTP::ReadStatusAndHead(TNetHTTPProtocol& pair) {
  reader_state_ = TNetReaderState::rsStatusLine;
  pair.Response.StatusLine = ReadLine("\n", -1, -1);
  ReadResponseHead(pair.Response);
  TakeResponseCookies(pair.Request, pair.Response);
  if (OnResponseHead) OnResponseHead(this, pair.Response.StatusLine, pair.Response.HeaderLines);
}

void TNetCustomHTTP::ReadResponseHeads(TNetHTTPProtocol& pair) {
  int interim = 0;
  for (;;) {
    ReadStatusAndHead(pair);
    if (pair.Response.StatusCode() != 100) return;
    if (++interim > http_limits::kMaxInterimResponses)
      throw ENetException(
          Format("More than %d interim responses.", http_limits::kMaxInterimResponses));
  }
}

void TNetCustomHTTP::ReadResponseHead(TNetHTTPResponse& response) {
  reader_state_ = TNetReaderState::rsHeaderLines;
  response.HeaderLines.Clear();
  TNetHeadBudget budget;
  try {
    for (;;) {
      std::string line = ReadLine("\n", -1, -1);
      if (line.empty()) break;
      budget.AddLine(line);
      response.HeaderLines.Add(line);
    }
  } catch (const ENetConnClosedGracefully&) {
    // The peer closed while header lines were still arriving; keep the lines read so far.
    CloseConnection();
  }
  response.ReadHeaderFields();
}

void TNetCustomHTTP::TakeResponseCookies(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  if (!cookie_manager_ && AllowCookies) {
    cookie_manager_ = new TNetCookieManager(this);
    owns_cookie_manager_ = true;
    FreeNotification(cookie_manager_);
  }
  if (!cookie_manager_) return;
  TStringList values;
  response.HeaderLines.ExtractValues("Set-cookie", &values);
  for (int i = 0; i < values.Count(); ++i)
    cookie_manager_->AddServerCookie(values.Get(i), CurrentAddress.HostName,
                                     CurrentAddress.Directory);
  values.Clear();
  response.HeaderLines.ExtractValues("Set-cookie2", &values);
  for (int i = 0; i < values.Count(); ++i)
    cookie_manager_->AddServerCookie2(values.Get(i), CurrentAddress.HostName,
                                      CurrentAddress.Directory);
}

void TNetCustomHTTP::ReadBodyBytes(TStream& stream, int64_t count) {
  const int64_t start = stream.Position();
  try {
    ReadIntoStream(stream, count, false);
  } catch (const ENetConnClosedGracefully&) {
    // The bytes of the last incomplete piece belong to the caller too, before the error.
    const int64_t missing = count - (stream.Position() - start);
    const int64_t rest = std::min(InputData().Size(), missing);
    if (rest > 0) {
      stream.WriteBuffer(InputData().Memory(), rest);
      InputData().Remove(rest);
    }
    throw;
  }
}

int64_t TNetCustomHTTP::ReadChunkSize() {
  return ParseChunkSize(ReadLine("\n", -1, -1));
}

void TNetCustomHTTP::ReadChunkedBody(TStream& stream) {
  ReportStatus(TNetStatus::hsStatusText, {"Chunk Started"});
  int64_t size = ReadChunkSize();
  while (size > 0) {
    ReadBodyBytes(stream, size);
    if (!ReadLine("\n", -1, -1).empty())
      throw ENetException(Format("Chunk of %lld bytes is not followed by a line end.",
                                 static_cast<long long>(size)));
    size = ReadChunkSize();
  }
  // Trailer fields up to the blank line: left unread they would be taken for the next
  // response's status line.
  TNetHeadBudget budget;
  try {
    for (;;) {
      const std::string line = ReadLine("\n", -1, -1);
      if (line.empty()) break;
      budget.AddLine(line);
    }
  } catch (const ENetConnClosedGracefully&) {
    // Every chunk has arrived; a server that closes instead of ending the trailer loses nothing.
  }
}

void TNetCustomHTTP::ReadResponseBody(TNetHTTPResponse& response, TNetHTTPMethod method) {
  TStream* stream = response.BodyStream;
  const int64_t length = DeclaredBodyLength(response.HeaderLines.ValueOf("Content-Length"));
  const TNetReaderState framing =
      BodyReaderState(true, method, response.StatusCode(),
                      response.HeaderLines.ValueOf("Transfer-Encoding"), length);
  // Without a stream nothing is read; a body left on the connection keeps it from being reused.
  if (!stream) {
    if (framing == TNetReaderState::rsFinished) response_pending_ = false;
    return;
  }
  reader_state_ = framing;
  switch (framing) {
    case TNetReaderState::rsBodyByLength:
      ReadBodyBytes(*stream, length);
      break;
    case TNetReaderState::rsBodyByChunks:
      ReadChunkedBody(*stream);
      break;
    case TNetReaderState::rsBodyUntilClose:
      ReadIntoStream(*stream, -1, true);
      break;
    default:
      break;
  }
  reader_state_ = TNetReaderState::rsFinished;
  response_pending_ = false;
}

bool TNetCustomHTTP::RunAuthorizationSteps(TNetAuthentication& authentication,
                                           TNetHTTPRequest* request,
                                           const TNetOnAuthorization& handler, std::string& user,
                                           std::string& password) {
  for (int step = 0; step < http_limits::kMaxAuthorizationSteps; ++step) {
    switch (authentication.NextStep()) {
      case TAuthStepOutcome::sendRequest:
        return true;
      case TAuthStepOutcome::giveUp:
        return false;
      case TAuthStepOutcome::askProgram: {
        authentication.AssignUser(user);
        authentication.AssignPassword(password);
        bool handled = false;
        handler(this, &authentication, handled);
        if (!handled) return false;
        if (request) request->BasicAuthentication = true;
        user = authentication.CurrentUser();
        password = authentication.CurrentPassword();
        break;
      }
    }
  }
  return false;
}

bool TNetCustomHTTP::AuthorizeServer(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  ++ServerAuthAttempts;
  if (!request.Authentication) {
    TNetAuthenticationClass scheme = FirstKnownScheme(response.WWWAuthenticate);
    if (!scheme) return false;
    if (OnSelectAuthorization) OnSelectAuthorization(this, scheme, response.WWWAuthenticate);
    if (!scheme) return false;
    // Without a handler nobody can answer the challenge; keeping an empty scheme object
    // would make every later request of this client send empty credentials.
    if (!OnAuthorization) return false;
    request.Authentication = scheme.Create();
  }
  if (!OnAuthorization) return false;
  TNetAuthentication& authentication = *request.Authentication;
  authentication.AssignUser(request.Username);
  authentication.AssignPassword(request.Password);
  authentication.AuthValues.SetValueOf("Authorization", authentication.AuthorizationValue());
  authentication.SetChallenge(response.WWWAuthenticate);
  return RunAuthorizationSteps(authentication, &request, OnAuthorization, request.Username,
                               request.Password);
}

bool TNetCustomHTTP::AuthorizeProxy(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  ++ProxyAuthAttempts;
  if (!ProxyParams.Authentication) {
    TNetAuthenticationClass scheme = FirstKnownScheme(response.ProxyAuthenticate);
    if (!scheme) return false;
    if (OnSelectProxyAuthorization)
      OnSelectProxyAuthorization(this, scheme, response.ProxyAuthenticate);
    if (!scheme) return false;
    if (!OnProxyAuthorization) {
      // The refused password is forgotten, but no empty scheme object is kept (see above).
      ProxyParams.ProxyPassword.clear();
      return false;
    }
    ProxyParams.Authentication = scheme.Create();
  }
  TNetAuthentication& authentication = *ProxyParams.Authentication;
  ProxyParams.ProxyPassword.clear();
  authentication.ResetSteps();
  if (!OnProxyAuthorization) return false;
  authentication.AssignUser(ProxyParams.ProxyUsername);
  authentication.AssignPassword(ProxyParams.ProxyPassword);
  authentication.SetChallenge(response.ProxyAuthenticate);
  return RunAuthorizationSteps(authentication, nullptr, OnProxyAuthorization,
                               ProxyParams.ProxyUsername, ProxyParams.ProxyPassword);
}

bool TNetCustomHTTP::NotifyRedirect(std::string& location, TNetHTTPMethod& method,
                                    int redirectCount) {
  bool handled = HandleRedirects;
  if (OnRedirect) {
    int count = redirectCount;
    OnRedirect(this, location, count, handled, method);
  }
  return handled;
}

void TNetCustomHTTP::OpenTunnel() {
  auto* tls = dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler());
  TNetHTTPProtocol tunnel(this);
  TStringStream scratch;
  tunnel.Request.UserAgent = Request.UserAgent;
  tunnel.Request.Host = Request.Host;
  tunnel.Request.ContentLength = Request.ContentLength;
  tunnel.Request.Pragma = "no-cache";
  tunnel.Request.RequestTarget = CurrentAddress.HostName + ":" + CurrentAddress.PortText;
  tunnel.Request.RequestMethod = TNetHTTPMethod::hmConnect;
  tunnel.Request.ProxyConnection = "keep-alive";
  tunnel.Response.BodyStream = &scratch;
  // Each round answers a proxy or server challenge; more rounds than both kinds of retries
  // allow means the proxy is answering with something we cannot act on.
  const int maxRounds = 2 * std::max(AuthRetries, 0) + 2;
  for (int round = 1;; ++round) {
    ConnectIfNeeded(tunnel.Response);
    SendRequestHead(tunnel.Request, nullptr);
    reader_state_ = TNetReaderState::rsStatusLine;
    tunnel.Response.StatusLine = ReadLine("\n", -1, -1);
    if (tunnel.Response.StatusLine.empty()) {
      tunnel.Response.StatusLine = "HTTP/1.0 200 OK";
      tunnel.Response.Connection = "close";
    } else {
      ReadResponseHead(tunnel.Response);
      TakeResponseCookies(tunnel.Request, tunnel.Response);
      if (OnResponseHead)
        OnResponseHead(this, tunnel.Response.StatusLine, tunnel.Response.HeaderLines);
    }
    if (tunnel.Response.StatusCode() == 200) {
      response_pending_ = false;
      reader_state_ = TNetReaderState::rsFinished;
      if (tls) {
        // The certificate must name the server behind the proxy.
        tls->ServerName = CurrentAddress.HostName;
        tls->SetPassThrough(false);
      }
      return;
    }
    if (round >= maxRounds) tunnel.RaiseProtocolError();
    tunnel.EvaluateResponse();
  }
}
