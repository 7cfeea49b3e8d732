// flashgrab-cli grab [options] PAGE_URL: fetches a page as the window's grab does and lists
// its movies; with -d it then saves every one of them, as the window's download does.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/workflows/page_grab.h"
#include "app/workflows/swf_extraction.h"
#include "app/workflows/swf_url_stream.h"
#include "base/string_list.h"
#include "cli/collation.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/saving.h"
#include "http/http.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: flashgrab-cli grab [options] PAGE_URL";

const std::vector<TOptionDef>& GrabOptionDefs() {
  static const std::vector<TOptionDef> defs = [] {
    std::vector<TOptionDef> all = {
        {"download", 'd', "DIR", "then save every movie listed into DIR"},
        {"help", 'h', nullptr, "show this help"},
    };
    const auto& client = ClientOptionDefs();
    all.insert(all.end(), client.begin(), client.end());
    return all;
  }();
  return defs;
}

int UsageFailure(const std::string& message) {
  std::fprintf(stderr, "%s: grab: %s\n%s\n", kProgramName, message.c_str(), kUsage);
  return kExitUsage;
}

}  // namespace

int RunGrab(const std::vector<std::string>& args) {
  TClientOptions clientOptions;
  std::string folder;
  std::string address;
  try {
    const TParsedArguments parsed = ParseArguments(args, GrabOptionDefs());
    for (const TParsedOption& option : parsed.Options) {
      if (option.Is("help")) {
        std::printf(
            "%s\n\nFetches the page (up to %d attempts) and prints the address of every movie it\n"
            "refers to, one per line, sorted without regard to letter case.\n\noptions:\n%s",
            kUsage, kPageAttempts, OptionHelp(GrabOptionDefs()).c_str());
        return kExitSuccess;
      }
      if (option.Is("download"))
        folder = OutputFolder(option.Value);
      else
        TakeClientOption(option, clientOptions);
    }
    if (parsed.Operands.empty()) throw TUsageError("no page URL given");
    if (parsed.Operands.size() > 1) throw TUsageError("one page URL only");
    address = parsed.Operands[0];
  } catch (const TUsageError& e) {
    return UsageFailure(e.what());
  }

  TStringList movies;
  try {
    TClientSetup setup;
    TNetHTTP page;
    setup.Apply(page, clientOptions);
    TPageFetchOutcome outcome;
    if (clientOptions.UserAgent) outcome.UserAgent = *clientOptions.UserAgent;
    // The page is searched while it arrives rather than held whole and searched afterwards:
    // the same entries, in less time and memory.
    std::unique_ptr<TSwfUrlStream> search;
    FetchPage(page, address, kPageAttempts, outcome, [&search]() -> TStream& {
      search = std::make_unique<TSwfUrlStream>();
      return *search;
    });
    if (!outcome.Fetched) std::rethrow_exception(outcome.LastError);
    FillSwfUrlList(search->Finish(), CaseFoldedCollation(), movies);
  } catch (...) {
    ReportFailure();
    return kExitFailure;
  }

  std::string listing;
  for (int i = 0; i < movies.Count(); ++i)
    listing += movies.Get(i) + "\n";
  std::fwrite(listing.data(), 1, listing.size(), stdout);
  std::fflush(stdout);
  if (folder.empty()) return kExitSuccess;

  try {
    // Downloads have a client of their own, as in the window.
    TClientSetup setup;
    TNetHTTP download;
    setup.Apply(download, clientOptions);
    return SaveAll(download, movies.Strings(), folder) ? kExitSuccess : kExitFailure;
  } catch (...) {
    ReportFailure();
    return kExitFailure;
  }
}

}  // namespace cli
