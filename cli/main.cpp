// flashgrab-cli COMMAND [options] ...: the command-line front end; the commands live in the
// library beside this file.
#include <clocale>
#include <string>
#include <vector>

#include "base/lead_bytes.h"
#include "cli/command.h"

int main(int argc, char** argv) {
  // Byte strings follow the user's code set (double-byte characters in addresses included).
  std::setlocale(LC_ALL, "");
  SelectLeadBytesFromLocale();
  return cli::RunProgram(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
