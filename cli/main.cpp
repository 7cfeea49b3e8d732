// flashgrab-cli COMMAND [options] ...: the command-line front end.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/lead_bytes.h"
#include "cli/command.h"

namespace {

void PrintOverview(FILE* out) {
  std::fprintf(out, "usage: %s COMMAND [options] ...\n\ncommands:\n", cli::kProgramName);
  for (const cli::TCommand& command : cli::Commands())
    std::fprintf(out, "  %-10s %s\n", command.Name, command.Summary);
  std::fprintf(out, "\n'%s COMMAND --help' describes a command's options.\n", cli::kProgramName);
}

}  // namespace

int main(int argc, char** argv) {
  // Byte strings follow the user's code set (double-byte characters in addresses included).
  std::setlocale(LC_ALL, "");
  SelectLeadBytesFromLocale();
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) {
    PrintOverview(stderr);
    return cli::kExitUsage;
  }
  if (args[0] == "-h" || args[0] == "--help") {
    PrintOverview(stdout);
    return cli::kExitSuccess;
  }
  for (const cli::TCommand& command : cli::Commands())
    if (args[0] == command.Name) return command.Run(args);
  std::fprintf(stderr, "%s: unknown command '%s'\n", cli::kProgramName, args[0].c_str());
  PrintOverview(stderr);
  return cli::kExitUsage;
}
