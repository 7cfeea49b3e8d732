#include "net/stack.h"

#include <mutex>

TNetStack* GlobalStack = nullptr;

namespace {

std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}

int stackReferences = 0;

}  // namespace

void TNetStack::AcquireStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (stackReferences++ == 0) GlobalStack = new TNetStack();
}

void TNetStack::ReleaseStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (--stackReferences == 0) {
    delete GlobalStack;
    GlobalStack = nullptr;
  }
}
