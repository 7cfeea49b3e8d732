#include "cli/progress_meter.h"

#include <unistd.h>

namespace cli {

bool TProgressMeter::Wanted(bool silent) {
  return !silent && ::isatty(STDERR_FILENO) == 1;
}

TProgressMeter::TProgressMeter(TNetCustomHTTP& http, bool enabled, FILE* out) : out_(out) {
  if (enabled)
    progress_ = std::make_unique<TTransferProgress>(
        http, [this](const TTransferState& state) { Draw(state); });
}

TProgressMeter::~TProgressMeter() = default;

void TProgressMeter::Start() {
  if (!progress_) return;
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
  std::string line = ProgressMeterLine(state);
  // A shorter line must wipe what the longer one before it left.
  const size_t length = line.size();
  if (length < drawn_) line.append(drawn_ - length, ' ');
  drawn_ = length;
  std::fputc('\r', out_);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace cli
