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

int RunDownload(const std::vector<std::string>& args) {
  TClientCommand command(
      "download", "usage: flashgrab-cli download [-d DIR] [--deps] [options] URL...",
      "Saves each URL into DIR under the text after its last \"/\", printing\n"
      "\"saved PATH\" or \"failed URL: CLASS: MESSAGE\" for each. With -e PAGE\n"
      "each request names PAGE as its Referer (but an https PAGE is never named\n"
      "to a plain http URL).",
      {{"download", 'd', "DIR", "save into DIR (default: the current folder)"},
       {"deps", 0, nullptr, "also save the files each movie loads at run time"}});
  bool dependencies = false;
  std::string folder = ".";
  std::vector<std::string> addresses;
  const auto ended = command.Parse(
      args,
      [&folder, &dependencies](const TParsedOption& option) {
        TakeSavingOption(option, folder, dependencies);
      },
      [&addresses](const std::vector<std::string>& operands) {
        if (operands.empty()) throw TUsageError("no URL given");
        addresses = operands;
      });
  if (ended) return *ended;
  // As in the window, redirects are followed whether or not -L is given.
  command.Client.Options.FollowRedirects = true;

  return command.WithClient([&](TNetHTTP& http) {
    TProgressMeter meter(http, TProgressMeter::Wanted(command.Client.Silent));
    // -e names the page the movies come from.
    const std::string page = http.Request.Referer;
    return SaveAll(http, addresses, folder, page, &meter, dependencies) ? kExitSuccess
                                                                        : kExitFailure;
  });
}

}  // namespace cli
