#include "page/page_reader_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "page/listing_observer.h"

TPageReaderStream::TPageReaderStream(std::string pageAddress, TListingObserver* observer)
    : TAppendStream("A page being read can only be cut back to empty"),
      page_address_(pageAddress),
      observer_(observer),
      reader_(std::move(pageAddress), observer),
      worker_(
          [this](std::string& piece) {
            TakeHead();
            if (piece.empty()) {
              FinishReading();
              return;
            }
            // The reader leaves its buffer of before in `piece`, bytes and all, for a later
            // piece to be received into.
            reader_.Feed(piece, kRoom);
            if (observer_ && worker_.Waiting() == 0) observer_->OnIdle();
          },
          kWaitingPieces, TPieceWorker::TSpareBytes::sbKept) {}

TPageReaderStream::~TPageReaderStream() {
  worker_.Discard();
}

void TPageReaderStream::SetPageHead(const std::string& finalAddress,
                                    const std::string& httpCharset) {
  const std::lock_guard<std::mutex> hold(head_lock_);
  head_address_ = finalAddress;
  head_charset_ = httpCharset;
  head_waiting_ = true;
}

void TPageReaderStream::TakeHead() {
  std::string address, charset;
  {
    const std::lock_guard<std::mutex> hold(head_lock_);
    if (!head_waiting_) return;
    head_waiting_ = false;
    address = std::move(head_address_);
    charset = std::move(head_charset_);
  }
  reader_.SetHttpCharset(std::move(charset));
  reader_.SetPageAddress(address);
}

void TPageReaderStream::Append(const char* bytes, size_t count) {
  while (count > 0) {
    size_t taken = count;
    char* room = AppendRoom(taken);
    std::memcpy(room, bytes, taken);
    AppendWritten(taken);
    bytes += taken;
    count -= taken;
  }
}

char* TPageReaderStream::AppendRoom(size_t& count) {
  if (piece_.capacity() < kRoom + kPieceSize) {
    piece_ = worker_.Spare();
    piece_.reserve(kRoom + kPieceSize);
  }
  if (filled_ == 0) filled_ = kRoom;
  // A receive fills the piece at most: pieces never grow, and stay few.
  count = std::min(count, kRoom + kPieceSize - filled_);
  // The string's bytes are made once for each piece, as far as receives need them.
  if (piece_.size() < filled_ + count) piece_.resize(filled_ + count);
  return piece_.data() + filled_;
}

void TPageReaderStream::AppendWritten(size_t count) {
  filled_ += count;
  if (filled_ >= kRoom + kPieceSize) HandPiece();
}

void TPageReaderStream::HandPiece() {
  piece_.resize(filled_);
  filled_ = 0;
  worker_.Hand(std::exchange(piece_, std::string()));
}

void TPageReaderStream::StartOver() {
  worker_.Discard();
  reader_ = TPageReader(page_address_, observer_);
  if (observer_) observer_->OnRelisted();
  piece_.clear();
  filled_ = 0;
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  return FinishInBlock(finalAddress).Strings();
}

TStringBlock TPageReaderStream::FinishInBlock(const std::string& finalAddress) {
  if (filled_ > kRoom) HandPiece();
  final_address_ = finalAddress;
  // An empty piece: the worker finishes the reading itself.
  worker_.Hand(std::string());
  worker_.Finish();
  return std::move(finished_);
}

void TPageReaderStream::FinishReading() {
  finished_ = reader_.FinishInBlock(final_address_);
  frames_ = reader_.Frames();
}
