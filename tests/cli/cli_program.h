// Runs the command-line program as the command-line tests do.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

inline const std::string kProgram = std::string(FLASHGRAB_BINARY_DIR) + "/cli/flashgrab-cli";

// Runs the program with `args` in `folder` (the test's own when empty), in the C locale with
// `environment` added; a run that has not ended after 20 s is stopped and has no exit code.
inline ProgramResult RunCli(std::vector<std::string> args, const std::string& folder = "",
                            const std::vector<std::string>& environment = {}) {
  args.insert(args.begin(), kProgram);
  ChildProcess program(args);
  program.Environment = {"LC_ALL=C"};
  program.Environment.insert(program.Environment.end(), environment.begin(), environment.end());
  program.WorkingDirectory = folder;
  program.Start();
  ProgramResult result;
  if (program.WaitForExit(std::chrono::seconds(20))) result.ExitCode = program.ExitCode();
  program.Stop();
  result.Stdout = program.Stdout();
  result.Stderr = program.Stderr();
  return result;
}
