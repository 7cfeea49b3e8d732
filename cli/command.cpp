#include "cli/command.h"

namespace cli {

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"get", "fetch addresses and write their bodies to standard output or a file", RunGet},
  };
  return commands;
}

}  // namespace cli
