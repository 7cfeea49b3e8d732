#include "net/sockets_library.h"

#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "net/socket_errors.h"

std::string SocketsLibraryFileName = "libc.so.6";

namespace {

// The code a call gets when the library has not been started.
constexpr unsigned kNotInitialised = kErrNotInitialised;
// The oldest major version (the low byte of a version) the start-up accepts.
constexpr int kOldestMajorVersion = 2;

std::atomic<void*> libraryHandle{nullptr};
std::atomic<int> startupCount{0};

using TStartup = int (*)(uint16_t version, TSocketsData* data);

// True when the library itself exports "socket"; dlsym would also find the export in the
// libraries it depends on.
bool OffersSockets(void* handle) {
  if (!handle) return false;
  void* address = dlsym(handle, "socket");
  link_map* map = nullptr;
  Dl_info info{};
  if (!address || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map ||
      dladdr(address, &info) == 0 || !info.dli_fname || !map->l_name)
    return false;
  return std::strcmp(info.dli_fname, map->l_name) == 0;
}

// The C library has no start-up of its own; this one checks what WSAStartup-style callers
// rely on: version 2 or later is asked for and the library really offers sockets.
int PosixSocketsStartup(uint16_t version, TSocketsData* data) {
  startupCount.fetch_add(1);
  if ((version & 0xFF) < kOldestMajorVersion) return kErrVersionNotSupported;
  if (!OffersSockets(libraryHandle.load())) return kErrSystemNotReady;
  if (data) {
    data->Version = kSocketsVersion;
    data->HighVersion = kSocketsVersion;
    data->Description = "POSIX sockets";
    data->SystemStatus = "Running";
  }
  return 0;
}

std::atomic<TStartup> startup{nullptr};

std::string SystemErrorMessage(unsigned code) {
  if (code == kNotInitialised) return "The sockets library has not been started";
  return std::strerror(static_cast<int>(code));
}

enum Index {
#define FG_SOCKETS_INDEX(id, name, R, params, args) k##id,
  FG_SOCKETS_FUNCTIONS(FG_SOCKETS_INDEX)
#undef FG_SOCKETS_INDEX
      kEntryCount
};

void* ResolveEntry(Index index);

// Each resolver looks its export up, stores it in the entry and continues into it.
#define FG_SOCKETS_RESOLVER(id, name, R, params, args)              \
  R Resolve##id params {                                            \
    return reinterpret_cast<R(*) params>(ResolveEntry(k##id)) args; \
  }
FG_SOCKETS_FUNCTIONS(FG_SOCKETS_RESOLVER)
#undef FG_SOCKETS_RESOLVER

struct Entry {
  const char* name;
  void* resolver;
  // Calls may come from the connect thread too; two threads resolving at once store the
  // same address.
  std::atomic<void*> current;
};

Entry entries[kEntryCount] = {
#define FG_SOCKETS_ENTRY(id, name, R, params, args) \
  {name, reinterpret_cast<void*>(&Resolve##id), {reinterpret_cast<void*>(&Resolve##id)}},
    FG_SOCKETS_FUNCTIONS(FG_SOCKETS_ENTRY)
#undef FG_SOCKETS_ENTRY
};

void* ResolveEntry(Index index) {
  Entry& entry = entries[index];
  void* handle = libraryHandle.load();
  if (!handle) {
    throw ENetWS2StubError(kNotInitialised, SystemErrorMessage(kNotInitialised),
                           Format("Error on call Winsock2 library function %s", entry.name));
  }
  void* address = dlsym(handle, entry.name);
  // A library without the export must not send the call to no address.
  if (!address)
    throw ENetWS2StubError(0, "", Format("Error on call Winsock2 library function %s", entry.name));
  entry.current.store(address, std::memory_order_relaxed);
  return address;
}

}  // namespace

#define FG_SOCKETS_CALL(id, name, R, params, args)                                               \
  R SocketsLibrary::id params {                                                                  \
    return reinterpret_cast<R(*) params>(entries[k##id].current.load(std::memory_order_relaxed)) \
        args;                                                                                    \
  }
FG_SOCKETS_FUNCTIONS(FG_SOCKETS_CALL)
#undef FG_SOCKETS_CALL

int LoadSocketsLibrary(uint16_t version, TSocketsData* data) {
  if (libraryHandle.load()) return 0;
  errno = 0;
  void* handle = dlopen(SocketsLibraryFileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    // dlopen does not always leave errno set (a repeated failure may not touch it).
    const unsigned code = static_cast<unsigned>(errno != 0 ? errno : ELIBACC);
    const char* reason = dlerror();
    throw ENetWS2StubError(
        code, reason ? std::string(reason) : SystemErrorMessage(code),
        Format("Error on loading Winsock2 library (%s)", SocketsLibraryFileName.c_str()));
  }
  void* expected = nullptr;
  if (!libraryHandle.compare_exchange_strong(expected, handle)) {
    // Another thread loaded it meanwhile.
    dlclose(handle);
    return 0;
  }
  startup.store(&PosixSocketsStartup);
  const int result = startup.load()(version, data);
  // A library that did not start is given back, so that the next attempt starts it again
  // instead of reporting success with nothing started.
  if (result != 0) UnloadSocketsLibrary();
  return result;
}

void UnloadSocketsLibrary() {
  void* handle = libraryHandle.exchange(nullptr);
  if (!handle) return;
  startup.store(nullptr);
  dlclose(handle);
  for (Entry& entry : entries)
    entry.current.store(entry.resolver);
}

bool SocketsLibraryLoaded() {
  return libraryHandle.load() != nullptr;
}

int SocketsStartupCount() {
  return startupCount.load();
}
