// flashgrab-cli COMMAND [options] ...: the command-line front end; the commands live in the
// library beside this file.
#include <malloc.h>

#include <clocale>
#include <string>
#include <vector>

#include "base/lead_bytes.h"
#include "base/safe_file_writer.h"
#include "cli/command.h"

int main(int argc, char** argv) {
  // A run is short: memory freed on the way (a page's pieces, grown tables) is kept for what
  // comes next rather than given back and faulted in again, and large blocks come from the heap
  // for the same reason.
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  // Byte strings follow the user's code set (double-byte characters in addresses included).
  std::setlocale(LC_ALL, "");
  SelectLeadBytesFromLocale();
  // Ctrl+C or a kill in the middle of a transfer leaves no partial file behind.
  RemoveUnfinishedFilesOnSignals();
  return cli::RunProgram(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
