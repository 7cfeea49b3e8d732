// Lists of socket handles for the multi-socket wait of the stack.
#pragma once

#include <array>
#include <memory>

#include "base/object.h"

class TNetSocketList : public TObject {
 public:
  virtual void Add(int handle) = 0;
  // Removes one occurrence; a handle that is not listed is ignored.
  virtual void Remove(int handle) = 0;
  virtual void Clear() = 0;
  virtual int Count() const = 0;
  virtual int Items(int index) const = 0;
  bool Contains(int handle) const;

  // A new list of the class configured for the process.
  static std::unique_ptr<TNetSocketList> CreateSocketList();
};

// A descriptor set of at most 64 handles, as the platform's wait accepts them.
class TNetSocketListPosix : public TNetSocketList {
 public:
  static constexpr int kMaxHandles = 64;

  // A 65th handle raises ENetStackSetSizeExceeded "Set Size Exceeded.".
  void Add(int handle) override;
  // The last handle moves into the gap.
  void Remove(int handle) override;
  void Clear() override { count_ = 0; }
  int Count() const override { return count_; }
  // An index outside 0 to Count() - 1 raises ENetStackSetSizeExceeded.
  int Items(int index) const override;

 private:
  std::array<int, kMaxHandles> handles_{};
  int count_ = 0;
};
