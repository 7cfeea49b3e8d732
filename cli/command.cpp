#include "cli/command.h"

#include <cstdio>

namespace cli {

namespace {

void PrintOverview(FILE* out) {
  std::fprintf(out, "usage: %s COMMAND [options] ...\n\ncommands:\n", kProgramName);
  for (const TCommand& command : Commands())
    std::fprintf(out, "  %-10s %s\n", command.Name, command.Summary);
  std::fprintf(out, "\n'%s COMMAND --help' describes a command's options.\n", kProgramName);
}

}  // namespace

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"get", "fetch addresses and write their bodies to standard output or a file", RunGet},
      {"grab", "list the Flash movies a page refers to, and save them with -d", RunGrab},
      {"download", "save movies into a folder under their file names", RunDownload},
      {"refs", "list the files a movie loads at run time", RunRefs},
  };
  return commands;
}

int RunProgram(const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintOverview(stderr);
    return kExitUsage;
  }
  if (args[0] == "-h" || args[0] == "--help") {
    PrintOverview(stdout);
    return kExitSuccess;
  }
  for (const TCommand& command : Commands())
    if (args[0] == command.Name) return command.Run(args);
  std::fprintf(stderr, "%s: unknown command '%s'\n", kProgramName, args[0].c_str());
  PrintOverview(stderr);
  return kExitUsage;
}

}  // namespace cli
