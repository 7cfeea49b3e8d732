#include "net/net_component.h"

#include "net/stack.h"

const char* StatusTemplate(TNetStatus status) {
  switch (status) {
    case TNetStatus::hsResolving:
      return "Resolving hostname %s.";
    case TNetStatus::hsConnecting:
      return "Connecting to %s.";
    case TNetStatus::hsConnected:
      return "Connected.";
    case TNetStatus::hsDisconnecting:
      return "Disconnecting.";
    case TNetStatus::hsDisconnected:
      return "Disconnected.";
    case TNetStatus::hsStatusText:
    case TNetStatus::ftpTransfer:
    case TNetStatus::ftpReady:
    case TNetStatus::ftpAborted:
      return "%s";
  }
  return "";
}

TNetComponent::TNetComponent(TComponent* owner) : TNetBaseComponent(owner) {
  TNetStack::AcquireStack();
}

TNetComponent::~TNetComponent() {
  TNetStack::ReleaseStack();
}

void TNetComponent::ReportStatus(TNetStatus status, std::initializer_list<std::string> arguments) {
  if (!OnStatus) return;
  const std::string format = StatusTemplate(status);
  std::string text;
  auto next = arguments.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      if (next != arguments.end()) text += *next++;
      ++i;
    } else {
      text += format[i];
    }
  }
  OnStatus(this, status, text);
}

void TNetComponent::WorkStarted(TWorkMode mode, int64_t maximum) {
  WorkState& w = work_[static_cast<int>(mode)];
  if (++w.level == 1) {
    w.maximum = maximum;
    w.count = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, maximum);
  }
}

void TNetComponent::WorkProgress(TWorkMode mode, int64_t count) {
  WorkState& w = work_[static_cast<int>(mode)];
  if (w.level < 1) return;
  w.count += count;
  if (OnWork) OnWork(this, mode, w.count);
}

void TNetComponent::WorkFinished(TWorkMode mode) {
  WorkState& w = work_[static_cast<int>(mode)];
  if (w.level == 1 && OnWorkEnd) OnWorkEnd(this, mode);
  --w.level;
}
