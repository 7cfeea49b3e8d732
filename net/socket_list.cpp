#include "net/socket_list.h"

#include "base/net_exceptions.h"

namespace {

[[noreturn]] void RaiseSetSizeExceeded() {
  throw ENetStackSetSizeExceeded("Set Size Exceeded.");
}

}  // namespace

bool TNetSocketList::Contains(int handle) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i) == handle) return true;
  return false;
}

std::unique_ptr<TNetSocketList> TNetSocketList::CreateSocketList() {
  return std::make_unique<TNetSocketListPosix>();
}

void TNetSocketListPosix::Add(int handle) {
  if (count_ >= kMaxHandles) RaiseSetSizeExceeded();
  handles_[static_cast<size_t>(count_++)] = handle;
}

void TNetSocketListPosix::Remove(int handle) {
  for (int i = 0; i < count_; ++i) {
    if (handles_[static_cast<size_t>(i)] == handle) {
      handles_[static_cast<size_t>(i)] = handles_[static_cast<size_t>(count_ - 1)];
      --count_;
      return;
    }
  }
}

int TNetSocketListPosix::Items(int index) const {
  if (index < 0 || index >= count_) RaiseSetSizeExceeded();
  return handles_[static_cast<size_t>(index)];
}
