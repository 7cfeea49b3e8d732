// Starting a server program on a free port and waiting until it accepts connections.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"

// Calls `prepare(port)` (which writes the configuration and returns the command line), starts the
// program and waits until the port accepts. A free port can be taken by someone else before the
// server binds it; the server then exits, and the launch repeats on a fresh port (so *port may
// change). Throws std::runtime_error, with the program's output, when the server does not come up.
std::unique_ptr<ChildProcess> LaunchServer(
    const std::string& name, int* port,
    const std::function<std::vector<std::string>(int port)>& prepare);

// What the servers that tests start have in common: a port of 127.0.0.1 and the running program.
class LaunchedServer {
 public:
  LaunchedServer(const LaunchedServer&) = delete;
  LaunchedServer& operator=(const LaunchedServer&) = delete;

  int Port() const { return port_; }  // final once Start() returned
  void Stop();
  bool Running() const;
  pid_t Pid() const;

 protected:
  LaunchedServer();
  // Stops the program. A server with a folder of its own stops it before the folder goes.
  ~LaunchedServer();
  // LaunchServer on Port().
  void Launch(const std::string& name,
              const std::function<std::vector<std::string>(int port)>& prepare);
  // What the program wrote to standard error; empty before the first start.
  std::string Stderr() const;

 private:
  int port_;
  std::unique_ptr<ChildProcess> process_;
};

// A configuration template with each placeholder (e.g. "@PORT@") replaced by its value.
std::string FillTemplate(std::string text,
                         const std::vector<std::pair<std::string, std::string>>& values);
