// The commands of flashgrab-cli. Each command lives in a file of its own and is listed in the
// table of command.cpp; RunProgram picks one by its name.
#pragma once

#include <string>
#include <vector>

namespace cli {

// Exit statuses shared by every command.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // a request (or writing its result) failed
constexpr int kExitUsage = 2;    // the arguments cannot be used

constexpr const char* kProgramName = "flashgrab-cli";

struct TCommand {
  const char* Name;
  // One line for the overview.
  const char* Summary;
  // args[0] is the command's name; the rest are its arguments. Returns the exit status.
  int (*Run)(const std::vector<std::string>& args);
};

const std::vector<TCommand>& Commands();

// Runs the command args[0] names (the program's own name not included) and returns the exit
// status; without a command, or with an unknown one, the overview goes to standard error.
int RunProgram(const std::vector<std::string>& args);

// The commands.
int RunGet(const std::vector<std::string>& args);
int RunGrab(const std::vector<std::string>& args);
int RunDownload(const std::vector<std::string>& args);
int RunRefs(const std::vector<std::string>& args);

}  // namespace cli
