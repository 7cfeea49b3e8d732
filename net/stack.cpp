#include "net/stack.h"

#include <sys/socket.h>

#include <mutex>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "net/sockets_library.h"
#include "net/stack_posix.h"

TNetStack* GlobalStack = nullptr;
std::atomic<bool> StackStarted{false};
TNetStackClass StackClass = []() -> TNetStack* { return new TNetStackPosix(); };

namespace {

std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}

int stackReferences = 0;

// At process end the library is given back, unless a component still alive would need it
// for its own destruction later on.
struct StackFinaliser {
  ~StackFinaliser() {
    if (stackReferences == 0) UnloadSocketsLibrary();
  }
} stackFinaliser;

// Host names that map to the loopback address without asking a resolver.
constexpr const char* kLocalHostName = "LOCALHOST";
constexpr const char* kLoopbackAddress = "127.0.0.1";

}  // namespace

std::string TNetStack::FirstLocalAddress() {
  return LocalAddressList()->Get(0);
}

TStringList* TNetStack::LocalAddressList() {
  if (!LocalAddressCache) LocalAddressCache = std::make_unique<TStringList>();
  FillLocalAddresses();
  return LocalAddressCache.get();
}

bool TNetStack::CheckSocketResult(int result, std::initializer_list<int> ignore) {
  if (result != kSocketError) return false;
  const int code = LastErrorCode();
  StoredError.store(code, std::memory_order_relaxed);
  for (int listed : ignore)
    if (listed == code) return true;
  ThrowSocketError(code);
}

int TNetStack::IgnoredErrorCode(std::initializer_list<int> ignore) {
  CheckSocketResult(kSocketError, ignore);
  return StoredError;
}

void TNetStack::ThrowSocketError(int code) {
  throw ENetSocketError(code, ErrorText(code));
}

int TNetStack::NewSocketHandle(int type, int protocol) {
  const int handle = NewSocket(AF_INET, type, protocol);
  if (handle == kInvalidSocket) throw ENetInvalidSocket("Cannot allocate socket.");
  return handle;
}

std::string TNetStack::ResolveHostToIP(const std::string& host) {
  if (SameText(host, kLocalHostName)) return kLoopbackAddress;
  if (IsDottedIP(host)) return host;
  return HostNameToAddress(host);
}

bool TNetStack::IsDottedIP(const std::string& text) {
  std::string parts[4];
  SplitDottedAddress(text, parts);
  for (const std::string& part : parts) {
    int32_t value = 0;
    if (part.empty() || !TryStrToInt(part, value) || value < 0 || value > kMaxAddressPart)
      return false;
  }
  return true;
}

TNetIPv4Address TNetStack::TextToAddress(const std::string& text) {
  TNetIPv4Address address{};
  TextToAddressInto(text, address);
  return address;
}

void TNetStack::AcquireStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (stackReferences++ == 0) {
    try {
      GlobalStack = StackClass();
    } catch (...) {
      // A failed creation must not leave a count that keeps later components from
      // creating the stack.
      --stackReferences;
      GlobalStack = nullptr;
      throw;
    }
  }
}

void TNetStack::ReleaseStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (stackReferences <= 0) return;
  if (--stackReferences == 0) {
    delete GlobalStack;
    GlobalStack = nullptr;
  }
}

int TNetStack::StackReferences() {
  std::lock_guard<std::mutex> guard(StackLock());
  return stackReferences;
}
