#include "page/reference_list.h"

#include <algorithm>
#include <utility>

#include "base/charset.h"
#include "page/listing_observer.h"
#include "page/page_charset.h"
#include "page/reference_resolution.h"
#include "uri/address_encoding.h"

TReferenceList::TReferenceList(std::string pageAddress, const TPageCharset& charset,
                               TListingObserver* observer)
    : page_(std::move(pageAddress)), charset_(charset), observer_(observer) {
  Prepare();
}

void TReferenceList::SetPageAddress(const std::string& address) {
  if (address.empty() || address == page_) return;
  page_ = address;
  Prepare();
  // Until something is found there is nothing to list again.
  if (!references_.empty()) ResolveAll();
}

void TReferenceList::SetBase(std::string href) {
  if (have_base_) return;
  have_base_ = true;
  base_href_ = std::move(href);
  // What was found before the <base> is resolved against it too.
  Prepare();
  ResolveAll();
}

void TReferenceList::CharsetChanged() {
  // Only addresses with bytes above ASCII were read in a charset; without any nothing changes.
  if (charset_used_) ResolveAll();
}

void TReferenceList::Add(std::string_view reference, size_t schemeLength, bool toEncode) {
  // Outside an archive an address with a scheme, no dot segment and nothing to encode (a
  // capital in its origin included) resolves to itself: the addresses alone tell whether it is
  // new.
  if (!resolution_.Archived && schemeLength != kNoScheme && !toEncode &&
      ResolvesToItself(reference, schemeLength) && reference.compare(schemeLength, 3, "://") == 0) {
    if (!addresses_.Add(reference)) return;
    references_.push_back(addresses_[addresses_.Size() - 1]);
    ListedLast();
    return;
  }
  if (!relative_.Add(reference)) return;
  references_.push_back(relative_[relative_.Size() - 1]);
  Take(reference);
}

void TReferenceList::AddFrame(std::string reference) {
  if (frame_references_.size() >= kMaxFrames) return;
  if (std::find(frame_references_.begin(), frame_references_.end(), reference) ==
      frame_references_.end())
    frame_references_.push_back(std::move(reference));
}

std::vector<std::string> TReferenceList::Frames() {
  std::vector<std::string> frames;
  for (const std::string& reference : frame_references_) {
    std::string frame = Resolve(reference);
    if (!frame.empty() && frame != page_ &&
        std::find(frames.begin(), frames.end(), frame) == frames.end())
      frames.push_back(std::move(frame));
  }
  return frames;
}

void TReferenceList::Take(std::string_view reference) {
  std::string address = Resolve(reference);
  if (!address.empty() && addresses_.Add(address)) ListedLast();
}

void TReferenceList::ListedLast() {
  if (observer_) observer_->OnListed(addresses_[addresses_.Size() - 1]);
}

void TReferenceList::ResolveAll() {
  earlier_addresses_.push_back(addresses_.TakeStore());
  if (observer_) observer_->OnRelisted();
  for (const std::string_view reference : references_)
    Take(reference);
}

void TReferenceList::Prepare() {
  resolution_ = TResolution();
  resolution_.Archived = TWebArchiveCapture::Parse(page_, resolution_.Capture);
  if (!resolution_.Archived) {
    resolution_.Base = have_base_ ? ResolveReference(page_, base_href_) : page_;
    return;
  }
  resolution_.Base = resolution_.Capture.Original;
  if (have_base_) {
    TWebArchiveCapture baseCapture;
    resolution_.Base = AsCapture(base_href_, baseCapture)
                           ? baseCapture.Original
                           : ResolveReference(resolution_.Capture.Original, base_href_);
  }
}

bool TReferenceList::AsCapture(const std::string& text, TWebArchiveCapture& found) const {
  const bool absolute =
      HasScheme(text) || text.compare(0, 2, "//") == 0 || text.compare(0, 5, "/web/") == 0;
  return absolute && TWebArchiveCapture::Parse(ResolveReference(page_, text), found) &&
         found.Origin == resolution_.Capture.Origin;
}

std::string TReferenceList::Resolve(std::string_view reference) {
  std::string address;
  if (!resolution_.Archived) {
    address = ResolveReference(resolution_.Base, std::string(reference));
    if (address.find("://") == std::string::npos) return std::string();
  } else {
    // A captured page: what it names is an address of the original site, unless the archive
    // already wrote it as a capture.
    TWebArchiveCapture found;
    if (!AsCapture(std::string(reference), found)) {
      found = resolution_.Capture;
      found.Original = ResolveReference(resolution_.Base, std::string(reference));
    }
    address = found.Compose();
  }
  if (!NeedsEncoding(address)) return address;
  if (!IsAscii(address)) charset_used_ = true;
  return EncodedAddress(address, charset_.Of(address));
}
