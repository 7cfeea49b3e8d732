#include "base/piece_worker.h"

#include <utility>

namespace {

// Handled pieces kept for reuse; more would only hold memory.
constexpr size_t kMaxSpares = 8;

}  // namespace

TPieceWorker::TPieceWorker(THandler handler, size_t maxWaiting, TSpareBytes spareBytes)
    : handler_(std::move(handler)), max_waiting_(maxWaiting), spare_bytes_(spareBytes) {}

TPieceWorker::~TPieceWorker() {
  Stop(true);
}

void TPieceWorker::Hand(std::string piece) {
  {
    std::unique_lock<std::mutex> guard(lock_);
    if (max_waiting_ != kNoLimit)
      room_.wait(guard, [this] { return waiting_.size() < max_waiting_; });
    waiting_.push_back(std::move(piece));
  }
  if (!worker_.joinable()) {
    worker_ = std::thread([this] { Work(); });
  } else {
    wake_.notify_one();
  }
}

std::string TPieceWorker::Spare() {
  std::lock_guard<std::mutex> guard(lock_);
  if (spares_.empty()) return std::string();
  std::string spare = std::move(spares_.back());
  spares_.pop_back();
  return spare;
}

size_t TPieceWorker::Waiting() {
  std::lock_guard<std::mutex> guard(lock_);
  return waiting_.size();
}

void TPieceWorker::Work() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return !waiting_.empty() || closing_; });
    if (waiting_.empty()) return;
    std::string piece = std::move(waiting_.front());
    waiting_.pop_front();
    // A writer kept waiting goes on once half the pieces are handled, not after each one: the
    // two threads wake each other a few times per full queue instead of once per piece.
    if (max_waiting_ != kNoLimit && waiting_.size() == max_waiting_ / 2) room_.notify_one();
    if (error_) continue;  // the handling has failed; the rest is not looked at
    guard.unlock();
    std::exception_ptr error;
    try {
      handler_(piece);
    } catch (...) {
      error = std::current_exception();
    }
    if (spare_bytes_ == TSpareBytes::sbEmptied) piece.clear();
    guard.lock();
    if (error && !error_) error_ = error;
    // A piece whose bytes were taken away has no room worth keeping.
    if (spares_.size() < kMaxSpares && piece.capacity() > std::string().capacity())
      spares_.push_back(std::move(piece));
  }
}

void TPieceWorker::Stop(bool discard) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (discard) waiting_.clear();
    closing_ = true;
  }
  wake_.notify_one();
  room_.notify_all();
  if (worker_.joinable()) worker_.join();
  std::lock_guard<std::mutex> guard(lock_);
  closing_ = false;
}

void TPieceWorker::Finish() {
  Stop(false);
  std::exception_ptr error;
  {
    std::lock_guard<std::mutex> guard(lock_);
    error = std::exchange(error_, nullptr);
  }
  if (error) std::rethrow_exception(error);
}

void TPieceWorker::Discard() {
  Stop(true);
  std::lock_guard<std::mutex> guard(lock_);
  error_ = nullptr;
}
