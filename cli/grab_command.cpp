// flashgrab-cli grab [options] PAGE_URL: fetches a page as the window's grab does and lists
// its movies; with -d it then saves every one of them, as the window's download does.
#include <cstdio>
#include <exception>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/workflows/movie_list.h"
#include "app/workflows/page_grab.h"
#include "app/workflows/swf_url_stream.h"
#include "app/workflows/web_client_settings.h"
#include "base/string_block.h"
#include "base/string_list.h"
#include "base/text.h"
#include "cli/client_command.h"
#include "cli/collation.h"
#include "cli/command.h"
#include "cli/progress_meter.h"
#include "cli/saving.h"
#include "http/http.h"
#include "page/page_reader_stream.h"

namespace cli {

namespace {

// Bytes of the listing written at once.
constexpr size_t kListingChunk = size_t{64} << 10;

}  // namespace

int RunGrab(const std::vector<std::string>& args) {
  TClientCommand command(
      "grab", "usage: flashgrab-cli grab [-d DIR [--deps]] [options] PAGE_URL",
      Format("Fetches the page (up to %d attempts) and prints the address of every movie it\n"
             "refers to, one per line, absolute, sorted without regard to letter case.\n"
             "Downloads name the page as their Referer.",
             kPageAttempts),
      {{"download", 'd', "DIR", "then save every movie listed into DIR"},
       {"pattern-only", 0, nullptr, "list what the original pattern finds, quotes removed"},
       {"deps", 0, nullptr, "with -d, also save the files each movie loads at run time"}});
  bool dependencies = false;
  std::string folder;
  bool patternOnly = false;
  std::string address;
  const auto ended = command.Parse(
      args,
      [&folder, &patternOnly, &dependencies](const TParsedOption& option) {
        if (option.Is("pattern-only"))
          patternOnly = true;
        else
          TakeSavingOption(option, folder, dependencies);
      },
      [&address](const std::vector<std::string>& operands) {
        if (operands.empty()) throw TUsageError("no page URL given");
        if (operands.size() > 1) throw TUsageError("one page URL only");
        address = operands[0];
      });
  if (ended) return *ended;

  // The movies listed: `found` in the order `order` names them.
  TStringBlock found;
  std::vector<size_t> order;
  std::string pageAddress = address;
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
    const std::string requested = TypedAddress(address);
    FetchPage(page, requested, kPageAttempts, outcome, [&]() -> TStream& {
      if (patternOnly) {
        search = std::make_unique<TSwfUrlStream>();
        return *search;
      }
      // The sort keys are worked out while the page arrives, as the addresses are found.
      reader = std::make_unique<TPageReaderStream>(requested, WriteCaseFoldedCollationKey);
      return *reader;
    });
    if (!outcome.Fetched) std::rethrow_exception(outcome.LastError);
    pageAddress = FinalPageAddress(page, requested);
    if (patternOnly) {
      TStringList movies;
      FillMovieList<std::string>(search->Finish(), CaseFoldedCollationKey, CaseFoldedCollation(),
                                 movies);
      for (const std::string& movie : movies.Strings())
        found.push_back(movie);
      order.resize(found.size());
      std::iota(order.begin(), order.end(), size_t{0});
    } else {
      // The worker orders the entries as it finishes; they are listed from where they are.
      TStringBlock keys;
      found = reader->FinishInBlock(pageAddress, keys, &order);
    }
    return kExitSuccess;
  });
  if (listed != kExitSuccess) return listed;

  // Written a few lines at a time from one small buffer: a listing of many entries is never
  // held whole, and no memory is taken for it that would have to be cleared first.
  std::string listing;
  listing.reserve(kListingChunk + 4096);
  for (const size_t i : order) {
    listing.append(found[i]).append(1, '\n');
    if (listing.size() >= kListingChunk) {
      std::fwrite(listing.data(), 1, listing.size(), stdout);
      listing.clear();
    }
  }
  std::fwrite(listing.data(), 1, listing.size(), stdout);
  std::fflush(stdout);
  if (folder.empty()) return kExitSuccess;

  std::vector<std::string> movies;
  movies.reserve(order.size());
  for (const size_t i : order)
    movies.emplace_back(found[i]);
  // Downloads have a client of their own, as in the window.
  return command.WithClient([&](TNetHTTP& download) {
    TProgressMeter meter(download, TProgressMeter::Wanted(command.Client.Silent));
    return SaveAll(download, movies, folder, pageAddress, &meter, dependencies) ? kExitSuccess
                                                                                : kExitFailure;
  });
}

}  // namespace cli
