#include "base/component.h"

#include <gtest/gtest.h>

namespace {

class Watcher : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* watched = nullptr;
  void Watch(TComponent* c) {
    watched = c;
    c->FreeNotification(this);
  }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove && c == watched) watched = nullptr;
  }
};

class Counted : public TComponent {
 public:
  Counted(TComponent* owner, int* destroyed) : TComponent(owner), destroyed_(destroyed) {}
  ~Counted() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

}  // namespace

TEST(ComponentTest, OwnerDestroysWhatItOwns) {
  int destroyed = 0;
  auto* owner = new TComponent();
  new Counted(owner, &destroyed);
  auto* second = new Counted(owner, &destroyed);
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete second;  // leaves its owner's list
  EXPECT_EQ(owner->ComponentCount(), 1);
  delete owner;
  EXPECT_EQ(destroyed, 2);
}

TEST(ComponentTest, RemovalNoticeClearsReferences) {
  Watcher watcher;
  auto* target = new TComponent();
  watcher.Watch(target);
  delete target;
  EXPECT_EQ(watcher.watched, nullptr);
}

TEST(ComponentTest, RemovalNoticeForOwnedComponent) {
  auto* owner = new TComponent();
  Watcher watcher;
  watcher.Watch(new TComponent(owner));
  delete owner;
  EXPECT_EQ(watcher.watched, nullptr);
}
