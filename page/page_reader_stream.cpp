#include "page/page_reader_stream.h"

#include <utility>

#include "base/exception.h"

TPageReaderStream::TPageReaderStream(std::string pageAddress)
    : page_address_(pageAddress), reader_(std::move(pageAddress)) {}

TPageReaderStream::~TPageReaderStream() {
  Stop(true);
}

int64_t TPageReaderStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ != size_) throw EWriteError("Stream write error");
  if (piece_.capacity() < kPieceSize) piece_.reserve(kPieceSize + (size_t{64} << 10));
  piece_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
  if (piece_.size() >= kPieceSize) Hand(std::exchange(piece_, std::string()));
  size_ += count;
  position_ = size_;
  return count;
}

int64_t TPageReaderStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, size_, offset, origin);
  return position_;
}

void TPageReaderStream::SetSize(int64_t size) {
  if (size >= size_) return;
  if (size != 0) throw EStreamError("A page being read can only be cut back to empty");
  Stop(true);
  std::lock_guard<std::mutex> guard(lock_);
  reader_ = TPageReader(page_address_);
  error_ = nullptr;
  closing_ = false;
  piece_.clear();
  size_ = 0;
  position_ = 0;
}

void TPageReaderStream::Hand(std::string piece) {
  {
    std::unique_lock<std::mutex> guard(lock_);
    room_.wait(guard, [this] { return waiting_.size() < kWaitingPieces; });
    waiting_.push_back(std::move(piece));
  }
  if (!worker_.joinable()) {
    worker_ = std::thread([this] { Work(); });
  } else {
    wake_.notify_one();
  }
}

void TPageReaderStream::Work() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return !waiting_.empty() || closing_; });
    if (waiting_.empty()) return;
    std::string piece = std::move(waiting_.front());
    waiting_.pop_front();
    room_.notify_one();
    if (error_) continue;  // the reading has failed; the rest is not looked at
    guard.unlock();
    std::exception_ptr error;
    try {
      reader_.Feed(piece);
    } catch (...) {
      error = std::current_exception();
    }
    guard.lock();
    if (error && !error_) error_ = error;
  }
}

void TPageReaderStream::Stop(bool discard) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (discard) waiting_.clear();
    closing_ = true;
  }
  wake_.notify_one();
  room_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  if (!piece_.empty()) Hand(std::exchange(piece_, std::string()));
  Stop(false);
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (error_) std::rethrow_exception(error_);
    closing_ = false;
  }
  return reader_.Finish(finalAddress);
}
