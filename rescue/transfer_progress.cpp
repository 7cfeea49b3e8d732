#include "rescue/transfer_progress.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "http/custom_http.h"

namespace {

// "H:MM:SS".
std::string ClockText(int64_t seconds) {
  return Format("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
}

}  // namespace

TTransferProgress::TTransferProgress(TNetCustomHTTP& http, TUpdate update,
                                     std::chrono::milliseconds interval, TNow now)
    : http_(http), update_(std::move(update)), interval_(interval), now_(std::move(now)) {
  // Only what is read counts: the request going out is not the file coming in.
  http_.OnWorkBegin = [this](TObject*, TWorkMode mode, int64_t maximum) {
    if (mode == TWorkMode::wmRead) Begin(maximum);
  };
  http_.OnWork = [this](TObject*, TWorkMode mode, int64_t count) {
    if (mode == TWorkMode::wmRead) Progress(count);
  };
  http_.OnWorkEnd = [this](TObject*, TWorkMode mode) {
    if (mode == TWorkMode::wmRead) End();
  };
  started_ = now_();
}

TTransferProgress::~TTransferProgress() {
  http_.OnWorkBegin = nullptr;
  http_.OnWork = nullptr;
  http_.OnWorkEnd = nullptr;
}

void TTransferProgress::Start() {
  state_ = TTransferState();
  earlier_ = 0;
  phase_count_ = 0;
  in_chunks_ = false;
  in_phase_ = false;
  began_ = false;
  started_ = now_();
}

void TTransferProgress::Finish() {
  Update(true);
}

void TTransferProgress::Begin(int64_t maximum) {
  const TNetReaderState framing = http_.ReaderState();
  const bool chunk = framing == TNetReaderState::rsBodyByChunks;
  // Every body phase but a further chunk starts a body of its own: after a redirection or a
  // failed attempt, the new body is the one that counts.
  const bool newBody = !(chunk && in_chunks_);
  in_chunks_ = chunk;
  in_phase_ = true;
  began_ = true;
  phase_count_ = 0;
  if (!newBody) return;
  earlier_ = 0;
  state_.Bytes = 0;
  if (chunk || framing == TNetReaderState::rsBodyUntilClose)
    state_.Total = -1;
  else
    state_.Total = maximum > 0 || framing == TNetReaderState::rsBodyByLength ? maximum : -1;
  Update(true);
}

void TTransferProgress::Progress(int64_t count) {
  phase_count_ = count;
  // A refresh may already have counted some of these bytes in the input buffer.
  state_.Bytes = std::max(state_.Bytes, earlier_ + count);
  Update(false);
}

void TTransferProgress::End() {
  earlier_ += phase_count_;
  phase_count_ = 0;
  in_phase_ = false;
}

void TTransferProgress::Refresh() {
  if (!in_phase_) return;
  int64_t bytes = earlier_ + phase_count_ + http_.InputData().Size();
  if (state_.Total >= 0) bytes = std::min(bytes, state_.Total);
  state_.Bytes = std::max(state_.Bytes, bytes);
  Update(false);
}

void TTransferProgress::Update(bool force) {
  const TClock::time_point now = now_();
  if (!force && now - last_update_ < interval_) return;
  last_update_ = now;
  state_.Seconds = std::chrono::duration<double>(now - started_).count();
  if (update_) update_(state_);
}

std::string ProgressMeterLine(const TTransferState& state) {
  const double rate = state.Seconds > 0 ? static_cast<double>(state.Bytes) / state.Seconds : 0;
  const std::string speed = ByteCountText(static_cast<int64_t>(rate)) + "/s";
  if (state.Total < 0) return "  " + ByteCountText(state.Bytes) + "  " + speed;
  const int64_t percent = state.Total > 0 ? state.Bytes * 100 / state.Total : 100;
  const std::string left =
      rate > 0
          ? ClockText(static_cast<int64_t>(static_cast<double>(state.Total - state.Bytes) / rate))
          : std::string("-:--:--");
  return Format("  %3lld%%  ", static_cast<long long>(percent)) + ByteCountText(state.Bytes) +
         " / " + ByteCountText(state.Total) + "  " + speed + "  " + left + " left";
}

std::string ByteCountText(int64_t bytes) {
  constexpr double kKiB = 1024.0;
  const double value = static_cast<double>(bytes);
  if (bytes < 1024) return Format("%lld B", static_cast<long long>(bytes));
  if (value < kKiB * kKiB) return Format("%.1f KiB", value / kKiB);
  if (value < kKiB * kKiB * kKiB) return Format("%.1f MiB", value / (kKiB * kKiB));
  return Format("%.2f GiB", value / (kKiB * kKiB * kKiB));
}
