#include "net/ssl_io_handler.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "net/anti_freeze.h"
#include "net/ssl_engine.h"
#include "net/stack.h"

namespace {

// What a peek of ReadRecords gives while only records without data have arrived.
constexpr int kNothingReadable = -2;

// The text of a socket error code without its "Socket Error # N" line.
std::string SocketErrorReason(int code) {
  const std::string text = GlobalStack->ErrorText(code);
  const size_t lineEnd = text.find("\r\n");
  const std::string reason = lineEnd == std::string::npos ? text : text.substr(lineEnd + 2);
  return reason.empty() ? text : reason;
}

}  // namespace

TNetSSLIOHandlerSocket::TNetSSLIOHandlerSocket(TComponent* owner) : TNetIOHandlerSocket(owner) {}

TNetSSLIOHandlerSocket::~TNetSSLIOHandlerSocket() {
  TNetSSLIOHandlerSocket::CloseHandler();
}

void TNetSSLIOHandlerSocket::SetPassThrough(bool value) {
  if (value == pass_through_) return;
  pass_through_ = value;
  if (value) {
    // The session cannot go on in the clear: that connection is over.
    if (tls_active_) CloseHandler();
    tls_active_ = false;
  } else if (IsOpen()) {
    NegotiateOrClose();
  }
}

std::string TNetSSLIOHandlerSocket::ProtocolText() const {
  if (!engine_ || !engine_->Session || !tls_active_) return std::string();
  return SSL_get_version(engine_->Session);
}

std::string TNetSSLIOHandlerSocket::CipherName() const {
  if (!engine_ || !engine_->Session || !tls_active_) return std::string();
  const SSL_CIPHER* cipher = SSL_get_current_cipher(engine_->Session);
  return cipher ? SSL_CIPHER_get_name(cipher) : std::string();
}

void TNetSSLIOHandlerSocket::FreeSession() {
  if (engine_ && engine_->Session) {
    SSL_free(engine_->Session);
    engine_->Session = nullptr;
  }
  if (engine_) {
    engine_->Broken = false;
    engine_->PeekedEnd.reset();
    engine_->PeekedError = nullptr;
  }
  tls_active_ = false;
  kept_exception_ = nullptr;
  kept_socket_error_ = 0;
}

void TNetSSLIOHandlerSocket::CloseHandler() {
  if (engine_ && engine_->Session && tls_active_ && !engine_->Broken && IsOpen()) {
    // close_notify only; the peer's answer is not waited for.
    SSL_shutdown(engine_->Session);
    ERR_clear_error();
  }
  FreeSession();
  TNetIOHandlerSocket::CloseHandler();
}

void TNetSSLIOHandlerSocket::ConnectToPeer(const std::string& host, int port,
                                           const std::string& boundIP, int boundPort,
                                           int boundPortLow, int boundPortHigh, int timeoutMs) {
  FreeSession();
  close_notify_ = false;
  ServerName = host;
  handshake_limit_ = timeoutMs > 0 ? timeoutMs : std::max(HandshakeTimeout, kNoTimeout);
  // A SOCKS server's negotiation comes before TLS and passes in the clear.
  connecting_ = true;
  try {
    TNetIOHandlerSocket::ConnectToPeer(host, port, boundIP, boundPort, boundPortLow, boundPortHigh,
                                       timeoutMs);
  } catch (...) {
    connecting_ = false;
    throw;
  }
  connecting_ = false;
  if (!pass_through_) NegotiateOrClose();
}

int TNetSSLIOHandlerSocket::ReceiveRaw(char* buffer, int length) {
  try {
    if (deadline_) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            *deadline_ - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0 || !TNetIOHandlerSocket::WaitReadable(static_cast<int>(left))) {
        deadline_passed_ = true;
        return kSocketError;
      }
    } else if (AntiFreezeInUse()) {
      // A window waiting for a server that stalls mid-record or mid-handshake keeps its
      // events (and its stop button) going.
      TNetIOHandlerSocket::WaitReadable(kWaitForever);
    }
    const int n = TNetIOHandlerSocket::ReceiveSome(buffer, length);
    if (n < 0) kept_socket_error_ = GlobalStack->LastErrorCode();
    return n;
  } catch (...) {
    // Nothing may be thrown through OpenSSL's frames.
    kept_exception_ = std::current_exception();
    return kSocketError;
  }
}

int TNetSSLIOHandlerSocket::SendRaw(const char* buffer, int length) {
  try {
    const int n = TNetIOHandlerSocket::SendSome(buffer, length);
    if (n < 0) kept_socket_error_ = GlobalStack->LastErrorCode();
    return n;
  } catch (...) {
    kept_exception_ = std::current_exception();
    return kSocketError;
  }
}

void TNetSSLIOHandlerSocket::RethrowKept() {
  if (kept_exception_) {
    std::exception_ptr kept = kept_exception_;
    kept_exception_ = nullptr;
    if (engine_) engine_->Broken = true;
    std::rethrow_exception(kept);
  }
  if (kept_socket_error_ != 0) {
    GlobalStack->SetLastErrorCode(kept_socket_error_);
    kept_socket_error_ = 0;
  }
}

void TNetSSLIOHandlerSocket::StartTLS() {
  if (!engine_) engine_ = std::make_unique<TEngine>();
  TEngine& engine = *engine_;
  engine.PrepareContext(CAFile, VerifyPeer);

  FreeSession();
  if (VerifyPeer && ServerName.empty())
    throw ENetSSLProtocolReplyError(
        0, "TLS handshake with (no host) failed: no host name to check the certificate against");
  engine.StartSession(*this, ServerName, VerifyPeer);

  ERR_clear_error();
  deadline_passed_ = false;
  if (handshake_limit_ > 0)
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(handshake_limit_);
  const int result = SSL_connect(engine.Session);
  deadline_.reset();
  if (result == 1) {
    kept_socket_error_ = 0;
    tls_active_ = true;
    ReportStatus(TNetStatus::hsStatusText,
                 {"TLS session with " + ServerName + ": " + ProtocolText() + ", " + CipherName()});
    return;
  }
  engine.Broken = true;
  if (kept_exception_) RethrowKept();
  const std::string message = HandshakeFailure();
  ERR_clear_error();
  kept_socket_error_ = 0;
  throw ENetSSLProtocolReplyError(0, message);
}

std::string TNetSSLIOHandlerSocket::HandshakeFailure() {
  std::string reason;
  std::string detail;
  const unsigned long error = ERR_peek_last_error();
  if (deadline_passed_) {
    reason = Format("no answer within %d ms", handshake_limit_);
  } else if (error != 0 && ERR_GET_REASON(error) != SSL_R_UNEXPECTED_EOF_WHILE_READING) {
    reason = ReasonOf(error);
    const long verified = SSL_get_verify_result(engine_->Session);
    if (ERR_GET_REASON(error) == SSL_R_CERTIFICATE_VERIFY_FAILED && verified != X509_V_OK)
      detail = X509_verify_cert_error_string(verified);
  } else if (kept_socket_error_ != 0) {
    reason = SocketErrorReason(kept_socket_error_);
  } else {
    reason = "the server closed the connection";
  }
  std::string message = "TLS handshake with " + ServerName + " failed: " + reason;
  if (!detail.empty()) message += " (" + detail + ")";
  return message;
}

void TNetSSLIOHandlerSocket::NegotiateOrClose() {
  try {
    StartTLS();
  } catch (...) {
    CloseHandler();
    throw;
  }
  tls_active_ = true;
}

int TNetSSLIOHandlerSocket::ReadRecords(void* buffer, int length, bool peek) {
  TEngine& engine = *engine_;
  for (;;) {
    size_t got = 0;
    ERR_clear_error();
    const int result = peek
                           ? SSL_peek_ex(engine.Session, buffer, static_cast<size_t>(length), &got)
                           : SSL_read_ex(engine.Session, buffer, static_cast<size_t>(length), &got);
    if (result == 1) return static_cast<int>(got);
    const int kind = SSL_get_error(engine.Session, result);
    if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
      // A record that carried no data. A peek reports that nothing is readable yet.
      if (peek && !SSL_has_pending(engine.Session)) return kNothingReadable;
      continue;
    }
    const int socketError = kept_socket_error_;
    RethrowKept();
    engine.Broken = kind != SSL_ERROR_ZERO_RETURN;
    if (kind == SSL_ERROR_ZERO_RETURN) {
      close_notify_ = true;
      return 0;
    }
    const unsigned long error = ERR_peek_last_error();
    ERR_clear_error();
    if (kind == SSL_ERROR_SYSCALL && error == 0) {
      // A socket error with its code handed back to the stack; otherwise a bare TCP close.
      return socketError != 0 ? kSocketError : 0;
    }
    // A TCP close without close_notify: the framing of what was read decides whether it
    // was complete.
    if (ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING) return 0;
    throw ENetSSLProtocolReplyError(0, "TLS error with " + ServerName + ": " + ReasonOf(error));
  }
}

bool TNetSSLIOHandlerSocket::WaitReadable(int timeoutMs) {
  if (!engine_ || !engine_->Session || !tls_active_)
    return TNetIOHandlerSocket::WaitReadable(timeoutMs);
  TEngine& engine = *engine_;
  if (engine.PeekedEnd || engine.PeekedError) return true;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (!SSL_has_pending(engine.Session)) {
      int wait = timeoutMs;
      if (timeoutMs >= 0) {
        wait = static_cast<int>(
            std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                       end - std::chrono::steady_clock::now())
                                       .count()));
      }
      if (!TNetIOHandlerSocket::WaitReadable(wait)) return false;
    }
    char first = 0;
    int seen = 0;
    try {
      seen = ReadRecords(&first, 1, true);
    } catch (...) {
      engine.PeekedError = std::current_exception();
      return true;
    }
    if (seen > 0) return true;
    if (seen != kNothingReadable) {
      // A close or a socket error: the receive that follows reports it.
      engine.PeekedEnd = seen;
      if (seen < 0) kept_socket_error_ = GlobalStack->LastErrorCode();
      return true;
    }
    if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= end) return false;
  }
}

int TNetSSLIOHandlerSocket::ReceiveSome(void* buffer, int length) {
  if (!engine_ || !engine_->Session || !tls_active_) {
    if (!pass_through_ && !tls_active_ && !connecting_)
      throw ENetSSLProtocolReplyError(0, "TLS is not running on this connection.");
    return TNetIOHandlerSocket::ReceiveSome(buffer, length);
  }
  if (!IsOpen()) throw ENetClosedSocket("Disconnected.");
  TEngine& engine = *engine_;
  if (engine.PeekedError) {
    std::exception_ptr error = engine.PeekedError;
    engine.PeekedError = nullptr;
    std::rethrow_exception(error);
  }
  if (engine.PeekedEnd) {
    const int end = *engine.PeekedEnd;
    engine.PeekedEnd.reset();
    if (end < 0) RethrowKept();
    return end;
  }
  if (length <= 0) return 0;
  return ReadRecords(buffer, length, false);
}

int TNetSSLIOHandlerSocket::SendSome(const void* buffer, int length) {
  if (!engine_ || !engine_->Session || !tls_active_) {
    if (!pass_through_ && !tls_active_ && !connecting_)
      throw ENetSSLProtocolReplyError(0, "TLS is not running on this connection.");
    return TNetIOHandlerSocket::SendSome(buffer, length);
  }
  if (!IsOpen()) throw ENetClosedSocket("Disconnected.");
  if (length <= 0) return 0;
  TEngine& engine = *engine_;
  size_t written = 0;
  ERR_clear_error();
  const int result = SSL_write_ex(engine.Session, buffer, static_cast<size_t>(length), &written);
  if (result == 1) return static_cast<int>(written);
  const int kind = SSL_get_error(engine.Session, result);
  const int socketError = kept_socket_error_;
  RethrowKept();
  engine.Broken = true;
  const unsigned long error = ERR_peek_last_error();
  ERR_clear_error();
  if (kind == SSL_ERROR_ZERO_RETURN) return 0;
  if (kind == SSL_ERROR_SYSCALL && error == 0) return socketError != 0 ? kSocketError : 0;
  throw ENetSSLProtocolReplyError(0, "TLS error with " + ServerName + ": " + ReasonOf(error));
}
