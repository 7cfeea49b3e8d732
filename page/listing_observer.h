// Told of the movie addresses a page reader lists, as it lists them, on the thread that feeds
// the reader: what is worked out for each address (a sort key, an order) is then done while
// the page still arrives rather than all at once at the end.
#pragma once

#include <string_view>

class TListingObserver {
 public:
  virtual ~TListingObserver() = default;
  // The next address of the list, absolute and encoded.
  virtual void OnListed(std::string_view address) = 0;
  // The list starts again from scratch (a late <base href>, another final address, another
  // charset, another response): the addresses told so far no longer count.
  virtual void OnRelisted() = 0;
  // The feeding thread has nothing else to do for now.
  virtual void OnIdle() {}
  // The list is complete: every address of the page has been told.
  virtual void OnFinished() {}
};
