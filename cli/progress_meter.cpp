#include "cli/progress_meter.h"

#include <unistd.h>

#include "net/anti_freeze.h"

namespace cli {

// The hook of the client's blocking waits: each wait (at most kRedrawMs long) and each receive
// lets the meter count what has come.
class TProgressMeter::TWaitHook : public TNetAntiFreezeBase {
 public:
  explicit TWaitHook(TTransferProgress& progress) : progress_(progress) {
    IdleTimeOut = kRedrawMs;
    OnlyWhenIdle = false;
  }
  void ProcessPending() override { progress_.Refresh(); }

 private:
  TTransferProgress& progress_;
};

bool TProgressMeter::Wanted(bool silent) {
  return !silent && ::isatty(STDERR_FILENO) == 1;
}

TProgressMeter::TProgressMeter(TNetCustomHTTP& http, bool enabled, FILE* out) : out_(out) {
  if (!enabled) return;
  progress_ = std::make_unique<TTransferProgress>(
      http, [this](const TTransferState& state) { Draw(state); });
  wait_hook_ = std::make_unique<TWaitHook>(*progress_);
}

TProgressMeter::~TProgressMeter() = default;

void TProgressMeter::Start(const std::string& label) {
  if (!progress_) return;
  label_ = label;
  progress_->Start();
  drawn_ = 0;
}

void TProgressMeter::Finish() {
  if (!progress_) return;
  progress_->Finish();
  std::fputc('\n', out_);
  std::fflush(out_);
  drawn_ = 0;
}

void TProgressMeter::Draw(const TTransferState& state) {
  std::string line = label_ + ProgressMeterLine(state);
  // A shorter line must wipe what the longer one before it left.
  const size_t length = line.size();
  if (length < drawn_) line.append(drawn_ - length, ' ');
  drawn_ = length;
  std::fputc('\r', out_);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace cli
