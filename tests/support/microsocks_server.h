// A microsocks SOCKS 5 server for one test, on a free port of 127.0.0.1, optionally asking for a
// user name and password. Its outgoing connections leave from 127.0.0.1.
#pragma once

#include <string>

#include "tests/support/server_launch.h"

class MicrosocksServer : public LaunchedServer {
 public:
  // An empty user asks for no authentication.
  explicit MicrosocksServer(std::string user = "", std::string password = "");
  MicrosocksServer(const MicrosocksServer&) = delete;
  MicrosocksServer& operator=(const MicrosocksServer&) = delete;

  void Start();
  std::string Log() const;  // what it wrote to standard error

 private:
  std::string user_;
  std::string password_;
};
