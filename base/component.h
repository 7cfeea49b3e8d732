// A component: an object with an optional owner that frees it, and removal notices that
// let other components clear their references to it when it goes away.
#pragma once

#include <string>
#include <vector>

#include "base/object.h"

enum class TOperation { opInsert, opRemove };

class TComponent : public TObject {
 public:
  // The owner takes the component and destroys it together with itself.
  explicit TComponent(TComponent* owner = nullptr);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  // Sends the removal notice to every component that asked for it and to the owner,
  // then destroys the owned components.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  std::string Name;
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_[static_cast<size_t>(index)]; }
  bool Destroying() const { return destroying_; }

  // Asks for a removal notice when `other` is destroyed (and gives `other` one for this).
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

 protected:
  // Called with opRemove when a component this one refers to is being destroyed.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void DestroyComponents();
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool destroying_ = false;
};
