// A microsocks SOCKS 5 server for one test, on a free port of 127.0.0.1, optionally asking for a
// user name and password. Its outgoing connections leave from 127.0.0.1.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/support/child_process.h"

class MicrosocksServer {
 public:
  // An empty user asks for no authentication.
  explicit MicrosocksServer(std::string user = "", std::string password = "");
  MicrosocksServer(const MicrosocksServer&) = delete;
  MicrosocksServer& operator=(const MicrosocksServer&) = delete;
  ~MicrosocksServer();

  int Port() const { return port_; }  // final once Start() returned
  void Start();
  void Stop();
  bool Running() const;
  pid_t Pid() const;
  std::string Log() const;  // what it wrote to standard error

 private:
  std::string user_;
  std::string password_;
  int port_;
  std::unique_ptr<ChildProcess> process_;
};
