// flashgrab-cli download [-d DIR] [options] URL...: saves each address into a folder as the
// window's download does, with one client for all of them.
#include <string>
#include <vector>

#include "cli/client_command.h"
#include "cli/command.h"
#include "cli/progress_meter.h"
#include "cli/saving.h"
#include "http/http.h"

namespace cli {

namespace {

std::vector<TOptionDef> DownloadOptionDefs() {
  std::vector<TOptionDef> defs = SavingOptionDefs("save into DIR (default: the current folder)");
  defs.push_back({"input-file", 'i', "FILE", "also save the URLs of FILE, one a line"});
  return defs;
}

}  // namespace

int RunDownload(const std::vector<std::string>& args) {
  TClientCommand command(
      "download",
      "usage: flashgrab-cli download [-d DIR] [--deps] [--layout flat|site] [-i FILE] [options] "
      "URL...",
      "Saves each URL into DIR under its file name (decoded, without query), printing\n"
      "\"saved PATH\" or \"failed URL: CLASS: MESSAGE\" for each; a second file of the same\n"
      "name is saved as \"NAME (2).EXT\". With -e PAGE each request names PAGE as its\n"
      "Referer (but an https PAGE is never named to a plain http URL). With -i FILE the URLs\n"
      "of FILE (one a line, # comments) are saved too, several at once (-j), reported in their\n"
      "order; the exit status counts them all.",
      DownloadOptionDefs());
  TSaving saving;
  saving.Folder = ".";
  std::vector<TMovieToSave> movies;
  const auto ended = command.Parse(
      args,
      [&saving, &movies](const TParsedOption& option) {
        if (!option.Is("input-file")) {
          TakeSavingOption(option, saving);
          return;
        }
        saving.Batch = true;
        for (const std::string& address : BatchAddresses(option.Value))
          movies.push_back({address, std::string()});
      },
      [&movies, &saving](const std::vector<std::string>& operands) {
        if (operands.empty() && !saving.Batch) throw TUsageError("no URL given");
        for (const std::string& operand : operands)
          movies.push_back({AddressOperand(operand), std::string()});
      });
  if (ended) return *ended;
  // As in the window, redirects are followed whether or not -L is given.
  command.Client.Options.FollowRedirects = true;

  return command.WithClient([&](TNetHTTP& http) {
    TProgressMeter meter(http, TProgressMeter::Wanted(command.Client.Silent));
    // -e names the page the movies come from.
    for (TMovieToSave& movie : movies)
      movie.Page = http.Request.Referer;
    saving.ClientOptions = command.Client.Options;
    saving.Verbose = command.Client.Verbose;
    return SaveAll(http, movies, saving, &meter) ? kExitSuccess : kExitFailure;
  });
}

}  // namespace cli
