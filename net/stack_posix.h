// The stack's implementation for POSIX systems. It reaches the socket functions through the
// run-time binding of the sockets library and keeps each thread's last error as the stack's
// error number.
#pragma once

#include "net/stack.h"

// The concrete stack over the C library's socket functions.
class TNetStackPosix : public TNetStack {
 public:
  // Loads and starts the sockets library the first time a stack is created in the
  // process; a failed start-up raises ENetStackInitializationFailed.
  TNetStackPosix();
  ~TNetStackPosix() override;

  void FillLocalAddresses() override;
  int AcceptOn(int handle, std::string& ip, int& port) override;
  int BindTo(int handle, int family, int port, const std::string& ip) override;
  int ReleaseSocket(int handle) override;
  int ConnectTo(int handle, int family, int port, const std::string& ip) override;
  std::string HostNameToAddress(const std::string& name) override;
  std::string OwnHostName() override;
  std::string AddressToHostName(const std::string& ip) override;
  int ServiceNameToPort(const std::string& service) override;
  TStringList PortToServiceNames(int port) override;
  uint16_t HostToNet16(uint16_t value) override;
  int StartListening(int handle, int backlog) override;
  uint16_t NetToHost16(uint16_t value) override;
  uint32_t HostToNet32(uint32_t value) override;
  uint32_t NetToHost32(uint32_t value) override;
  int ReceiveOn(int handle, void* buffer, int length, int flags) override;
  int ReceiveDatagram(int handle, void* buffer, int length, int flags, std::string& ip,
                      int& port) override;
  int WaitOnSockets(TNetSocketList* readList, TNetSocketList* writeList, int timeoutMs,
                    TNetSocketList* errorList) override;
  int SendOn(int handle, const void* buffer, int length, int flags) override;
  int SendDatagram(int handle, const void* buffer, int length, int flags, const std::string& ip,
                   int port) override;
  int SetOption(int handle, int level, int option, const void* value, int length) override;
  int NewSocket(int family, int type, int protocol) override;
  int ShutdownSocket(int handle, int how) override;
  std::string ErrorText(int code) override;
  int LastErrorCode() override;
  void PeerAddressOf(int handle, int& family, int& port, std::string& ip) override;
  void LocalAddressOf(int handle, int& family, int& port, std::string& ip) override;
  int GetOption(int handle, int level, int option, void* value, int& length) override;
  std::string AddressToText(const TNetIPv4Address& address) override;
  void TextToAddressInto(const std::string& text, TNetIPv4Address& address) override;
  int WaitReadableOn(int handle, int timeoutMs) override;
  void SetLastErrorCode(int code) override;
};
