#include "app/workflows/swf_url_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/workflows/swf_extraction.h"
#include "base/exception.h"
#include "regex/regex_matcher.h"

namespace {

// The white space of every locale; none of it can be inside a match.
constexpr char kWhiteSpace[] = " \t\n\v\f\r";

}  // namespace

TSwfUrlStream::~TSwfUrlStream() {
  Stop(true);
}

int64_t TSwfUrlStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ != size_) throw EWriteError("Stream write error");
  const char* bytes = static_cast<const char*>(buffer);
  const size_t n = static_cast<size_t>(count);
  if (piece_.capacity() < kPieceSize) piece_.reserve(kPieceSize + (size_t{64} << 10));
  const size_t from = piece_.size();
  piece_.append(bytes, n);
  // Only the new bytes are looked at, so a page without white space costs no rescans.
  for (size_t i = piece_.size(); i > from; --i) {
    if (std::memchr(kWhiteSpace, piece_[i - 1], sizeof kWhiteSpace - 1)) {
      cut_ = i;
      break;
    }
  }
  if (piece_.size() >= kPieceSize && cut_ > 0) {
    std::string rest = piece_.substr(cut_);
    piece_.resize(cut_);
    Hand(std::exchange(piece_, std::move(rest)));
    cut_ = 0;
  }
  size_ += count;
  position_ = size_;
  return count;
}

int64_t TSwfUrlStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, size_, offset, origin);
  return position_;
}

void TSwfUrlStream::SetSize(int64_t size) {
  if (size >= size_) return;
  if (size != 0) throw EStreamError("A page being searched can only be cut back to empty");
  // A redirection followed: what arrived so far was not the page.
  Stop(true);
  std::lock_guard<std::mutex> guard(lock_);
  found_.clear();
  error_ = nullptr;
  closing_ = false;
  piece_.clear();
  cut_ = 0;
  size_ = 0;
  position_ = 0;
}

void TSwfUrlStream::Hand(std::string piece) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    waiting_.push_back(std::move(piece));
  }
  if (!worker_.joinable()) {
    worker_ = std::thread([this] { Work(); });
  } else {
    wake_.notify_one();
  }
}

void TSwfUrlStream::Work() {
  // One matcher for every piece: the pattern is compiled once.
  TRegExMatcher matcher;
  matcher.SetRegEx(kSwfUrlPattern);
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return !waiting_.empty() || closing_; });
    if (waiting_.empty()) return;
    std::string piece = std::move(waiting_.front());
    waiting_.pop_front();
    if (error_) continue;  // the search has failed; the rest is not looked at
    guard.unlock();
    std::vector<std::string> found;
    std::exception_ptr error;
    try {
      matcher.SetSubjectText(std::move(piece));
      while (matcher.MatchNext())
        found.push_back(StripQuotes(matcher.GroupText(0)));
    } catch (...) {
      error = std::current_exception();
    }
    guard.lock();
    found_.insert(found_.end(), std::make_move_iterator(found.begin()),
                  std::make_move_iterator(found.end()));
    if (error && !error_) error_ = error;
  }
}

void TSwfUrlStream::Stop(bool discard) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (discard) waiting_.clear();
    closing_ = true;
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
}

std::vector<std::string> TSwfUrlStream::Finish() {
  if (!piece_.empty()) Hand(std::exchange(piece_, std::string()));
  cut_ = 0;
  Stop(false);
  std::lock_guard<std::mutex> guard(lock_);
  if (error_) std::rethrow_exception(error_);
  return std::exchange(found_, {});
}
