// flashgrab-cli refs [--base URL] [options] FILE_OR_URL...: lists the files each movie loads at
// run time.
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "cli/client_command.h"
#include "cli/command.h"
#include "http/http.h"
#include "rescue/movie_refs.h"

namespace cli {

namespace {

bool IsAddress(const std::string& operand) {
  return SameText(operand.substr(0, 7), "http://") || SameText(operand.substr(0, 8), "https://");
}

}  // namespace

int RunRefs(const std::vector<std::string>& args) {
  TClientCommand command(
      "refs", "usage: flashgrab-cli refs [--base URL] [options] FILE_OR_URL...",
      "Reads each movie (a file, or an http/https address to fetch) and prints the addresses\n"
      "of the files it loads at run time, one per line: as written for a file (resolved\n"
      "against URL with --base), absolute for an address. With -v each line also says where\n"
      "the address came from. Exit status 1 when a movie could not be read.",
      {{"base", 0, "URL", "resolve the addresses of files against URL"},
       {"all", 0, nullptr, "also list the pages the movie opens (getURL, navigateToURL)"}});
  std::string base;
  bool all = false;
  std::vector<std::string> movies;
  const auto ended = command.Parse(
      args,
      [&base, &all](const TParsedOption& option) {
        if (option.Is("all"))
          all = true;
        else
          base = option.Value;
      },
      [&movies](const std::vector<std::string>& operands) {
        if (operands.empty()) throw TUsageError("no movie given");
        movies = operands;
      });
  if (ended) return *ended;

  return command.WithClient([&](TNetHTTP& http) {
    bool allRead = true;
    for (const std::string& movie : movies) {
      try {
        const bool remote = IsAddress(movie);
        const std::string bytes = remote ? FetchBounded(http, movie) : ReadBoundedFile(movie);
        std::string listing;
        for (const TMovieReference& reference : MovieRefList(bytes, remote ? movie : base, all)) {
          listing += reference.Address;
          if (command.Client.Verbose) {
            listing += '\t';
            if (reference.InBinaryMovie) listing += "binary movie: ";
            listing += ReferenceSourceName(reference.Source);
            if (reference.Navigation) listing += " (page)";
          }
          listing += "\n";
        }
        std::fwrite(listing.data(), 1, listing.size(), stdout);
        std::fflush(stdout);
      } catch (...) {
        allRead = false;
        ReportFailure();
      }
    }
    return allRead ? kExitSuccess : kExitFailure;
  });
}

}  // namespace cli
