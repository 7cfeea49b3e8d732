// The error classes of the network family. They live here, below every network layer,
// because the address, cookie, HTTP and transport layers all raise members of one tree.
#pragma once

#include <string>

#include "base/exception.h"

FG_DECLARE_EXCEPTION(ENetException, Exception);

// Silent errors end an operation without being shown to the user.
FG_DECLARE_EXCEPTION(ENetSilentException, ENetException);
FG_DECLARE_EXCEPTION(ENetConnClosedGracefully, ENetSilentException);
// A transfer the user stopped: "Transfer stopped.". It ends the blocking wait it is raised in
// and takes the usual failure path, but tells the user nothing they did not ask for.
FG_DECLARE_EXCEPTION(ENetTransferStopped, ENetSilentException);

// A protocol reply that carries a numeric code.
class ENetProtocolReplyError : public ENetException {
 public:
  ENetProtocolReplyError(int code, std::string message)
      : ENetException(std::move(message)), code_(code) {}
  int ReplyErrorCode() const { return code_; }
  const char* ClassName() const override { return "ENetProtocolReplyError"; }

 private:
  int code_;
};

// An HTTP status the client does not accept; the message is the status line.
class ENetHTTPProtocolException : public ENetProtocolReplyError {
 public:
  ENetHTTPProtocolException(int statusCode, std::string statusLine, std::string bodyText)
      : ENetProtocolReplyError(statusCode, std::move(statusLine)),
        body_text_(std::move(bodyText)) {}
  int StatusCode() const { return ReplyErrorCode(); }
  const std::string& BodyText() const { return body_text_; }
  const char* ClassName() const override { return "ENetHTTPProtocolException"; }

 private:
  std::string body_text_;
};

class ENetSSLProtocolReplyError : public ENetProtocolReplyError {
 public:
  using ENetProtocolReplyError::ENetProtocolReplyError;
  const char* ClassName() const override { return "ENetSSLProtocolReplyError"; }
};

// A failed socket call: "Socket Error # %d\r\n%s".
class ENetSocketError : public ENetException {
 public:
  ENetSocketError(int code, std::string message)
      : ENetException(std::move(message)), socket_error_code_(code) {}
  int SocketErrorCode() const { return socket_error_code_; }
  const char* ClassName() const override { return "ENetSocketError"; }

 private:
  int socket_error_code_;
};

// The sockets library could not be loaded or a function was called before loading.
class ENetWS2StubError : public ENetException {
 public:
  ENetWS2StubError(unsigned systemErrorCode, std::string systemErrorText, std::string baseMessage)
      : ENetException(systemErrorCode != 0 ? systemErrorText + ": " + baseMessage : baseMessage),
        system_error_code_(systemErrorCode),
        system_error_text_(std::move(systemErrorText)),
        base_message_(std::move(baseMessage)) {}
  unsigned SystemErrorCode() const { return system_error_code_; }
  const std::string& SystemErrorText() const { return system_error_text_; }
  const std::string& BaseMessage() const { return base_message_; }
  const char* ClassName() const override { return "ENetWS2StubError"; }

 private:
  unsigned system_error_code_;
  std::string system_error_text_;
  std::string base_message_;
};

FG_DECLARE_EXCEPTION(ENetStackError, ENetException);
FG_DECLARE_EXCEPTION(ENetStackInitializationFailed, ENetStackError);
FG_DECLARE_EXCEPTION(ENetStackSetSizeExceeded, ENetStackError);

FG_DECLARE_EXCEPTION(ENetSocketHandleError, ENetException);
FG_DECLARE_EXCEPTION(ENetCouldNotBindSocket, ENetSocketHandleError);
FG_DECLARE_EXCEPTION(ENetCanNotBindPortInRange, ENetSocketHandleError);
FG_DECLARE_EXCEPTION(ENetInvalidPortRange, ENetSocketHandleError);
FG_DECLARE_EXCEPTION(ENetConnectTimeout, ENetException);
FG_DECLARE_EXCEPTION(ENetConnectException, ENetException);
FG_DECLARE_EXCEPTION(ENetClosedSocket, ENetException);

FG_DECLARE_EXCEPTION(ENetTCPConnectionError, ENetException);
FG_DECLARE_EXCEPTION(ENetNotEnoughDataInBuffer, ENetTCPConnectionError);
FG_DECLARE_EXCEPTION(ENetIOHandlerPropInvalid, ENetTCPConnectionError);
FG_DECLARE_EXCEPTION(ENetNoDataToRead, ENetTCPConnectionError);
FG_DECLARE_EXCEPTION(ENetNotConnected, ENetTCPConnectionError);
FG_DECLARE_EXCEPTION(ENetFileNotFound, ENetTCPConnectionError);
FG_DECLARE_EXCEPTION(ENetReadTimeout, ENetException);
FG_DECLARE_EXCEPTION(ENetReadLnMaxLineLengthExceeded, ENetException);
FG_DECLARE_EXCEPTION(ENetAlreadyConnected, ENetException);
FG_DECLARE_EXCEPTION(ENetInvalidServiceName, ENetException);
FG_DECLARE_EXCEPTION(ENetInvalidSocket, ENetException);

FG_DECLARE_EXCEPTION(ENetURIException, ENetException);
FG_DECLARE_EXCEPTION(ENetFailedToRetreiveTimeZoneInfo, ENetException);
FG_DECLARE_EXCEPTION(ENetAlreadyRegisteredAuthenticationMethod, ENetException);
FG_DECLARE_EXCEPTION(ENetUnknownProtocol, ENetException);

FG_DECLARE_EXCEPTION(ENetSocksError, ENetException);
FG_DECLARE_EXCEPTION(ENetSocksRequestFailed, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksRequestServerFailed, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksRequestIdentFailed, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksUnknownError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerRespondError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksAuthMethodError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksAuthError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerGeneralError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerPermissionError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerNetUnreachableError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerHostUnreachableError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerConnectionRefusedError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerTTLExpiredError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerCommandError, ENetSocksError);
FG_DECLARE_EXCEPTION(ENetSocksServerAddressError, ENetSocksError);
