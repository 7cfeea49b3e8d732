#include "http/custom_http.h"

#include "base/net_exceptions.h"
#include "base/stream.h"
#include "base/text.h"
#include "cookies/cookie_manager.h"

namespace {

// Scheme, host and port: where credentials were given for.
std::string OriginOf(const TNetURI& address) {
  return LowerCase(address.Scheme) + "://" + LowerCase(address.HostName) + ":" + address.PortText;
}

}  // namespace

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

bool TNetCustomHTTP::LeftCallOrigin() const {
  return !call_origin_.empty() && OriginOf(CurrentAddress) != call_origin_;
}

void TNetCustomHTTP::CloseAfterCall() {
  if (!LastResponse.ConnectionReusable()) CloseConnection();
  counters_.Redirects = 0;
}

void TNetCustomHTTP::PerformRequest(TNetHTTPMethod method, const std::string& address,
                                    TStream* bodySource, TStream* destination) {
  const int64_t start = destination ? destination->Position() : 0;
  counters_.ServerAuthAttempts = 0;
  counters_.ProxyAuthAttempts = 0;
  Request.RequestTarget = address;
  Request.RequestMethod = method;
  Request.BodySource = bodySource;
  LastResponse.BodyStream = destination;
  call_origin_.clear();
  if (TransferTimeout > 0) SetDeadline(TClock::now() + std::chrono::milliseconds(TransferTimeout));
  // The limit is this call's: whatever ends it, the next call starts without it.
  struct TDeadlineEnd {
    TNetCustomHTTP& Http;
    ~TDeadlineEnd() { Http.SetDeadline(std::nullopt); }
  } deadlineEnd{*this};
  try {
    for (;;) {
      ++counters_.Redirects;
      PrepareTarget();
      if (call_origin_.empty()) call_origin_ = OriginOf(CurrentAddress);
      OpenExchange();
      ReadResponseHeads(Exchange());
      const int code = LastResponse.StatusCode();
      const TNetNextStep step = EvaluateResponse(Exchange());
      if (step == TNetNextStep::nsDone) break;
      if (step == TNetNextStep::nsUnknown) throw ENetException("Undefined situation");
      if (step == TNetNextStep::nsAuthRetry) {
        --counters_.Redirects;
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
        counters_.ServerAuthAttempts = 0;
        counters_.ProxyAuthAttempts = 0;
      }
    }
  } catch (...) {
    try {
      CloseAfterCall();
    } catch (...) {
      // The call's own failure is the one to report.
      counters_.Redirects = 0;
    }
    throw;
  }
  CloseAfterCall();
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
    WriteFromStream(*Request.BodySource, true, false, kToStreamEnd);
}

void TNetCustomHTTP::ConnectIfNeeded(TNetHTTPResponse& response) {
  if (!response.ConnectionReusable()) CloseConnection();
  ProbePeerClosed(false);
  if (IsConnected()) return;
  int timeout = ConnectTimeout != kNoTimeout ? ConnectTimeout : ReadTimeout;
  const int left = DeadlineLeftMs();
  if (left == 0) throw ENetReadTimeout("Transfer time limit reached");
  if (left > 0 && (timeout <= 0 || left < timeout)) timeout = left;
  // A failed connect says where it went: the server, its proxy or the SOCKS server.
  const auto place = [this] {
    const bool proxy = Request.ConnectionKind == TNetConnectionKind::ckProxy ||
                       Request.ConnectionKind == TNetConnectionKind::ckTlsViaProxy;
    return "cannot connect to " + std::string(proxy ? "proxy " : "") +
           (IOHandler() ? IOHandler()->ConnectPlace(Host(), Port())
                        : Host() + ":" + std::to_string(Port())) +
           ": ";
  };
  try {
    OpenConnection(timeout);
  } catch (const ENetSSLProtocolReplyError&) {
    CloseConnection();
    throw;
  } catch (const ENetSocketError& e) {
    throw ENetSocketError(e.SocketErrorCode(), place() + e.Message());
  } catch (const ENetConnectException& e) {
    throw ENetConnectException(place() + e.Message());
  } catch (const ENetConnectTimeout& e) {
    throw ENetConnectTimeout(place() + e.Message());
  }
}
