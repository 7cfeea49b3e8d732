// The folder of the running program.
#pragma once

#include <string>

// The folder part of the executable's full path, with its closing "/"; empty when it cannot
// be found.
std::string ExecutableFolder();
