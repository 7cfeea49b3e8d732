// flashgrab-cli grab [options] PAGE_URL: fetches a page as the window's grab does and lists
// its movies (and those of the pages it shows in frames); with -d it then saves every one of
// them, as the window's download does.
#include <cstdio>
#include <exception>
#include <memory>
#include <numeric>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/key_order.h"
#include "base/string_block.h"
#include "base/string_list.h"
#include "base/text.h"
#include "cli/client_command.h"
#include "cli/collation.h"
#include "cli/command.h"
#include "cli/listing_order.h"
#include "cli/progress_meter.h"
#include "cli/saving.h"
#include "cli/terminal_text.h"
#include "http/http.h"
#include "page/page_reader_stream.h"
#include "rescue/frame_pages.h"
#include "rescue/movie_list.h"
#include "rescue/page_grab.h"
#include "rescue/swf_url_stream.h"

namespace cli {

namespace {

// Bytes of the listing written at once.
constexpr size_t kListingChunk = size_t{64} << 10;

// What a grab lists: `found` in the order `order` names them, each found on `pages[i]` (the
// page, or a frame's page), or on the grabbed page when `pages` is empty.
struct TListing {
  TStringBlock Found;
  std::vector<size_t> Order;
  std::vector<std::string> Pages;
};

// Adds the movies of the frames that the page's own list does not have, and orders them all
// again by their keys.
void AddFramedMovies(const std::string& pageAddress, const TFrameReading& frames,
                     TListing& listing) {
  std::unordered_set<std::string_view> known;
  for (size_t i = 0; i < listing.Found.size(); ++i)
    known.insert(listing.Found[i]);
  listing.Pages.assign(listing.Found.size(), pageAddress);
  for (const TFramedMovie& movie : frames.Movies) {
    if (known.count(movie.Address)) continue;
    listing.Found.push_back(movie.Address);
    listing.Pages.push_back(movie.Page);
  }
  TStringBlock keys;
  std::string key;
  for (size_t i = 0; i < listing.Found.size(); ++i) {
    key.clear();
    WriteShownAddressKey(listing.Found[i], key);
    keys.push_back(key);
  }
  listing.Order = KeyOrder(keys);
}

// `shown`: each address decoded for reading (ShownAddress); else as found.
void PrintListing(const TListing& listing, bool shown) {
  // Written a few lines at a time from one small buffer: a listing of many entries is never
  // held whole, and no memory is taken for it that would have to be cleared first.
  std::string text;
  text.reserve(kListingChunk + 4096);
  for (const size_t i : listing.Order) {
    const std::string_view address = listing.Found[i];
    // Most addresses have nothing to decode for reading.
    if (!shown || address.find('%') == std::string_view::npos)
      text.append(address);
    else
      text.append(ShownAddress(address));
    text.append(1, '\n');
    if (text.size() >= kListingChunk) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int RunGrab(const std::vector<std::string>& args) {
  std::vector<TOptionDef> own = SavingOptionDefs("then save every movie listed into DIR");
  own.push_back(
      {"pattern-only", 0, nullptr, "list what the original pattern finds, quotes removed"});
  own.push_back({"no-frames", 0, nullptr, "do not read the pages the page shows in frames"});
  TClientCommand command(
      "grab",
      "usage: flashgrab-cli grab [-d DIR [--deps] [--layout flat|site]] [--no-frames] [options] "
      "PAGE_URL",
      Format("Fetches the page (up to %d attempts) and prints the address of every movie it\n"
             "refers to, one per line, absolute, sorted without regard to letter case; the\n"
             "pages it shows in frames (at most %zu) are read too. Downloads name the page\n"
             "they were found on as their Referer.",
             kPageAttempts, TPageReader::kMaxFrames),
      std::move(own));
  TSaving saving;
  bool patternOnly = false;
  bool noFrames = false;
  std::string requested;
  const auto ended = command.Parse(
      args,
      [&](const TParsedOption& option) {
        if (option.Is("pattern-only"))
          patternOnly = true;
        else if (option.Is("no-frames"))
          noFrames = true;
        else
          TakeSavingOption(option, saving);
      },
      [&requested](const std::vector<std::string>& operands) {
        if (operands.empty()) throw TUsageError("no page URL given");
        if (operands.size() > 1) throw TUsageError("one page URL only");
        requested = AddressOperand(operands[0]);
      });
  if (ended) return *ended;

  TListing listing;
  std::string pageAddress = requested;
  std::vector<std::string> frames;
  TFrameReading framed;
  // As in the window, redirects are followed whether or not -L is given.
  command.Client.Options.FollowRedirects = true;
  const int listed = command.WithClient([&](TNetHTTP& page) {
    // Receives as large as the reader's pieces: fewer system calls for a large page.
    page.RecvBufferSize = kFileReceiveSize;
    TPageFetchOutcome outcome;
    if (command.Client.Options.UserAgent) outcome.UserAgent = *command.Client.Options.UserAgent;
    // The page is read while it arrives rather than held whole and read afterwards: the same
    // entries, in less time and memory.
    std::unique_ptr<TSwfUrlStream> search;
    std::unique_ptr<TPageReaderStream> reader;
    // The sort keys, and their order, are worked out while the page arrives.
    TListingOrder order(WriteShownAddressKey);
    if (patternOnly) {
      FetchPage(page, requested, kPageAttempts, outcome, [&]() -> TStream& {
        search = std::make_unique<TSwfUrlStream>();
        return *search;
      });
    } else {
      reader = ReadPage(page, requested, kPageAttempts, outcome, &order);
    }
    if (!outcome.Fetched) std::rethrow_exception(outcome.LastError);
    pageAddress = FinalPageAddress(page, requested);
    if (patternOnly) {
      TStringList movies;
      FillMovieList<std::string>(search->Finish(), CaseFoldedCollationKey, CaseFoldedCollation(),
                                 movies);
      for (const std::string& movie : movies.Strings())
        listing.Found.push_back(movie);
      listing.Order.resize(listing.Found.size());
      std::iota(listing.Order.begin(), listing.Order.end(), size_t{0});
      return kExitSuccess;
    }
    // The worker orders the entries as it finishes; they are listed from where they are.
    listing.Found = reader->FinishInBlock(pageAddress);
    listing.Order = order.TakeOrder();
    frames = reader->Frames();
    if (!noFrames && !frames.empty()) {
      framed = ReadFramePages(page, frames, outcome.UserAgent);
      for (const auto& [frame, reason] : framed.Failed)
        std::fprintf(stderr, "%s: frame %s: %s\n", kProgramName, ShownAddress(frame).c_str(),
                     OneLine(reason).c_str());
      if (!framed.Movies.empty()) AddFramedMovies(pageAddress, framed, listing);
    }
    return kExitSuccess;
  });
  if (listed != kExitSuccess) return listed;

  // What the original pattern finds is listed as the page wrote it.
  PrintListing(listing, !patternOnly);
  // A page that lists nothing says what it did find, so that an empty list is not a puzzle.
  if (listing.Order.empty() && !patternOnly) {
    const std::string found = noFrames && !frames.empty()
                                  ? Format("no movies; %zu frame%s not read (--no-frames)",
                                           frames.size(), frames.size() == 1 ? "" : "s")
                                  : NoMoviesText(frames.size(), framed);
    std::fprintf(stderr, "%s: %s\n", kProgramName, found.c_str());
  }
  if (saving.Folder.empty()) return kExitSuccess;

  std::vector<TMovieToSave> movies;
  movies.reserve(listing.Order.size());
  for (const size_t i : listing.Order)
    movies.push_back(
        {std::string(listing.Found[i]), listing.Pages.empty() ? pageAddress : listing.Pages[i]});
  // Downloads have a client of their own, as in the window.
  return command.WithClient([&](TNetHTTP& download) {
    TProgressMeter meter(download, TProgressMeter::Wanted(command.Client.Silent));
    saving.ClientOptions = command.Client.Options;
    saving.Verbose = command.Client.Verbose;
    return SaveAll(download, movies, saving, &meter) ? kExitSuccess : kExitFailure;
  });
}

}  // namespace cli
