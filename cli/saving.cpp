#include "cli/saving.h"

#include <cstdio>
#include <exception>
#include <fstream>

#include "base/exception.h"
#include "base/text.h"
#include "cli/command.h"
#include "cli/progress_meter.h"
#include "cli/terminal_text.h"
#include "http/http.h"
#include "rescue/dependencies.h"
#include "rescue/download.h"
#include "rescue/saved_names.h"
#include "uri/referer_policy.h"

namespace cli {

namespace {

// "CLASS: MESSAGE" for the exception in flight.
std::string DescribeCurrentError() {
  try {
    throw;
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + OneLine(e.Message());
  } catch (const std::exception& e) {
    return "Exception: " + OneLine(e.what());
  } catch (...) {
    return "Exception: unknown error";
  }
}

void PrintLine(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void PrintSaved(const std::string& path, const std::string& takenName) {
  PrintLine("saved " + ToTerminal(path) +
            (takenName.empty() ? std::string()
                               : " (another " + ToTerminal(takenName) + " was saved in this run)"));
}

}  // namespace

TSaveLayout TSaving::EffectiveLayout() const {
  if (Layout) return *Layout;
  return Dependencies ? TSaveLayout::slSite : TSaveLayout::slFlat;
}

std::vector<TOptionDef> SavingOptionDefs(const char* downloadHelp) {
  return {{"download", 'd', "DIR", downloadHelp},
          {"deps", 0, nullptr, "also save the files each movie loads at run time"},
          {"layout", 0, "flat|site",
           "DIR/NAME, or DIR/HOST/PATH as on the server (default: site with --deps)"},
          {"jobs", 'j', "N", "dependent files fetched at once from one host (default 4)"},
          {"rate-interval", 0, "MS", "the least time between two requests to one host (default 0)"},
          {"max-retry-wait", 0, "S", "the longest Retry-After obeyed (default 120)"}};
}

std::string OutputFolder(const std::string& text) {
  if (text.empty()) throw TUsageError("-d needs a folder name");
  std::string folder = text;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

bool TakeSavingOption(const TParsedOption& option, TSaving& saving) {
  if (option.Is("deps")) {
    saving.Dependencies = true;
  } else if (option.Is("download")) {
    saving.Folder = OutputFolder(option.Value);
  } else if (option.Is("jobs")) {
    saving.Transfers.PerHost = PositiveNumber(option.Value, "jobs", false);
  } else if (option.Is("rate-interval")) {
    saving.Transfers.RateIntervalMs = PositiveNumber(option.Value, "rate-interval", true);
  } else if (option.Is("max-retry-wait")) {
    saving.Transfers.MaxRetryWaitS = PositiveNumber(option.Value, "max-retry-wait", true);
  } else if (option.Is("layout")) {
    TSaveLayout layout;
    if (!ParseSaveLayout(option.Value, layout))
      throw TUsageError("--layout is flat or site, not '" + option.Value + "'");
    saving.Layout = layout;
  } else {
    return false;
  }
  return true;
}

std::vector<std::string> BatchAddresses(const std::string& file) {
  std::ifstream in(file);
  if (!in) throw TUsageError("-i: cannot read '" + file + "'");
  std::vector<std::string> addresses;
  std::string line;
  while (std::getline(in, line)) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    addresses.push_back(AddressOperand(text));
  }
  return addresses;
}

bool SaveAll(TNetHTTP& http, const std::vector<TMovieToSave>& movies, const TSaving& saving,
             TProgressMeter* meter) {
  TRunFiles files(saving.Folder, saving.EffectiveLayout());
  TDependencyWalk walk(http, files);
  // Dependent files come several at once, over connections kept for the next ones.
  TTransferScheduler scheduler(saving.ClientOptions, saving.Transfers);
  if (saving.Verbose)
    scheduler.OnRetry = [](const std::string& address, int tryNumber, const std::string& why) {
      std::fprintf(stderr, "%s: try %d of %s: %s\n", kProgramName, tryNumber,
                   ShownAddress(address).c_str(), OneLine(why).c_str());
    };
  walk.UseScheduler(&scheduler);
  walk.OnSaved = PrintSaved;
  walk.OnMissing = [](const std::string& address, const std::string& reason) {
    PrintLine("missing " + ShownAddress(address) + ": " + OneLine(reason));
  };
  bool allSaved = true;
  if (saving.Batch) {
    // Every place is claimed first, in the list's order, so that names do not depend on which
    // transfer ends first.
    std::vector<std::string> refused(movies.size());
    std::vector<TRunFiles::TClaim> claims(movies.size());
    std::vector<TTransferJob> jobs;
    std::vector<size_t> jobOf;
    for (size_t i = 0; i < movies.size(); ++i) {
      try {
        CheckedDestinationPath(files.Folder(), movies[i].Address);
        claims[i] = files.Claim(movies[i].Address, files.MoviePlace(movies[i].Address));
        jobs.push_back(
            {movies[i].Address, RefererFor(movies[i].Page, movies[i].Address), claims[i].Path});
        jobOf.push_back(i);
      } catch (...) {
        refused[i] = DescribeCurrentError();
      }
    }
    const std::vector<TTransferOutcome> outcomes = scheduler.Run(jobs);
    std::vector<const TTransferOutcome*> outcomeOf(movies.size(), nullptr);
    for (size_t k = 0; k < jobs.size(); ++k)
      outcomeOf[jobOf[k]] = &outcomes[k];
    for (size_t i = 0; i < movies.size(); ++i) {
      std::string failure = refused[i];
      if (outcomeOf[i] && !outcomeOf[i]->Saved) {
        files.Release(movies[i].Address);
        try {
          std::rethrow_exception(outcomeOf[i]->Error);
        } catch (...) {
          failure = DescribeCurrentError();
        }
      }
      if (!failure.empty()) {
        allSaved = false;
        PrintLine("failed " + ShownAddress(movies[i].Address) + ": " + failure);
        continue;
      }
      PrintSaved(claims[i].Path, claims[i].TakenName);
      if (saving.Dependencies) walk.SaveDependencies(movies[i].Address, claims[i].Path);
    }
    return allSaved;
  }
  http.RecvBufferSize = kFileReceiveSize;
  size_t ordinal = 0;
  for (const TMovieToSave& movie : movies) {
    ++ordinal;
    try {
      http.Request.Referer = RefererFor(movie.Page, movie.Address);
      // The folder is checked as the window checks it.
      CheckedDestinationPath(files.Folder(), movie.Address);
      const TRunFiles::TClaim claim = files.Claim(movie.Address, files.MoviePlace(movie.Address));
      if (meter)
        meter->Start(Format("[%zu/%zu] ", ordinal, movies.size()) +
                     ToTerminal(SavedFileName(movie.Address)));
      try {
        DownloadFile(http, movie.Address, claim.Path);
      } catch (...) {
        if (meter) meter->Finish();
        files.Release(movie.Address);
        throw;
      }
      if (meter) meter->Finish();
      PrintSaved(claim.Path, claim.TakenName);
      if (saving.Dependencies) walk.SaveDependencies(movie.Address, claim.Path);
    } catch (...) {
      allSaved = false;
      PrintLine("failed " + ShownAddress(movie.Address) + ": " + DescribeCurrentError());
    }
  }
  return allSaved;
}

}  // namespace cli
