// The third part of the page reader: the movie references a page names, made absolute and
// encoded as a browser requests them, each address once, in the order first found. What they
// are resolved against is taken as soon as it is known: the page's final address (from the
// response's head), then its <base href>; a change lists every address again.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "base/distinct_strings.h"
#include "base/string_block.h"
#include "page/web_archive_capture.h"

class TListingObserver;
class TPageCharset;

class TReferenceList {
 public:
  // The frames of a page whose addresses are kept (<frame src>, <iframe src>).
  static constexpr size_t kMaxFrames = 20;
  static constexpr size_t kNoScheme = static_cast<size_t>(-1);

  // `pageAddress`: the address the page came from; `charset` must outlive the list.
  TReferenceList(std::string pageAddress, const TPageCharset& charset, TListingObserver* observer);
  TReferenceList(const TReferenceList&) = delete;
  TReferenceList& operator=(const TReferenceList&) = delete;

  const std::string& PageAddress() const { return page_; }
  // The page's address after redirections.
  void SetPageAddress(const std::string& address);
  // The page's <base href>, decoded; only the first counts.
  bool HasBase() const { return have_base_; }
  void SetBase(std::string href);
  // What the addresses are read in changed.
  void CharsetChanged();

  // Keeps a reference not met before, and lists its address unless listed already.
  // `schemeLength`: of the scheme the reference starts with, or kNoScheme; `toEncode`: it has
  // bytes that go percent-encoded, or capitals in its scheme or host.
  void Add(std::string_view reference, size_t schemeLength, bool toEncode);
  // A page shown in a frame, as written; each kept once, at most kMaxFrames.
  void AddFrame(std::string reference);

  // The addresses listed; the list keeps none afterwards.
  TStringBlock TakeAddresses() { return addresses_.TakeStore(); }
  // The frames, absolute and encoded as the movies, each once, the page itself left out.
  std::vector<std::string> Frames();

 private:
  // Tells the observer of the address listed last.
  void ListedLast();
  // Resolves a new reference and lists its address unless listed already.
  void Take(std::string_view reference);
  // Lists the addresses of every reference found so far again, from scratch.
  void ResolveAll();
  // Works out resolution_ for the page's address and <base href>.
  void Prepare();
  // Whether `text` names a capture of the page's archive; `found` is that capture.
  bool AsCapture(const std::string& text, TWebArchiveCapture& found) const;
  // Absolute and encoded; empty when it cannot be made absolute.
  std::string Resolve(std::string_view reference);

  std::string page_;
  const TPageCharset& charset_;
  TListingObserver* observer_;
  bool have_base_ = false;
  std::string base_href_;
  // What references are resolved against, worked out once for the page's address and its
  // <base href>.
  struct TResolution {
    bool Archived = false;
    TWebArchiveCapture Capture;  // of an archived page
    // The base of relative references; of an archived page, in the original site.
    std::string Base;
  };
  TResolution resolution_;
  // The references found and their addresses, each once, in the order found. Of the references
  // that need resolving a set is kept as well; the others are told by their addresses.
  // references_ holds no bytes of its own: it views the strings of relative_, addresses_ and
  // earlier_addresses_, whose bytes never move.
  std::deque<std::string_view> references_;
  TDistinctBlockStrings relative_;
  TDistinctBlockStrings addresses_;
  // The addresses of before each new resolution, which references_ may still view.
  std::vector<TStringBlock> earlier_addresses_;
  // An address was read in a charset: another one changes it.
  bool charset_used_ = false;
  // The frame references met, as written, each once.
  std::vector<std::string> frame_references_;
};
