#include "page/page_reader.h"

#include <utility>

#include "page/listing_observer.h"
#include "page/movie_finder.h"
#include "page/page_charset.h"

// The parts refer to one another, so they are made together, in this order, and never move.
struct TPageReader::TParts {
  TParts(const std::string& pageAddress, TListingObserver* observer)
      : references(pageAddress, charset, observer),
        finder(references, charset),
        scanner(finder, TMovieFinder::Vocabulary(), charset) {}

  TPageCharset charset;
  TReferenceList references;
  TMovieFinder finder;
  TMarkupScanner scanner;
};

TPageReader::TPageReader(std::string pageAddress, TListingObserver* observer)
    : page_(std::move(pageAddress)),
      observer_(observer),
      parts_(std::make_unique<TParts>(page_, observer)) {}

TPageReader::~TPageReader() = default;
TPageReader::TPageReader(TPageReader&&) noexcept = default;
TPageReader& TPageReader::operator=(TPageReader&&) noexcept = default;

void TPageReader::SetPageAddress(const std::string& address) {
  parts_->references.SetPageAddress(address);
}

void TPageReader::SetHttpCharset(std::string charset) {
  if (parts_->charset.SetHttp(std::move(charset))) parts_->references.CharsetChanged();
}

void TPageReader::Feed(std::string_view piece) {
  parts_->scanner.Feed(piece);
}

void TPageReader::Feed(std::string& piece, size_t room) {
  parts_->scanner.Feed(piece, room);
}

std::vector<std::string> TPageReader::Finish(const std::string& finalAddress) {
  return FinishInBlock(finalAddress).Strings();
}

TStringBlock TPageReader::FinishInBlock(const std::string& finalAddress) {
  parts_->scanner.Finish();
  // The references were resolved as they were found; only another address makes them worth
  // resolving again.
  parts_->references.SetPageAddress(finalAddress);
  frames_ = parts_->references.Frames();
  TStringBlock result = parts_->references.TakeAddresses();
  if (observer_) observer_->OnFinished();
  parts_ = std::make_unique<TParts>(page_, observer_);
  return result;
}
