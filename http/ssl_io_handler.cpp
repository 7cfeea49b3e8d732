#include "http/ssl_io_handler.h"

#include "base/net_exceptions.h"

TNetSSLIOHandlerSocket::TNetSSLIOHandlerSocket(TComponent* owner) : TNetIOHandlerSocket(owner) {}

TNetSSLIOHandlerSocket::~TNetSSLIOHandlerSocket() {
  TNetSSLIOHandlerSocket::CloseHandler();
}

void TNetSSLIOHandlerSocket::SetPassThrough(bool value) {
  if (value == pass_through_) return;
  pass_through_ = value;
  if (value) {
    tls_active_ = false;
  } else if (IsOpen()) {
    NegotiateOrClose();
  }
}

void TNetSSLIOHandlerSocket::CloseHandler() {
  tls_active_ = false;
  TNetIOHandlerSocket::CloseHandler();
}

void TNetSSLIOHandlerSocket::ConnectToPeer(const std::string& host, int port,
                                           const std::string& boundIP, int boundPort,
                                           int boundPortLow, int boundPortHigh, int timeoutMs) {
  tls_active_ = false;
  TNetIOHandlerSocket::ConnectToPeer(host, port, boundIP, boundPort, boundPortLow, boundPortHigh,
                                     timeoutMs);
  if (!pass_through_) NegotiateOrClose();
}

int TNetSSLIOHandlerSocket::ReceiveSome(void* buffer, int length) {
  if (!pass_through_ && !tls_active_) throw ENetSSLProtocolReplyError(0, NoEngineMessage);
  return TNetIOHandlerSocket::ReceiveSome(buffer, length);
}

int TNetSSLIOHandlerSocket::SendSome(const void* buffer, int length) {
  if (!pass_through_ && !tls_active_) throw ENetSSLProtocolReplyError(0, NoEngineMessage);
  return TNetIOHandlerSocket::SendSome(buffer, length);
}

void TNetSSLIOHandlerSocket::StartTLS() {
  throw ENetSSLProtocolReplyError(0, NoEngineMessage);
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
