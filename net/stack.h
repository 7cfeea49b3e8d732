// The socket stack: the one place where the system calls the operating system's socket
// functions. One instance, GlobalStack, serves the whole process while any network
// component exists. Addresses are IPv4 only; socket handles are ints, kInvalidSocket being
// none, and a call result of kSocketError is a failure whose code LastErrorCode gives.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "base/object.h"
#include "base/string_list.h"
#include "net/host_lookup.h"
#include "net/ipv4_address.h"
#include "net/socket_errors.h"
#include "net/socket_list.h"
#include "net/special_values.h"

class TNetStack : public TObject {
 public:
  TNetStack() = default;
  ~TNetStack() override = default;

  // The last error code kept by CheckSocketResult. The connect thread writes it too.
  std::atomic<int> StoredError{0};

  // Refills LocalAddressList with every address of the own host name, as dotted text.
  virtual void FillLocalAddresses() = 0;
  virtual std::string FirstLocalAddress();
  // Created when absent and refilled on every call; owned by the stack.
  virtual TStringList* LocalAddressList();
  // The new handle, or kInvalidSocket; fills the peer's address and host-order port.
  virtual int AcceptOn(int handle, std::string& ip, int& port) = 0;
  // An empty ip binds to any local address.
  virtual int BindTo(int handle, int family, int port, const std::string& ip) = 0;
  virtual int ReleaseSocket(int handle) = 0;
  virtual int ConnectTo(int handle, int family, int port, const std::string& ip) = 0;
  // The first address of the name as dotted text; a failed lookup raises ENetSocketError.
  virtual std::string HostNameToAddress(const std::string& name) = 0;
  virtual std::string OwnHostName() = 0;
  // The name of a dotted address; a failed lookup raises ENetSocketError.
  virtual std::string AddressToHostName(const std::string& ip) = 0;
  // A name missing from the service database gives the integer it spells; anything else
  // raises ENetInvalidServiceName "%s is not a valid service.".
  virtual int ServiceNameToPort(const std::string& service) = 0;
  // The official name followed by the aliases; empty when the port has no entry.
  virtual TStringList PortToServiceNames(int port) = 0;
  virtual uint16_t HostToNet16(uint16_t value) = 0;
  virtual int StartListening(int handle, int backlog) = 0;
  virtual uint16_t NetToHost16(uint16_t value) = 0;
  virtual uint32_t HostToNet32(uint32_t value) = 0;
  virtual uint32_t NetToHost32(uint32_t value) = 0;
  // The count received, 0 when the peer closed, kSocketError on an error.
  virtual int ReceiveOn(int handle, void* buffer, int length, int flags) = 0;
  virtual int ReceiveDatagram(int handle, void* buffer, int length, int flags, std::string& ip,
                              int& port) = 0;
  // Waits until a handle of the given lists (null = none) is ready, at most timeoutMs
  // (kWaitForever = no limit). Each given list then holds only its ready handles. Returns the
  // number of ready handles, 0 on time-out, kSocketError on an error. A list of more than 64
  // handles raises ENetStackSetSizeExceeded "Set Size Exceeded.".
  virtual int WaitOnSockets(TNetSocketList* readList, TNetSocketList* writeList, int timeoutMs,
                            TNetSocketList* errorList) = 0;
  // Sends never raise SIGPIPE; a closed peer gives kSocketError with kErrShutdown.
  virtual int SendOn(int handle, const void* buffer, int length, int flags) = 0;
  virtual int SendDatagram(int handle, const void* buffer, int length, int flags,
                           const std::string& ip, int port) = 0;
  virtual int SetOption(int handle, int level, int option, const void* value, int length) = 0;
  virtual int NewSocket(int family, int type, int protocol) = 0;
  virtual int ShutdownSocket(int handle, int how) = 0;
  // "Socket Error # %d\r\n%s" with the code's text (empty for codes outside the table).
  virtual std::string ErrorText(int code) = 0;
  // The code of the last failed call on this thread.
  virtual int LastErrorCode() = 0;
  // Raise ENetSocketError when the platform call fails.
  virtual void PeerAddressOf(int handle, int& family, int& port, std::string& ip) = 0;
  virtual void LocalAddressOf(int handle, int& family, int& port, std::string& ip) = 0;
  virtual int GetOption(int handle, int level, int option, void* value, int& length) = 0;
  virtual std::string AddressToText(const TNetIPv4Address& address) = 0;
  virtual void TextToAddressInto(const std::string& text, TNetIPv4Address& address) = 0;
  // True when data can be read from one socket within timeoutMs (kWaitForever = no limit);
  // works for any descriptor number. 1 readable, 0 time-out, kSocketError on an error.
  virtual int WaitReadableOn(int handle, int timeoutMs) = 0;
  // Sets the code that LastErrorCode gives on this thread.
  virtual void SetLastErrorCode(int code) = 0;

  // result kSocketError: keeps the code in StoredError and answers True when it is listed in
  // ignore, else raises ENetSocketError. Any other result: False.
  bool CheckSocketResult(int result, std::initializer_list<int> ignore = {});
  // After a failed call: its code when `ignore` lists it (kept in StoredError as by
  // CheckSocketResult); any other code raises ENetSocketError.
  int IgnoredErrorCode(std::initializer_list<int> ignore);
  [[noreturn]] void ThrowSocketError(int code);
  // A socket of family AF_INET; failure raises ENetInvalidSocket "Cannot allocate socket.".
  int NewSocketHandle(int type, int protocol);
  // "LOCALHOST" in any case is 127.0.0.1 without a lookup; dotted text is kept.
  std::string ResolveHostToIP(const std::string& host);
  // Four dot-separated parts, each an integer 0..255 by the runtime's rules.
  static bool IsDottedIP(const std::string& text);
  // Each part by the strict integer conversion (EConvertError), its low 8 bits stored.
  TNetIPv4Address TextToAddress(const std::string& text);

  // Take and drop a reference on GlobalStack under one process-wide lock: the first
  // reference creates the stack, the last one frees it.
  static void AcquireStack();
  static void ReleaseStack();
  static int StackReferences();

 protected:
  std::unique_ptr<TStringList> LocalAddressCache;
};

// Creates the stack of the class configured for the process (TNetStackPosix).
using TNetStackClass = TNetStack* (*)();
extern TNetStackClass StackClass;

// Set once the sockets library's start-up has succeeded in this process.
extern std::atomic<bool> StackStarted;

// The process-wide stack; none while no network component exists.
extern TNetStack* GlobalStack;
