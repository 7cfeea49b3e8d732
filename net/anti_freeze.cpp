#include "net/anti_freeze.h"

#include <thread>

namespace {

// Static initialisation runs on the thread that starts the program.
const std::thread::id kMainThread = std::this_thread::get_id();

}  // namespace

TNetAntiFreezeBase* ActiveAntiFreeze = nullptr;

TNetAntiFreezeBase::TNetAntiFreezeBase(TComponent* owner) : TNetBaseComponent(owner) {
  ActiveAntiFreeze = this;
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() {
  if (ActiveAntiFreeze == this) ActiveAntiFreeze = nullptr;
}

bool AntiFreezeInUse() {
  return ActiveAntiFreeze != nullptr && std::this_thread::get_id() == kMainThread &&
         ActiveAntiFreeze->Active;
}

void DoAntiFreeze(bool idle, bool force) {
  if (!AntiFreezeInUse()) return;
  if (!ActiveAntiFreeze->OnlyWhenIdle || idle || force) ActiveAntiFreeze->ProcessPending();
}
