#include "rescue/swf_url_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "rescue/swf_extraction.h"

namespace {

// The white space of every locale; none of it can be inside a match.
constexpr char kWhiteSpace[] = " \t\n\v\f\r";

}  // namespace

TSwfUrlStream::TSwfUrlStream()
    : TAppendStream("A page being searched can only be cut back to empty"),
      worker_([this](std::string& piece) { Search(piece); }, TPieceWorker::kNoLimit) {
  matcher_.SetRegEx(kSwfUrlPattern);
}

TSwfUrlStream::~TSwfUrlStream() {
  worker_.Discard();
}

void TSwfUrlStream::Append(const char* bytes, size_t count) {
  if (piece_.capacity() < kPieceSize) {
    std::string spare = worker_.Spare();
    spare.reserve(kPieceSize + (size_t{64} << 10));
    spare.append(piece_);
    piece_ = std::move(spare);
  }
  const size_t from = piece_.size();
  piece_.append(bytes, count);
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
    worker_.Hand(std::exchange(piece_, std::move(rest)));
    cut_ = 0;
  }
}

void TSwfUrlStream::StartOver() {
  worker_.Discard();
  found_.clear();
  piece_.clear();
  cut_ = 0;
}

void TSwfUrlStream::Search(std::string& piece) {
  matcher_.SetSubjectText(std::move(piece));
  while (matcher_.MatchNext())
    found_.push_back(StripQuotes(matcher_.GroupText(0)));
}

std::vector<std::string> TSwfUrlStream::Finish() {
  if (!piece_.empty()) worker_.Hand(std::exchange(piece_, std::string()));
  cut_ = 0;
  try {
    worker_.Finish();
  } catch (...) {
    found_.clear();
    throw;
  }
  return std::exchange(found_, {});
}
