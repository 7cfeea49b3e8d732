#include "net/socks_info.h"

#include "base/net_exceptions.h"
#include "net/io_handler.h"
#include "net/stack.h"

namespace {

// Length fields of the SOCKS messages are single bytes.
constexpr size_t kMaxFieldLength = 255;

constexpr char kSocks4Version = 4;
constexpr char kSocks5Version = 5;
constexpr char kCommandConnect = 1;
// The greeting offers one authentication method.
constexpr char kOneMethod = 1;
constexpr char kMethodNone = 0;
constexpr char kMethodUsernamePassword = 2;
constexpr char kAuthVersion = 1;
// The byte after the command of a SOCKS 5 request.
constexpr char kReserved = 0;
constexpr char kAddressIPv4 = 1;
constexpr char kAddressDomain = 3;
constexpr char kAddressIPv6 = 4;
// SOCKS 4 reply statuses.
constexpr int kSocks4Granted = 90;
constexpr int kSocks4Rejected = 91;
constexpr int kSocks4NoIdentd = 92;
constexpr int kSocks4IdentMismatch = 93;
// SOCKS 5 reply codes.
constexpr int kSocks5Succeeded = 0;
constexpr int kSocks5GeneralFailure = 1;
constexpr int kSocks5NotAllowed = 2;
constexpr int kSocks5NetworkUnreachable = 3;
constexpr int kSocks5HostUnreachable = 4;
constexpr int kSocks5ConnectionRefused = 5;
constexpr int kSocks5TTLExpired = 6;
constexpr int kSocks5CommandNotSupported = 7;
constexpr int kSocks5AddressNotSupported = 8;
// The status of the username/password sub-negotiation that lets us in.
constexpr char kAuthSucceeded = 0;
// Lengths of the replies we read (SOCKS 5: up to the first byte of the bound address) and of
// the address and port fields.
constexpr int kSocks4ReplyLength = 8;
constexpr int kSocks5MethodReplyLength = 2;
constexpr int kSocks5AuthReplyLength = 2;
constexpr int kSocks5ReplyHeadLength = 5;
constexpr int kIPv4Length = 4;
constexpr int kIPv6Length = 16;
constexpr int kPortLength = 2;
// SOCKS 4A's destination address 0.0.0.1: the server resolves the name that follows the user
// id.
constexpr char kSocks4AMarker[] = {0, 0, 0, 1};

// Refuses a field that the wire cannot carry, before anything is sent.
void CheckFieldLength(const std::string& value, const char* field) {
  if (value.size() > kMaxFieldLength)
    throw ENetSocksError(std::string("Socks ") + field + " is longer than 255 bytes.");
}

void AppendPort(std::string& bytes, int port) {
  bytes += static_cast<char>((port >> 8) & 0xFF);
  bytes += static_cast<char>(port & 0xFF);
}

[[noreturn]] void RaiseSocks4Status(int status) {
  switch (status) {
    case kSocks4Rejected:
      throw ENetSocksRequestFailed("Request rejected or failed.");
    case kSocks4NoIdentd:
      throw ENetSocksRequestServerFailed("Request rejected because SOCKS server cannot connect.");
    case kSocks4IdentMismatch:
      throw ENetSocksRequestIdentFailed(
          "Request rejected because the client program and identd report different user-ids.");
    default:
      throw ENetSocksUnknownError("Unknown socks error.");
  }
}

[[noreturn]] void RaiseSocks5Reply(int code) {
  switch (code) {
    case kSocks5GeneralFailure:
      throw ENetSocksServerGeneralError("General SOCKS server failure.");
    case kSocks5NotAllowed:
      throw ENetSocksServerPermissionError("Connection not allowed by ruleset.");
    case kSocks5NetworkUnreachable:
      throw ENetSocksServerNetUnreachableError("Network unreachable.");
    case kSocks5HostUnreachable:
      throw ENetSocksServerHostUnreachableError("Host unreachable.");
    case kSocks5ConnectionRefused:
      throw ENetSocksServerConnectionRefusedError("Connection refused.");
    case kSocks5TTLExpired:
      throw ENetSocksServerTTLExpiredError("TTL expired.");
    case kSocks5CommandNotSupported:
      throw ENetSocksServerCommandError("Command not supported.");
    case kSocks5AddressNotSupported:
      throw ENetSocksServerAddressError("Address type not supported.");
    default:
      throw ENetSocksUnknownError("Unknown socks error.");
  }
}

[[noreturn]] void RaiseNoResponse() {
  throw ENetSocksServerRespondError("Socks server did not respond.");
}

}  // namespace

TNetSocksInfo::TNetSocksInfo(TComponent* owner) : TNetComponent(owner) {}

TNetSocksInfo::~TNetSocksInfo() = default;

void TNetSocksInfo::Assign(const TNetSocksInfo& source) {
  Authentication = source.Authentication;
  Host = source.Host;
  Password = source.Password;
  Port = source.Port;
  Username = source.Username;
  Version = source.Version;
}

void TNetSocksInfo::SetIOHandler(TNetIOHandler* handler) {
  if (io_handler_ == handler) return;
  if (io_handler_) RemoveFreeNotification(io_handler_);
  io_handler_ = handler;
  if (io_handler_) FreeNotification(io_handler_);
}

void TNetSocksInfo::Notification(TComponent* component, TOperation operation) {
  TNetComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == io_handler_) io_handler_ = nullptr;
}

void TNetSocksInfo::NegotiateSocksConnect(const std::string& host, int port) {
  switch (Version) {
    case TSocksVersion::svNoSocks:
      return;
    case TSocksVersion::svSocks4:
    case TSocksVersion::svSocks4A:
      MakeSocks4Connection(host, port);
      return;
    case TSocksVersion::svSocks5:
      MakeSocks5Connection(host, port);
      return;
  }
}

void TNetSocksInfo::MakeSocks4Connection(const std::string& host, int port) {
  CheckFieldLength(Username, "user name");
  if (Version == TSocksVersion::svSocks4A) CheckFieldLength(host, "destination host name");
  std::string request;
  request += kSocks4Version;
  request += kCommandConnect;
  AppendPort(request, port);
  if (Version == TSocksVersion::svSocks4) {
    const TNetIPv4Address address = GlobalStack->TextToAddress(GlobalStack->ResolveHostToIP(host));
    request.append(reinterpret_cast<const char*>(address.data()), address.size());
  } else {
    request.append(kSocks4AMarker, sizeof(kSocks4AMarker));
  }
  request += Username;
  request += '\0';
  if (Version == TSocksVersion::svSocks4A) {
    request += host;
    request += '\0';
  }
  SendAll(request);
  const std::string reply = ReceiveReply(kSocks4ReplyLength);
  const int status = static_cast<unsigned char>(reply[1]);
  if (status != kSocks4Granted) RaiseSocks4Status(status);
}

void TNetSocksInfo::MakeSocks5Connection(const std::string& host, int port) {
  const bool withPassword = Authentication == TSocksAuthentication::saUsernamePassword;
  if (withPassword) {
    CheckFieldLength(Username, "user name");
    CheckFieldLength(Password, "password");
  }
  CheckFieldLength(host, "destination host name");

  const char method = withPassword ? kMethodUsernamePassword : kMethodNone;
  SendAll(std::string{kSocks5Version, kOneMethod, method});
  std::string reply = ReceiveReply(kSocks5MethodReplyLength);
  if (reply[1] != method) throw ENetSocksAuthMethodError("Invalid socks authentication method.");

  if (withPassword) {
    std::string login;
    login += kAuthVersion;
    login += static_cast<char>(Username.size());
    login += Username;
    login += static_cast<char>(Password.size());
    login += Password;
    SendAll(login);
    reply = ReceiveReply(kSocks5AuthReplyLength);
    if (reply[1] != kAuthSucceeded)
      throw ENetSocksAuthError("Authentication error to socks server.");
  }

  // The destination always goes as a name, also when it is dotted text.
  std::string request{kSocks5Version, kCommandConnect, kReserved, kAddressDomain};
  request += static_cast<char>(host.size());
  request += host;
  AppendPort(request, port);
  SendAll(request);

  reply = ReceiveReply(kSocks5ReplyHeadLength);
  const int code = static_cast<unsigned char>(reply[1]);
  if (code != kSocks5Succeeded) RaiseSocks5Reply(code);
  // The bound address and port follow; none of it may be left for the application. One
  // address byte (a name's length) has been read with the head.
  int rest = 0;
  switch (reply[3]) {
    case kAddressIPv4:
      rest = kIPv4Length - 1 + kPortLength;
      break;
    case kAddressDomain:
      rest = static_cast<unsigned char>(reply[4]) + kPortLength;
      break;
    case kAddressIPv6:
      rest = kIPv6Length - 1 + kPortLength;
      break;
    default:
      // Without a known address length the rest of the reply cannot be told from the
      // destination's bytes.
      throw ENetSocksServerAddressError("Address type not supported.");
  }
  ReceiveReply(rest);
}

void TNetSocksInfo::SendAll(const std::string& bytes) {
  if (!io_handler_) throw ENetClosedSocket("Disconnected.");
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int n = io_handler_->SendSome(bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (n == kSocketError) GlobalStack->CheckSocketResult(n);
    if (n <= 0) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
    sent += static_cast<size_t>(n);
  }
}

std::string TNetSocksInfo::ReceiveReply(int count) {
  // SOCKS 5 reports whatever ends its reply early as a server that did not respond.
  const bool asNoResponse = Version == TSocksVersion::svSocks5;
  std::string bytes(static_cast<size_t>(count), '\0');
  try {
    if (!io_handler_) throw ENetClosedSocket("Disconnected.");
    int got = 0;
    while (got < count) {
      if (ReplyTimeout > 0 && !io_handler_->WaitReadable(ReplyTimeout))
        throw ENetReadTimeout("Read Timeout");
      const int n = io_handler_->ReceiveSome(bytes.data() + got, count - got);
      if (n <= 0 && asNoResponse) RaiseNoResponse();
      if (n == kSocketError) GlobalStack->CheckSocketResult(n);
      if (n <= 0) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
      got += n;
    }
  } catch (const Exception&) {
    if (!asNoResponse) throw;
    RaiseNoResponse();
  }
  return bytes;
}
