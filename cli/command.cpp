#include "cli/command.h"

namespace cli {

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"get", "fetch addresses and write their bodies to standard output or a file", RunGet},
      {"grab", "list the Flash movies a page refers to, and save them with -d", RunGrab},
      {"download", "save movies into a folder under their file names", RunDownload},
      {"refs", "list the files a movie loads at run time", RunRefs},
  };
  return commands;
}

}  // namespace cli
