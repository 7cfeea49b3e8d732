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
constexpr char kMethodNone = 0;
constexpr char kMethodUsernamePassword = 2;
constexpr char kAuthVersion = 1;
constexpr char kAddressIPv4 = 1;
constexpr char kAddressDomain = 3;
constexpr char kAddressIPv6 = 4;
constexpr int kSocks4Granted = 90;

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
    case 91:
      throw ENetSocksRequestFailed("Request rejected or failed.");
    case 92:
      throw ENetSocksRequestServerFailed("Request rejected because SOCKS server cannot connect.");
    case 93:
      throw ENetSocksRequestIdentFailed(
          "Request rejected because the client program and identd report different user-ids.");
    default:
      throw ENetSocksUnknownError("Unknown socks error.");
  }
}

[[noreturn]] void RaiseSocks5Reply(int code) {
  switch (code) {
    case 1:
      throw ENetSocksServerGeneralError("General SOCKS server failure.");
    case 2:
      throw ENetSocksServerPermissionError("Connection not allowed by ruleset.");
    case 3:
      throw ENetSocksServerNetUnreachableError("Network unreachable.");
    case 4:
      throw ENetSocksServerHostUnreachableError("Host unreachable.");
    case 5:
      throw ENetSocksServerConnectionRefusedError("Connection refused.");
    case 6:
      throw ENetSocksServerTTLExpiredError("TTL expired.");
    case 7:
      throw ENetSocksServerCommandError("Command not supported.");
    case 8:
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
    // 0.0.0.1: the server resolves the name that follows the user id.
    request += std::string("\0\0\0\1", 4);
  }
  request += Username;
  request += '\0';
  if (Version == TSocksVersion::svSocks4A) {
    request += host;
    request += '\0';
  }
  SendAll(request);
  const std::string reply = ReceiveSocks4(8);
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
  SendAll(std::string{kSocks5Version, 1, method});
  std::string reply = ReceiveSocks5(2);
  if (reply[1] != method) throw ENetSocksAuthMethodError("Invalid socks authentication method.");

  if (withPassword) {
    std::string login;
    login += kAuthVersion;
    login += static_cast<char>(Username.size());
    login += Username;
    login += static_cast<char>(Password.size());
    login += Password;
    SendAll(login);
    reply = ReceiveSocks5(2);
    if (reply[1] != 0) throw ENetSocksAuthError("Authentication error to socks server.");
  }

  // The destination always goes as a name, also when it is dotted text.
  std::string request{kSocks5Version, kCommandConnect, 0, kAddressDomain};
  request += static_cast<char>(host.size());
  request += host;
  AppendPort(request, port);
  SendAll(request);

  reply = ReceiveSocks5(5);
  const int code = static_cast<unsigned char>(reply[1]);
  if (code != 0) RaiseSocks5Reply(code);
  // The bound address and port follow; none of it may be left for the application. One
  // address byte (a name's length) has been read with the head.
  int rest = 0;
  switch (reply[3]) {
    case kAddressIPv4:
      rest = 4 - 1 + 2;
      break;
    case kAddressDomain:
      rest = static_cast<unsigned char>(reply[4]) + 2;
      break;
    case kAddressIPv6:
      rest = 16 - 1 + 2;
      break;
    default:
      // Without a known address length the rest of the reply cannot be told from the
      // destination's bytes.
      throw ENetSocksServerAddressError("Address type not supported.");
  }
  ReceiveSocks5(rest);
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

std::string TNetSocksInfo::ReceiveSocks4(int count) {
  if (!io_handler_) throw ENetClosedSocket("Disconnected.");
  std::string bytes(static_cast<size_t>(count), '\0');
  int got = 0;
  while (got < count) {
    const int n = io_handler_->ReceiveSome(bytes.data() + got, count - got);
    if (n == kSocketError) GlobalStack->CheckSocketResult(n);
    if (n <= 0) throw ENetConnClosedGracefully("Connection Closed Gracefully.");
    got += n;
  }
  return bytes;
}

std::string TNetSocksInfo::ReceiveSocks5(int count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  int got = 0;
  try {
    if (!io_handler_) throw ENetClosedSocket("Disconnected.");
    while (got < count) {
      const int n = io_handler_->ReceiveSome(bytes.data() + got, count - got);
      if (n <= 0) RaiseNoResponse();
      got += n;
    }
  } catch (const ENetSocksServerRespondError&) {
    throw;
  } catch (const Exception&) {
    RaiseNoResponse();
  }
  return bytes;
}
